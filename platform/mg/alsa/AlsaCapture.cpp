#include "platform/mg/alsa/AlsaCapture.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "platform/mg/sim/SimAudio.h"

namespace mg::alsa {

namespace {

void QuietErrors(const char*, int, const char*, int, const char*, ...) {}

void SilenceAlsa() {
  static std::once_flag once;
  std::call_once(once, [] { snd_lib_error_set_handler(&QuietErrors); });
}

bool LostError(long err) { return err == -ENODEV || err == -EBADFD || err == -ENXIO; }

}  // namespace

// ---- the card's mixer -----------------------------------------------------------------------------

// The capture side of a card's simple mixer: the sources are the items of
// its capture-source choice ("Capture Source", "Input Source") when it has
// one, else the elements with a capture switch.
class AlsaMixer {
public:
  explicit AlsaMixer(const std::string& ctl) {
    if (ctl.empty()) return;
    snd_mixer_t* m = nullptr;
    if (snd_mixer_open(&m, 0) < 0) return;
    if (snd_mixer_attach(m, ctl.c_str()) < 0 || snd_mixer_selem_register(m, nullptr, nullptr) < 0 ||
        snd_mixer_load(m) < 0) {
      snd_mixer_close(m);
      return;
    }
    mixer_ = m;
    std::vector<std::pair<std::string, snd_mixer_elem_t*>> switches;
    for (snd_mixer_elem_t* e = snd_mixer_first_elem(m); e; e = snd_mixer_elem_next(e)) {
      if (!snd_mixer_selem_is_active(e)) continue;
      const std::string name = snd_mixer_selem_get_name(e);
      if (snd_mixer_selem_is_enum_capture(e) && !enum_) {
        enum_ = e;
      } else if (name == "Capture" && snd_mixer_selem_has_capture_volume(e)) {
        master_ = e;
      } else if (snd_mixer_selem_has_capture_switch(e)) {
        switches.emplace_back(name, e);
      }
    }
    if (enum_) {
      const int n = snd_mixer_selem_get_enum_items(enum_);
      for (int i = 0; i < n; ++i) {
        char text[64] = {};
        if (snd_mixer_selem_get_enum_item_name(enum_, static_cast<unsigned>(i), sizeof text - 1, text) == 0)
          sources_.push_back({text, nullptr, i});
      }
    } else {
      for (auto& [name, e] : switches) sources_.push_back({name, e, -1});
      // A microphone whose only control is "Capture" is its own source.
      if (sources_.empty() && master_ && snd_mixer_selem_has_capture_switch(master_))
        sources_.push_back({"Capture", master_, -1});
    }
  }
  ~AlsaMixer() {
    if (mixer_) snd_mixer_close(static_cast<snd_mixer_t*>(mixer_));
  }
  std::vector<std::string> Sources() const {
    std::vector<std::string> names;
    for (auto& s : sources_) names.push_back(s.name);
    return names;
  }
  HRESULT Enabled(int i, bool* on) {
    std::lock_guard lock(mutex_);
    const Source* s = At(i);
    if (!s) return E_FAIL;
    if (s->item >= 0) {
      unsigned item = 0;
      if (snd_mixer_selem_get_enum_item(enum_, SND_MIXER_SCHN_FRONT_LEFT, &item) < 0) return E_FAIL;
      *on = static_cast<int>(item) == s->item;
      return S_OK;
    }
    int v = 0;
    if (snd_mixer_selem_get_capture_switch(s->elem, SND_MIXER_SCHN_FRONT_LEFT, &v) < 0) return E_FAIL;
    *on = v != 0;
    return S_OK;
  }
  HRESULT Enable(int i, bool on) {
    std::lock_guard lock(mutex_);
    const Source* s = At(i);
    if (!s) return E_FAIL;
    if (s->item >= 0) {
      // A choice cannot be switched off, only to another source.
      if (!on) return S_OK;
      return snd_mixer_selem_set_enum_item(enum_, SND_MIXER_SCHN_FRONT_LEFT, static_cast<unsigned>(s->item)) < 0
                 ? E_FAIL
                 : S_OK;
    }
    return snd_mixer_selem_set_capture_switch_all(s->elem, on ? 1 : 0) < 0 ? E_FAIL : S_OK;
  }
  HRESULT Level(int i, double* level, double* pan) {
    std::lock_guard lock(mutex_);
    snd_mixer_elem_t* e = VolumeOf(i);
    if (!e) return E_NOTIMPL;
    long lo = 0, hi = 0, l = 0, r = 0;
    snd_mixer_selem_get_capture_volume_range(e, &lo, &hi);
    if (hi <= lo || snd_mixer_selem_get_capture_volume(e, SND_MIXER_SCHN_FRONT_LEFT, &l) < 0) return E_FAIL;
    if (snd_mixer_selem_is_capture_mono(e) || snd_mixer_selem_get_capture_volume(e, SND_MIXER_SCHN_FRONT_RIGHT, &r) < 0)
      r = l;
    const double fl = double(l - lo) / double(hi - lo), fr = double(r - lo) / double(hi - lo);
    *level = std::max(fl, fr);
    *pan = fl == fr ? 0.0 : fl > fr ? -(1.0 - fr / fl) : 1.0 - fl / fr;
    return S_OK;
  }
  HRESULT SetLevel(int i, double level, double pan) {
    std::lock_guard lock(mutex_);
    snd_mixer_elem_t* e = VolumeOf(i);
    if (!e) return E_NOTIMPL;
    long lo = 0, hi = 0;
    snd_mixer_selem_get_capture_volume_range(e, &lo, &hi);
    if (hi <= lo) return E_FAIL;
    const double fl = level * (pan > 0 ? 1.0 - pan : 1.0), fr = level * (pan < 0 ? 1.0 + pan : 1.0);
    const long l = lo + std::lround(fl * double(hi - lo)), r = lo + std::lround(fr * double(hi - lo));
    if (snd_mixer_selem_is_capture_mono(e)) return snd_mixer_selem_set_capture_volume_all(e, l) < 0 ? E_FAIL : S_OK;
    if (snd_mixer_selem_set_capture_volume(e, SND_MIXER_SCHN_FRONT_LEFT, l) < 0 ||
        snd_mixer_selem_set_capture_volume(e, SND_MIXER_SCHN_FRONT_RIGHT, r) < 0)
      return E_FAIL;
    return S_OK;
  }

private:
  struct Source {
    std::string name;
    snd_mixer_elem_t* elem;
    int item;  // the choice's item, -1 for a switch element
  };
  const Source* At(int i) const { return i >= 0 && i < static_cast<int>(sources_.size()) ? &sources_[size_t(i)] : nullptr; }
  snd_mixer_elem_t* VolumeOf(int i) {
    const Source* s = At(i);
    if (!s) return nullptr;
    if (s->elem && snd_mixer_selem_has_capture_volume(s->elem)) return s->elem;
    return master_;
  }
  std::mutex mutex_;
  void* mixer_ = nullptr;
  snd_mixer_elem_t* enum_ = nullptr;
  snd_mixer_elem_t* master_ = nullptr;
  std::vector<Source> sources_;
};

// ---- listing ---------------------------------------------------------------------------------------

std::vector<CaptureCard> ListCaptureCards() {
  SilenceAlsa();
  std::vector<CaptureCard> cards;
  int card = -1;
  while (snd_card_next(&card) == 0 && card >= 0) {
    const std::string hw = "hw:" + std::to_string(card);
    snd_ctl_t* ctl = nullptr;
    if (snd_ctl_open(&ctl, hw.c_str(), 0) < 0) continue;
    snd_ctl_card_info_t* info;
    snd_ctl_card_info_alloca(&info);
    std::string cardName = hw;
    if (snd_ctl_card_info(ctl, info) == 0) cardName = snd_ctl_card_info_get_name(info);
    std::vector<std::pair<int, std::string>> pcms;
    int device = -1;
    while (snd_ctl_pcm_next_device(ctl, &device) == 0 && device >= 0) {
      snd_pcm_info_t* pi;
      snd_pcm_info_alloca(&pi);
      snd_pcm_info_set_device(pi, static_cast<unsigned>(device));
      snd_pcm_info_set_subdevice(pi, 0);
      snd_pcm_info_set_stream(pi, SND_PCM_STREAM_CAPTURE);
      if (snd_ctl_pcm_info(ctl, pi) == 0) pcms.emplace_back(device, snd_pcm_info_get_name(pi));
    }
    snd_ctl_close(ctl);
    for (auto& [dev, pcmName] : pcms) {
      const std::string id = hw + "," + std::to_string(dev);
      // A card with one capture PCM goes by the card's name.
      const std::string name = pcms.size() == 1 ? cardName : cardName + ": " + pcmName;
      cards.push_back({"plug" + id, id, name, hw});
    }
  }
  return cards;
}

// ---- pins --------------------------------------------------------------------------------------------

AlsaInputPin::AlsaInputPin(AlsaCaptureFilter* owner, std::string name, int source)
    : Pin(owner, std::move(name), PINDIR_INPUT), filter_(owner), source_(source) {}

HRESULT AlsaInputPin::put_Enable(BOOL on) { return filter_->Mixer()->Enable(source_, on != 0); }

HRESULT AlsaInputPin::get_Enable(BOOL* on) {
  if (!on) return E_POINTER;
  bool v = false;
  const HRESULT hr = filter_->Mixer()->Enabled(source_, &v);
  *on = v ? 1 : 0;
  return hr;
}

HRESULT AlsaInputPin::put_Mono(BOOL mono) {
  filter_->SetMono(mono != 0);
  return S_OK;
}

HRESULT AlsaInputPin::get_Mono(BOOL* mono) {
  if (!mono) return E_POINTER;
  *mono = filter_->Mono() ? 1 : 0;
  return S_OK;
}

HRESULT AlsaInputPin::put_MixLevel(double level) {
  if (level == -1.0) return E_NOTIMPL;  // no automatic gain on capture volumes
  if (level < 0 || level > 1) return E_INVALIDARG;
  double old = 0, pan = 0;
  filter_->Mixer()->Level(source_, &old, &pan);
  return filter_->Mixer()->SetLevel(source_, level, pan);
}

HRESULT AlsaInputPin::get_MixLevel(double* level) {
  if (!level) return E_POINTER;
  double pan = 0;
  return filter_->Mixer()->Level(source_, level, &pan);
}

HRESULT AlsaInputPin::put_Pan(double pan) {
  if (pan < -1 || pan > 1) return E_INVALIDARG;
  double level = 0, old = 0;
  const HRESULT hr = filter_->Mixer()->Level(source_, &level, &old);
  if (FAILED(hr)) return hr;
  return filter_->Mixer()->SetLevel(source_, level, pan);
}

HRESULT AlsaInputPin::get_Pan(double* pan) {
  if (!pan) return E_POINTER;
  double level = 0;
  return filter_->Mixer()->Level(source_, &level, pan);
}

AlsaOutputPin::AlsaOutputPin(AlsaCaptureFilter* owner) : ControlledOutputPin(owner, "Capture"), filter_(owner) {
  SetCategory(PIN_CATEGORY_CAPTURE);
}

HRESULT AlsaOutputPin::SetFormat(const AM_MEDIA_TYPE* pmt) {
  if (!pmt) return E_POINTER;
  if (filter_->State() != State_Stopped) return VFW_E_NOT_STOPPED;
  return sim::SetFormatReconnecting(*this, *pmt, [this](const AM_MEDIA_TYPE& mt) { return filter_->ApplyFormat(mt); });
}

HRESULT AlsaOutputPin::GetFormat(AM_MEDIA_TYPE* pmt) {
  if (!pmt) return E_POINTER;
  *pmt = filter_->CurrentFormat();
  return S_OK;
}

HRESULT AlsaOutputPin::GetNumberOfCapabilities(int* count, int* size) { return sim::AudioFormatCount(count, size); }

HRESULT AlsaOutputPin::GetStreamCaps(int index, AM_MEDIA_TYPE* pmt, uint8_t* scc) {
  return sim::AudioFormatCaps(index, pmt, scc);
}

// ---- the filter --------------------------------------------------------------------------------------

AlsaCaptureFilter::AlsaCaptureFilter(CaptureCard card, std::shared_ptr<std::atomic<bool>> present)
    : BaseFilter(CLSID_AlsaCapture),
      card_(std::move(card)),
      present_(std::move(present)),
      mixer_(std::make_unique<AlsaMixer>(card_.mixer)),
      current_(MakePcmAudioType(44100, 2, 16)) {
  SilenceAlsa();
  AddPin(std::make_shared<AlsaOutputPin>(this));
  const auto sources = mixer_->Sources();
  for (size_t i = 0; i < sources.size(); ++i)
    AddPin(std::make_shared<AlsaInputPin>(this, sources[i], static_cast<int>(i)));
}

AlsaCaptureFilter::~AlsaCaptureFilter() { ClosePcm(); }

std::vector<std::shared_ptr<AlsaInputPin>> AlsaCaptureFilter::InputPins() const {
  std::vector<std::shared_ptr<AlsaInputPin>> list;
  for (auto& p : Pins())
    if (auto in = std::dynamic_pointer_cast<AlsaInputPin>(p)) list.push_back(in);
  return list;
}

AM_MEDIA_TYPE AlsaCaptureFilter::CurrentFormat() const {
  std::lock_guard lock(filterMutex_);
  return current_;
}

HRESULT AlsaCaptureFilter::ApplyFormat(const AM_MEDIA_TYPE& mt) {
  const WAVEFORMATEX* wf = mt.FormatAs<WAVEFORMATEX>();
  if (mt.majortype != MEDIATYPE_Audio || mt.formattype != FORMAT_WaveFormatEx || !wf) return VFW_E_INVALIDMEDIATYPE;
  const auto formats = sim::AudioFormats();
  const bool known = std::any_of(formats.begin(), formats.end(), [&](const AM_MEDIA_TYPE& f) {
    const WAVEFORMATEX* o = f.FormatAs<WAVEFORMATEX>();
    return wf->wFormatTag == WAVE_FORMAT_PCM && o->nChannels == wf->nChannels &&
           o->nSamplesPerSec == wf->nSamplesPerSec && o->wBitsPerSample == wf->wBitsPerSample;
  });
  if (!known) return VFW_E_INVALIDMEDIATYPE;
  std::lock_guard lock(filterMutex_);
  current_ = MakePcmAudioType(wf->nSamplesPerSec, wf->nChannels, wf->wBitsPerSample);
  return S_OK;
}

HRESULT AlsaCaptureFilter::CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const {
  if (pin.Direction() == PINDIR_INPUT) return mt.majortype == MEDIATYPE_AnalogAudio ? S_OK : S_FALSE;
  const AM_MEDIA_TYPE cur = CurrentFormat();
  return mt.majortype == cur.majortype && mt.subtype == cur.subtype && mt.format == cur.format ? S_OK : S_FALSE;
}

std::vector<AM_MEDIA_TYPE> AlsaCaptureFilter::GetMediaTypes(const Pin& pin) const {
  if (pin.Direction() == PINDIR_INPUT) return {};
  return {CurrentFormat()};
}

HRESULT AlsaCaptureFilter::OnConnect(Pin& pin) {
  if (&pin == Output().get()) return ApplyFormat(pin.CurrentType());
  return S_OK;
}

ALLOCATOR_PROPERTIES AlsaCaptureFilter::DecideBufferSize(const Pin&) const {
  const AM_MEDIA_TYPE mt = CurrentFormat();
  const WAVEFORMATEX* wf = mt.FormatAs<WAVEFORMATEX>();
  ALLOCATOR_PROPERTIES p;
  p.cBuffers = 4;
  p.cbBuffer = static_cast<LONG>(wf->nAvgBytesPerSec / 10 + wf->nBlockAlign);
  return p;
}

HRESULT AlsaCaptureFilter::OpenPcm() {
  std::lock_guard lock(pcmMutex_);
  if (pcm_) return S_OK;
  if (present_ && !present_->load()) return VFW_E_NOT_CONNECTED;
  const AM_MEDIA_TYPE mt = CurrentFormat();
  const WAVEFORMATEX* wf = mt.FormatAs<WAVEFORMATEX>();
  snd_pcm_t* pcm = nullptr;
  if (snd_pcm_open(&pcm, card_.pcm.c_str(), SND_PCM_STREAM_CAPTURE, 0) < 0) return E_FAIL;
  // Half a second of room: the graph reads a tenth at a time.
  if (snd_pcm_set_params(pcm, wf->wBitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE,
                         SND_PCM_ACCESS_RW_INTERLEAVED, wf->nChannels, wf->nSamplesPerSec, 1, 500'000) < 0 ||
      snd_pcm_prepare(pcm) < 0) {
    snd_pcm_close(pcm);
    return E_FAIL;
  }
  pcm_ = pcm;
  buffers_ = 0;
  lostSent_ = false;
  return S_OK;
}

void AlsaCaptureFilter::ClosePcm() {
  std::lock_guard lock(pcmMutex_);
  if (!pcm_) return;
  auto* pcm = static_cast<snd_pcm_t*>(pcm_);
  snd_pcm_drop(pcm);
  snd_pcm_close(pcm);
  pcm_ = nullptr;
}

HRESULT AlsaCaptureFilter::Pause() {
  if (State() == State_Stopped) {
    const HRESULT hr = OpenPcm();
    if (FAILED(hr)) return hr;
  }
  return BaseFilter::Pause();
}

HRESULT AlsaCaptureFilter::Stop() {
  const HRESULT hr = BaseFilter::Stop();
  ClosePcm();
  return hr;
}

void AlsaCaptureFilter::ReportLost() {
  if (lostSent_) return;
  lostSent_ = true;
  NotifyEvent(EC_DEVICE_LOST, reinterpret_cast<intptr_t>(this), 0);
}

HRESULT AlsaCaptureFilter::PushOne(REFERENCE_TIME t) {
  if (State() == State_Stopped) return VFW_E_WRONG_STATE;
  auto out = Output();
  const AM_MEDIA_TYPE mt = CurrentFormat();
  const WAVEFORMATEX* wf = mt.FormatAs<WAVEFORMATEX>();
  const snd_pcm_uframes_t frames = wf->nSamplesPerSec / 10;
  std::shared_ptr<MediaSample> sample;
  std::vector<uint8_t> scratch;
  uint8_t* dst;
  if (out->IsConnected() && SUCCEEDED(out->Allocator().GetBuffer(sample)) &&
      static_cast<size_t>(sample->GetSize()) >= frames * wf->nBlockAlign) {
    dst = sample->GetPointer();
  } else {
    // Nobody takes the sound: it is still read, so the card does not overrun.
    sample.reset();
    scratch.resize(frames * wf->nBlockAlign);
    dst = scratch.data();
  }
  snd_pcm_sframes_t got = 0;
  int64_t index;
  {
    std::lock_guard lock(pcmMutex_);
    if (!pcm_) return VFW_E_WRONG_STATE;
    if (present_ && !present_->load()) {
      ReportLost();
      return S_FALSE;
    }
    auto* pcm = static_cast<snd_pcm_t*>(pcm_);
    while (got < static_cast<snd_pcm_sframes_t>(frames)) {
      const snd_pcm_sframes_t r =
          snd_pcm_readi(pcm, dst + size_t(got) * wf->nBlockAlign, frames - static_cast<snd_pcm_uframes_t>(got));
      if (r > 0) {
        got += r;
        continue;
      }
      if (LostError(r)) {
        ReportLost();
        return S_FALSE;
      }
      if (r == -EPIPE) overruns_.fetch_add(1);
      // An overrun or a suspend: start over where the card is now.
      if (r == 0 || snd_pcm_recover(pcm, static_cast<int>(r), 1) < 0) break;
    }
    index = buffers_++;
  }
  if (!sample || got <= 0) return S_OK;
  const size_t bytes = size_t(got) * wf->nBlockAlign;
  if (Mono() && wf->nChannels == 2) {
    // Both channels carry their mean, as a mono input sounds.
    if (wf->wBitsPerSample == 16) {
      auto* s = reinterpret_cast<int16_t*>(dst);
      for (size_t i = 0; i + 1 < bytes / 2; i += 2) s[i] = s[i + 1] = static_cast<int16_t>((s[i] + s[i + 1]) / 2);
    } else {
      for (size_t i = 0; i + 1 < bytes; i += 2) dst[i] = dst[i + 1] = static_cast<uint8_t>((dst[i] + dst[i + 1]) / 2);
    }
  }
  sample->SetActualDataLength(static_cast<LONG>(bytes));
  REFERENCE_TIME start = t, stop = t + static_cast<REFERENCE_TIME>(got) * UNITS / wf->nSamplesPerSec;
  sample->SetTime(&start, &stop);
  const int64_t ms = index, me = index + 1;
  sample->SetMediaTime(&ms, &me);
  sample->SetSyncPoint(true);
  sample->SetDiscontinuity(index == 0);
  const HRESULT hr = out->Deliver(*sample);
  return hr == VFW_E_WRONG_STATE ? hr : S_OK;
}

// ---- the provider ------------------------------------------------------------------------------------

AlsaDeviceProvider::AlsaDeviceProvider(Lister lister) : lister_(std::move(lister)) {}

std::shared_ptr<std::atomic<bool>> AlsaDeviceProvider::PresenceOf(const std::string& id) {
  std::lock_guard lock(mutex_);
  auto& p = presence_[id];
  if (!p) p = std::make_shared<std::atomic<bool>>(true);
  return p;
}

void AlsaDeviceProvider::CardRemoved(int cardNumber) {
  const std::string prefix = "hw:" + std::to_string(cardNumber) + ",";
  std::lock_guard lock(mutex_);
  for (auto it = presence_.begin(); it != presence_.end();) {
    if (it->first.rfind(prefix, 0) == 0) {
      it->second->store(false);
      it = presence_.erase(it);
    } else {
      ++it;
    }
  }
}

bool AlsaDeviceProvider::AnyDevice() { return !lister_().empty(); }

std::vector<std::shared_ptr<Moniker>> AlsaDeviceProvider::Enumerate(const GUID& category) {
  if (category != CLSID_AudioInputDeviceCategory) return {};
  std::vector<std::shared_ptr<Moniker>> list;
  int32_t waveIn = 0;
  for (const CaptureCard& card : lister_()) {
    auto presence = PresenceOf(card.id);
    auto m = std::make_shared<Moniker>("@alsa:" + card.id, [card, presence] {
      if (!presence->load()) return std::shared_ptr<BaseFilter>();
      return std::static_pointer_cast<BaseFilter>(std::make_shared<AlsaCaptureFilter>(card, presence));
    });
    m->Properties().Write("FriendlyName", card.name);
    m->Properties().Write("CLSID", CLSID_AlsaCapture.ToString());
    m->Properties().Write("WaveInID", waveIn++);
    list.push_back(std::move(m));
  }
  return list;
}

}  // namespace mg::alsa
