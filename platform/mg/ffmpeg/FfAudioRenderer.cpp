#include "platform/mg/ffmpeg/FfAudioRenderer.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cmath>

#include "platform/mg/ffmpeg/FfCodecs.h"

namespace mg::ff {

namespace {
std::atomic<bool> forceNull{false};

// Gain of a level in hundredths of a decibel.
double Gain(LONG hundredthsDb) { return hundredthsDb <= -10000 ? 0.0 : std::pow(10.0, hundredthsDb / 2000.0); }

// ALSA prints its own complaints about missing cards; the renderer reports
// by falling back to no output instead.
void QuietErrorHandler(const char*, int, const char*, int, const char*, ...) {}
}  // namespace

AudioRenderer::AudioRenderer() : BaseFilter(CLSID_AudioRender) {
  AddPin(std::make_shared<Pin>(this, "Audio Input pin (rendered)", PINDIR_INPUT));
}

AudioRenderer::~AudioRenderer() { Close(); }

void AudioRenderer::ForceNullOutput(bool on) { forceNull.store(on); }

std::vector<int16_t> AudioRenderer::LastBuffer() const {
  std::lock_guard lock(deviceMutex_);
  return last_;
}

HRESULT AudioRenderer::put_Volume(LONG v) {
  if (v < -10000 || v > 0) return E_INVALIDARG;
  volume_.store(v);
  return S_OK;
}

HRESULT AudioRenderer::get_Volume(LONG* v) {
  if (!v) return E_POINTER;
  *v = volume_.load();
  return S_OK;
}

HRESULT AudioRenderer::put_Balance(LONG b) {
  if (b < -10000 || b > 10000) return E_INVALIDARG;
  balance_.store(b);
  return S_OK;
}

HRESULT AudioRenderer::get_Balance(LONG* b) {
  if (!b) return E_POINTER;
  *b = balance_.load();
  return S_OK;
}

HRESULT AudioRenderer::CheckMediaType(const Pin&, const AM_MEDIA_TYPE& mt) const {
  if (mt.majortype != MEDIATYPE_Audio || mt.formattype != FORMAT_WaveFormatEx) return S_FALSE;
  const auto* wfx = mt.FormatAs<WAVEFORMATEX>();
  return wfx && wfx->wFormatTag == WAVE_FORMAT_PCM && (wfx->wBitsPerSample == 16 || wfx->wBitsPerSample == 8) &&
                 (wfx->nChannels == 1 || wfx->nChannels == 2) && wfx->nSamplesPerSec > 0
             ? S_OK
             : S_FALSE;
}

HRESULT AudioRenderer::Pause() {
  if (State() == State_Stopped && Input()->IsConnected()) {
    const auto* wfx = Input()->CurrentType().FormatAs<WAVEFORMATEX>();
    std::lock_guard lock(deviceMutex_);
    channels_ = wfx->nChannels;
    bits_ = wfx->wBitsPerSample;
    bytes_.store(0);
    null_.store(true);
    if (!pcm_ && !forceNull.load()) {
      snd_lib_error_set_handler(&QuietErrorHandler);
      snd_pcm_t* pcm = nullptr;
      if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, 0) == 0) {
        if (snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED,
                               static_cast<unsigned>(channels_), wfx->nSamplesPerSec, 1, 200'000) == 0) {
          pcm_ = pcm;
          null_.store(false);
        } else {
          snd_pcm_close(pcm);
        }
      }
    }
  }
  return BaseFilter::Pause();
}

void AudioRenderer::Close() {
  std::lock_guard lock(deviceMutex_);
  if (!pcm_) return;
  auto* pcm = static_cast<snd_pcm_t*>(pcm_);
  snd_pcm_drop(pcm);
  snd_pcm_close(pcm);
  pcm_ = nullptr;
}

HRESULT AudioRenderer::Stop() {
  BaseFilter::Stop();
  Close();
  return S_OK;
}

HRESULT AudioRenderer::OnReceive(Pin&, MediaSample& sample) {
  if (State() == State_Stopped) return VFW_E_WRONG_STATE;
  const size_t bytes = static_cast<size_t>(sample.GetActualDataLength());
  const uint8_t* data = sample.GetPointer();
  const double gain = Gain(volume_.load());
  const LONG balance = balance_.load();
  // Balance turns the other side down by its amount in hundredths of a decibel.
  const double left = gain * (balance > 0 ? Gain(-balance) : 1.0);
  const double right = gain * (balance < 0 ? Gain(balance) : 1.0);
  std::vector<int16_t> out;
  if (bits_ == 16) {
    out.resize(bytes / 2);
    std::memcpy(out.data(), data, out.size() * 2);
  } else {
    out.resize(bytes);
    for (size_t i = 0; i < bytes; ++i) out[i] = static_cast<int16_t>((data[i] - 128) << 8);
  }
  for (size_t i = 0; i < out.size(); ++i) {
    const double g = channels_ == 2 ? (i % 2 == 0 ? left : right) : gain;
    out[i] = static_cast<int16_t>(std::clamp(std::lround(out[i] * g), -32768L, 32767L));
  }
  std::lock_guard lock(deviceMutex_);
  if (pcm_) {
    auto* pcm = static_cast<snd_pcm_t*>(pcm_);
    const snd_pcm_uframes_t frames = out.size() / static_cast<size_t>(channels_);
    snd_pcm_sframes_t w = snd_pcm_writei(pcm, out.data(), frames);
    if (w < 0) w = snd_pcm_recover(pcm, static_cast<int>(w), 1);
    if (w < 0) {
      // The device went away: keep counting, play to nothing.
      snd_pcm_close(pcm);
      pcm_ = nullptr;
      null_.store(true);
    }
  }
  last_ = std::move(out);
  bytes_.fetch_add(static_cast<int64_t>(bytes));
  return S_OK;
}

HRESULT AudioRenderer::OnEndOfStream(Pin& pin) {
  {
    std::lock_guard lock(deviceMutex_);
    if (pcm_) snd_pcm_drain(static_cast<snd_pcm_t*>(pcm_));
  }
  return BaseFilter::OnEndOfStream(pin);
}

}  // namespace mg::ff
