#include "platform/mg/sim/SimAudio.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace mg::sim {

namespace {

constexpr double kTwoPi = 6.283185307179586476925;
constexpr double kAmplitude = 0.5;  // of full scale, for one input at level 1

bool IsPcmType(const AM_MEDIA_TYPE& mt) {
  if (mt.majortype != MEDIATYPE_Audio || mt.formattype != FORMAT_WaveFormatEx) return false;
  const WAVEFORMATEX* wf = mt.FormatAs<WAVEFORMATEX>();
  return wf && wf->wFormatTag == WAVE_FORMAT_PCM;
}

bool SameWave(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b) {
  const WAVEFORMATEX* x = a.FormatAs<WAVEFORMATEX>();
  const WAVEFORMATEX* y = b.FormatAs<WAVEFORMATEX>();
  return x && y && x->wFormatTag == y->wFormatTag && x->nChannels == y->nChannels &&
         x->nSamplesPerSec == y->nSamplesPerSec && x->wBitsPerSample == y->wBitsPerSample;
}

// Sample frames in buffer `index` (rates that are not a multiple of ten
// share the remainder out, so no sample is lost or repeated).
int64_t FirstSample(int64_t index, uint32_t rate) { return index * rate / 10; }

}  // namespace

const std::vector<AudioInputSpec>& AudioInputs() {
  static const std::vector<AudioInputSpec> list = {
      {"Line", 440.0}, {"Microphone", 880.0}, {"CD", 1320.0}, {"Aux", 1760.0}, {"Video", 2200.0}};
  return list;
}

std::vector<AM_MEDIA_TYPE> AudioFormats() {
  static const uint32_t kRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000};
  std::vector<AM_MEDIA_TYPE> list;
  for (uint32_t rate : kRates)
    for (uint16_t bits : {uint16_t{8}, uint16_t{16}})
      for (uint16_t ch : {uint16_t{1}, uint16_t{2}}) list.push_back(MakePcmAudioType(rate, ch, bits));
  return list;
}

// ---- the mixer ------------------------------------------------------------------------------------

HRESULT MixerControl::put_Enable(BOOL f) {
  {
    std::lock_guard lock(mutex_);
    s_.enable = f != 0;
  }
  if (f) OnEnabled();
  return S_OK;
}
HRESULT MixerControl::get_Enable(BOOL* f) {
  if (!f) return E_POINTER;
  std::lock_guard lock(mutex_);
  *f = s_.enable ? 1 : 0;
  return S_OK;
}
HRESULT MixerControl::put_Mono(BOOL f) {
  std::lock_guard lock(mutex_);
  s_.mono = f != 0;
  return S_OK;
}
HRESULT MixerControl::get_Mono(BOOL* f) {
  if (!f) return E_POINTER;
  std::lock_guard lock(mutex_);
  *f = s_.mono ? 1 : 0;
  return S_OK;
}
HRESULT MixerControl::put_MixLevel(double level) {
  // -1 asks for automatic gain, which the card settles at full level.
  if (level != -1.0 && (level < 0.0 || level > 1.0)) return E_INVALIDARG;
  std::lock_guard lock(mutex_);
  s_.level = level;
  return S_OK;
}
HRESULT MixerControl::get_MixLevel(double* level) {
  if (!level) return E_POINTER;
  std::lock_guard lock(mutex_);
  *level = s_.level;
  return S_OK;
}
HRESULT MixerControl::put_Pan(double pan) {
  if (pan < -1.0 || pan > 1.0) return E_INVALIDARG;
  std::lock_guard lock(mutex_);
  s_.pan = pan;
  return S_OK;
}
HRESULT MixerControl::get_Pan(double* pan) {
  if (!pan) return E_POINTER;
  std::lock_guard lock(mutex_);
  *pan = s_.pan;
  return S_OK;
}
HRESULT MixerControl::put_Loudness(BOOL f) {
  std::lock_guard lock(mutex_);
  s_.loudness = f != 0;
  return S_OK;
}
HRESULT MixerControl::get_Loudness(BOOL* f) {
  if (!f) return E_POINTER;
  std::lock_guard lock(mutex_);
  *f = s_.loudness ? 1 : 0;
  return S_OK;
}
HRESULT MixerControl::put_Treble(double v) {
  std::lock_guard lock(mutex_);
  s_.treble = v;
  return S_OK;
}
HRESULT MixerControl::get_Treble(double* v) {
  if (!v) return E_POINTER;
  std::lock_guard lock(mutex_);
  *v = s_.treble;
  return S_OK;
}
HRESULT MixerControl::put_Bass(double v) {
  std::lock_guard lock(mutex_);
  s_.bass = v;
  return S_OK;
}
HRESULT MixerControl::get_Bass(double* v) {
  if (!v) return E_POINTER;
  std::lock_guard lock(mutex_);
  *v = s_.bass;
  return S_OK;
}
MixerSettings MixerControl::Snapshot() const {
  std::lock_guard lock(mutex_);
  return s_;
}
void MixerControl::SetEnabledQuietly(bool enable) {
  std::lock_guard lock(mutex_);
  s_.enable = enable;
}

HRESULT AudioFormatCount(int* count, int* size) {
  if (!count || !size) return E_POINTER;
  *count = static_cast<int>(AudioFormats().size());
  *size = sizeof(AUDIO_STREAM_CONFIG_CAPS);
  return S_OK;
}

HRESULT AudioFormatCaps(int index, AM_MEDIA_TYPE* pmt, uint8_t* scc) {
  if (!pmt || !scc) return E_POINTER;
  const auto formats = AudioFormats();
  if (index < 0 || index >= static_cast<int>(formats.size())) return S_FALSE;
  *pmt = formats[static_cast<size_t>(index)];
  const WAVEFORMATEX* wf = pmt->FormatAs<WAVEFORMATEX>();
  AUDIO_STREAM_CONFIG_CAPS c;
  c.guid = MEDIATYPE_Audio;
  c.MinimumChannels = c.MaximumChannels = wf->nChannels;
  c.ChannelsGranularity = 1;
  c.MinimumBitsPerSample = c.MaximumBitsPerSample = wf->wBitsPerSample;
  c.BitsPerSampleGranularity = 8;
  c.MinimumSampleFrequency = c.MaximumSampleFrequency = wf->nSamplesPerSec;
  c.SampleFrequencyGranularity = 1;
  std::memcpy(scc, &c, sizeof c);
  return S_OK;
}

// ---- pins ------------------------------------------------------------------------------------------

SimAudioInputPin::SimAudioInputPin(SimAudioCard* card, std::string name, double frequency)
    : Pin(card, std::move(name), PINDIR_INPUT), card_(card), frequency_(frequency) {}

void SimAudioInputPin::OnEnabled() {
  if (OwnerFilter()) card_->SelectOnly(this);
}

SimAudioOutputPin::SimAudioOutputPin(SimAudioCard* card) : ControlledOutputPin(card, "Capture"), card_(card) {
  SetCategory(PIN_CATEGORY_CAPTURE);
}

HRESULT SimAudioOutputPin::SetFormat(const AM_MEDIA_TYPE* pmt) {
  if (!pmt) return E_POINTER;
  if (card_->State() != State_Stopped) return VFW_E_NOT_STOPPED;
  return SetFormatReconnecting(*this, *pmt, [this](const AM_MEDIA_TYPE& mt) { return card_->ApplyFormat(mt); });
}

HRESULT SimAudioOutputPin::GetFormat(AM_MEDIA_TYPE* pmt) {
  if (!pmt) return E_POINTER;
  *pmt = card_->CurrentFormat();
  return S_OK;
}

HRESULT SimAudioOutputPin::GetNumberOfCapabilities(int* count, int* size) { return AudioFormatCount(count, size); }

HRESULT SimAudioOutputPin::GetStreamCaps(int index, AM_MEDIA_TYPE* pmt, uint8_t* scc) {
  return AudioFormatCaps(index, pmt, scc);
}

// ---- the card --------------------------------------------------------------------------------------

SimAudioCard::SimAudioCard(std::shared_ptr<DevicePresence> presence, const AudioOptions& o)
    : BaseFilter(CLSID_SimAudio),
      presence_(std::move(presence)),
      current_(o.initial ? *o.initial : MakePcmAudioType(44100, 2, 16)),
      configured_(current_) {
  AddPin(std::make_shared<SimAudioOutputPin>(this));
  const auto& inputs = AudioInputs();
  const size_t n = o.fourInputs ? 4 : inputs.size();
  for (size_t i = 0; i < n; ++i) {
    auto pin = std::make_shared<SimAudioInputPin>(this, inputs[i].name, inputs[i].frequency);
    pin->SetEnabledQuietly(i == 0);
    AddPin(pin);
  }
  SetEnabledQuietly(true);
}

std::shared_ptr<Pin> SimAudioCard::Output() const { return PinAt(0); }

std::vector<std::shared_ptr<SimAudioInputPin>> SimAudioCard::InputPins() const {
  std::vector<std::shared_ptr<SimAudioInputPin>> list;
  for (auto& p : Pins())
    if (auto in = std::dynamic_pointer_cast<SimAudioInputPin>(p)) list.push_back(in);
  return list;
}

void SimAudioCard::SelectOnly(const SimAudioInputPin* chosen) {
  for (auto& p : InputPins())
    if (p.get() != chosen) p->SetEnabledQuietly(false);
}

AM_MEDIA_TYPE SimAudioCard::CurrentFormat() const {
  std::lock_guard lock(filterMutex_);
  return current_;
}

HRESULT SimAudioCard::ApplyFormat(const AM_MEDIA_TYPE& mt) {
  bool ok = SameWave(mt, configured_) && mt.subtype == configured_.subtype;
  AM_MEDIA_TYPE chosen = configured_;
  if (!ok && IsPcmType(mt))
    for (auto& f : AudioFormats())
      if (SameWave(f, mt)) {
        ok = true;
        chosen = f;
      }
  if (!ok) return VFW_E_INVALIDMEDIATYPE;
  std::lock_guard lock(filterMutex_);
  current_ = chosen;
  return S_OK;
}

HRESULT SimAudioCard::CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const {
  if (pin.Direction() != PINDIR_OUTPUT) return S_FALSE;  // the inputs are the card's own connectors
  if (mt.majortype != MEDIATYPE_Audio) return S_FALSE;
  if (SameWave(mt, configured_)) return S_OK;
  if (!IsPcmType(mt)) return S_FALSE;
  for (auto& f : AudioFormats())
    if (SameWave(f, mt)) return S_OK;
  return S_FALSE;
}

std::vector<AM_MEDIA_TYPE> SimAudioCard::GetMediaTypes(const Pin& pin) const {
  if (pin.Direction() != PINDIR_OUTPUT) return {};
  std::vector<AM_MEDIA_TYPE> list{CurrentFormat()};
  for (auto& f : AudioFormats())
    if (!SameWave(f, list[0])) list.push_back(f);
  return list;
}

HRESULT SimAudioCard::OnConnect(Pin& pin) {
  if (&pin == Output().get()) return ApplyFormat(pin.CurrentType());
  return S_OK;
}

ALLOCATOR_PROPERTIES SimAudioCard::DecideBufferSize(const Pin& pin) const {
  ALLOCATOR_PROPERTIES p;
  p.cBuffers = 4;
  const WAVEFORMATEX* wf = pin.CurrentType().FormatAs<WAVEFORMATEX>();
  const uint32_t block = wf && wf->nBlockAlign ? wf->nBlockAlign : 4;
  const uint32_t rate = wf && wf->nSamplesPerSec ? wf->nSamplesPerSec : 48000;
  p.cbBuffer = static_cast<LONG>((rate / 10 + 1) * block);
  return p;
}

HRESULT SimAudioCard::Stop() {
  const HRESULT hr = BaseFilter::Stop();
  buffers_.store(0);
  return hr;
}

HRESULT SimAudioCard::GetPages(std::vector<PropertyPage>* pages) {
  if (!pages) return E_POINTER;
  auto self = std::static_pointer_cast<SimAudioCard>(shared_from_this());
  const LONG inputs = static_cast<LONG>(InputPins().size());
  PropertyPage page;
  page.title = "Audio Input";
  PropertyDescriptor input = ControlDescriptor<SimAudioCard>(
      self, "Input", ControlRange{0, inputs - 1, 1, 0, 0},
      [](SimAudioCard& c) {
        const auto pins = c.InputPins();
        for (size_t i = 0; i < pins.size(); ++i)
          if (pins[i]->Snapshot().enable) return static_cast<LONG>(i);
        return LONG{-1};
      },
      [](SimAudioCard& c, LONG i) {
        const auto pins = c.InputPins();
        if (i >= 0 && i < static_cast<LONG>(pins.size())) pins[static_cast<size_t>(i)]->put_Enable(1);
      });
  input.kind = PropertyDescriptor::Kind::Choice;
  for (auto& p : InputPins()) input.choices.push_back(p->Name());
  page.properties.push_back(std::move(input));
  page.properties.push_back(ControlDescriptor<SimAudioCard>(
      self, "Level", ControlRange{0, 100, 1, 100, 0},
      [](SimAudioCard& c) {
        double level = 0;
        c.get_MixLevel(&level);
        return static_cast<LONG>(std::lround(std::max(0.0, level) * 100));
      },
      [](SimAudioCard& c, LONG v) { c.put_MixLevel(v / 100.0); }));
  pages->push_back(std::move(page));
  return S_OK;
}

uint32_t SimAudioCard::RenderBuffer(int64_t index, uint8_t* out, uint32_t room) const {
  const AM_MEDIA_TYPE mt = CurrentFormat();
  const WAVEFORMATEX* wf = mt.FormatAs<WAVEFORMATEX>();
  if (!wf || wf->nSamplesPerSec == 0 || wf->nBlockAlign == 0) return 0;
  const int64_t first = FirstSample(index, wf->nSamplesPerSec);
  const int64_t count = FirstSample(index + 1, wf->nSamplesPerSec) - first;
  const uint32_t bytes = static_cast<uint32_t>(count) * wf->nBlockAlign;
  if (bytes > room) return 0;
  if (!IsPcmType(mt)) {
    std::memset(out, 0, bytes);
    return bytes;
  }
  struct Voice {
    double freq, left, right;
    bool mono;
  };
  const MixerSettings master = Snapshot();
  std::vector<Voice> voices;
  auto gain = [](double level) { return level < 0 ? 1.0 : level; };
  auto sides = [](double pan, double* l, double* r) {
    *l = pan > 0 ? 1.0 - pan : 1.0;
    *r = pan < 0 ? 1.0 + pan : 1.0;
  };
  if (master.enable)
    for (auto& p : InputPins()) {
      const MixerSettings s = p->Snapshot();
      if (!s.enable) continue;
      double l, r, ml, mr;
      sides(s.pan, &l, &r);
      sides(master.pan, &ml, &mr);
      const double a = kAmplitude * gain(s.level) * gain(master.level);
      voices.push_back({p->Frequency(), a * l * ml, a * r * mr, s.mono || master.mono});
    }
  const int channels = wf->nChannels;
  const bool eight = wf->wBitsPerSample == 8;
  for (int64_t k = 0; k < count; ++k) {
    const int64_t n = first + k;
    double left = 0, right = 0;
    for (const Voice& v : voices) {
      // The phase is taken modulo one period so long runs keep full precision.
      const double phase = kTwoPi * std::fmod(v.freq * static_cast<double>(n), wf->nSamplesPerSec) / wf->nSamplesPerSec;
      const double s = std::sin(phase);
      double l = s * v.left, r = s * v.right;
      if (v.mono) l = r = (l + r) / 2;
      left += l;
      right += r;
    }
    if (channels == 1) left = (left + right) / 2;
    for (int c = 0; c < channels; ++c) {
      const double x = std::clamp(c == 0 ? left : right, -1.0, 1.0);
      uint8_t* at = out + static_cast<size_t>(k) * wf->nBlockAlign + static_cast<size_t>(c) * (eight ? 1 : 2);
      if (eight) {
        *at = static_cast<uint8_t>(std::lround(128 + x * 127));
      } else {
        const int16_t v = static_cast<int16_t>(std::lround(x * 32767));
        at[0] = static_cast<uint8_t>(v & 0xFF);
        at[1] = static_cast<uint8_t>((v >> 8) & 0xFF);
      }
    }
  }
  return bytes;
}

HRESULT SimAudioCard::PushOne(REFERENCE_TIME t) {
  if (State() == State_Stopped) return VFW_E_WRONG_STATE;
  if (!presence_->present.load()) {
    if (!lostSent_) {
      lostSent_ = true;
      NotifyEvent(EC_DEVICE_LOST, reinterpret_cast<intptr_t>(this), 0);
    }
    return S_FALSE;
  }
  const int64_t index = buffers_.fetch_add(1);
  auto out = Output();
  if (!out->IsConnected()) return S_OK;
  std::shared_ptr<MediaSample> sample;
  HRESULT hr = out->Allocator().GetBuffer(sample);
  if (FAILED(hr)) return hr;
  const uint32_t used = RenderBuffer(index, sample->GetPointer(), static_cast<uint32_t>(sample->GetSize()));
  sample->SetActualDataLength(static_cast<LONG>(used));
  REFERENCE_TIME start = t, stop = t + kBufferPeriod;
  sample->SetTime(&start, &stop);
  sample->SetSyncPoint(true);
  sample->SetDiscontinuity(index == 0);
  hr = out->Deliver(*sample);
  return hr == VFW_E_WRONG_STATE ? hr : S_OK;
}

}  // namespace mg::sim
