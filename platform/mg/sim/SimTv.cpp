#include "platform/mg/sim/SimTv.h"

#include <cstdio>

#include "platform/rtl/Registry.h"

namespace mg::sim {

namespace {

AM_MEDIA_TYPE AnalogType(bool video) {
  AM_MEDIA_TYPE mt;
  mt.majortype = video ? MEDIATYPE_AnalogVideo : MEDIATYPE_AnalogAudio;
  mt.subtype = video ? MEDIASUBTYPE_AnalogVideo_NTSC_M : MEDIATYPE_AnalogAudio;
  mt.formattype = FORMAT_None;
  return mt;
}

bool IsAnalog(const AM_MEDIA_TYPE& mt, bool video) {
  return mt.majortype == (video ? MEDIATYPE_AnalogVideo : MEDIATYPE_AnalogAudio);
}

bool IsVideoConnector(LONG type) { return type < PhysConn_Audio_Tuner; }

bool SingleStandard(LONG f) { return f != 0 && (f & (f - 1)) == 0; }

}  // namespace

std::string AutoTuneKey(LONG tuningSpace, TunerInputType input) {
  return "\\Software\\Microsoft\\TV System Services\\TVAutoTune\\TS" + std::to_string(tuningSpace) + "-" +
         std::to_string(1 - static_cast<int>(input));
}

// ---- crossbar -------------------------------------------------------------------------------------

SimCrossbar::SimCrossbar(std::vector<PinSpec> inputs, std::vector<PinSpec> outputs, std::vector<LONG> routes,
                         std::shared_ptr<TvState> state, bool drivesPicture)
    : BaseFilter(CLSID_SimCrossbar),
      inputs_(std::move(inputs)),
      outputs_(std::move(outputs)),
      routes_(std::move(routes)),
      state_(std::move(state)),
      drivesPicture_(drivesPicture) {
  for (auto& p : inputs_) AddPin(std::make_shared<Pin>(this, p.name, PINDIR_INPUT));
  for (auto& p : outputs_) AddPin(std::make_shared<Pin>(this, p.name, PINDIR_OUTPUT));
  routes_.resize(outputs_.size(), -1);
}

HRESULT SimCrossbar::get_PinCounts(LONG* outputs, LONG* inputs) {
  if (!outputs || !inputs) return E_POINTER;
  *outputs = static_cast<LONG>(outputs_.size());
  *inputs = static_cast<LONG>(inputs_.size());
  return S_OK;
}

HRESULT SimCrossbar::CanRoute(LONG out, LONG in) {
  if (out < 0 || out >= static_cast<LONG>(outputs_.size())) return E_INVALIDARG;
  if (in == -1) return S_OK;  // disconnecting is always possible
  if (in < 0 || in >= static_cast<LONG>(inputs_.size())) return E_INVALIDARG;
  return IsVideoConnector(inputs_[in].physicalType) == IsVideoConnector(outputs_[out].physicalType) ? S_OK : S_FALSE;
}

HRESULT SimCrossbar::Route(LONG out, LONG in) {
  const HRESULT hr = CanRoute(out, in);
  if (hr != S_OK) return FAILED(hr) ? hr : E_FAIL;
  std::lock_guard lock(filterMutex_);
  routes_[out] = in;
  if (drivesPicture_ && out == 0) {
    std::lock_guard s(state_->mutex);
    state_->videoInput = in;
  }
  return S_OK;
}

HRESULT SimCrossbar::get_IsRoutedTo(LONG out, LONG* in) {
  if (!in) return E_POINTER;
  if (out < 0 || out >= static_cast<LONG>(outputs_.size())) return E_INVALIDARG;
  std::lock_guard lock(filterMutex_);
  *in = routes_[out];
  return S_OK;
}

HRESULT SimCrossbar::get_CrossbarPinInfo(BOOL isInput, LONG index, LONG* related, LONG* type) {
  if (!related || !type) return E_POINTER;
  const auto& list = isInput ? inputs_ : outputs_;
  if (index < 0 || index >= static_cast<LONG>(list.size())) return E_INVALIDARG;
  *related = list[index].related;
  *type = list[index].physicalType;
  return S_OK;
}

HRESULT SimCrossbar::GetPages(std::vector<PropertyPage>* pages) {
  if (!pages) return E_POINTER;
  auto self = std::static_pointer_cast<SimCrossbar>(shared_from_this());
  PropertyPage page;
  page.title = "Crossbar";
  for (LONG out = 0; out < static_cast<LONG>(outputs_.size()); ++out) {
    PropertyDescriptor d = ControlDescriptor<SimCrossbar>(
        self, outputs_[out].name, ControlRange{-1, static_cast<LONG>(inputs_.size()) - 1, 1, -1, 0},
        [out](SimCrossbar& x) {
          LONG in = -1;
          x.get_IsRoutedTo(out, &in);
          return in;
        },
        [out](SimCrossbar& x, LONG in) { x.Route(out, in); });
    d.kind = PropertyDescriptor::Kind::Choice;
    for (auto& in : inputs_) d.choices.push_back(in.name);
    page.properties.push_back(std::move(d));
  }
  pages->push_back(std::move(page));
  return S_OK;
}

HRESULT SimCrossbar::CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const {
  const auto pins = Pins();
  for (size_t i = 0; i < pins.size(); ++i)
    if (pins[i].get() == &pin) {
      const PinSpec& row = i < inputs_.size() ? inputs_[i] : outputs_[i - inputs_.size()];
      return IsAnalog(mt, IsVideoConnector(row.physicalType)) ? S_OK : S_FALSE;
    }
  return S_FALSE;
}

std::vector<AM_MEDIA_TYPE> SimCrossbar::GetMediaTypes(const Pin& pin) const {
  const auto pins = Pins();
  for (size_t i = 0; i < pins.size(); ++i)
    if (pins[i].get() == &pin) {
      const PinSpec& row = i < inputs_.size() ? inputs_[i] : outputs_[i - inputs_.size()];
      return {AnalogType(IsVideoConnector(row.physicalType))};
    }
  return {};
}

// ---- tuner ----------------------------------------------------------------------------------------

SimTvTuner::SimTvTuner(std::shared_ptr<TvState> state) : BaseFilter(CLSID_SimTvTuner), state_(std::move(state)) {
  AddPin(std::make_shared<Pin>(this, "Analog Video", PINDIR_OUTPUT));
  AddPin(std::make_shared<Pin>(this, "Analog Audio", PINDIR_OUTPUT));
}

HRESULT SimTvTuner::CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const {
  return IsAnalog(mt, &pin == PinAt(0).get()) ? S_OK : S_FALSE;
}

std::vector<AM_MEDIA_TYPE> SimTvTuner::GetMediaTypes(const Pin& pin) const {
  return {AnalogType(&pin == PinAt(0).get())};
}

HRESULT SimTvTuner::GetPages(std::vector<PropertyPage>* pages) {
  if (!pages) return E_POINTER;
  auto self = std::static_pointer_cast<SimTvTuner>(shared_from_this());
  PropertyPage page;
  page.title = "TV Tuner";
  page.properties.push_back(ControlDescriptor<SimTvTuner>(
      self, "Channel", ControlRange{2, 69, 1, 3, 0},
      [](SimTvTuner& t) {
        LONG ch = 0;
        t.get_Channel(&ch, nullptr, nullptr);
        return ch;
      },
      [](SimTvTuner& t, LONG ch) { t.put_Channel(ch, AMTUNER_SUBCHAN_DEFAULT, AMTUNER_SUBCHAN_DEFAULT); }));
  page.properties.push_back(ControlDescriptor<SimTvTuner>(
      self, "Country", ControlRange{1, 999, 1, 1, 0},
      [](SimTvTuner& t) {
        LONG c = 0;
        t.get_CountryCode(&c);
        return c;
      },
      [](SimTvTuner& t, LONG c) { t.put_CountryCode(c); }));
  PropertyDescriptor input = ControlDescriptor<SimTvTuner>(
      self, "Input", ControlRange{0, 1, 1, 0, 0},
      [](SimTvTuner& t) {
        TunerInputType type = TunerInputCable;
        t.get_InputType(0, &type);
        return static_cast<LONG>(type);
      },
      [](SimTvTuner& t, LONG v) { t.put_InputType(0, static_cast<TunerInputType>(v)); });
  input.kind = PropertyDescriptor::Kind::Choice;
  input.choices = {"Cable", "Antenna"};
  page.properties.push_back(std::move(input));
  pages->push_back(std::move(page));
  return S_OK;
}

HRESULT SimTvTuner::put_Channel(LONG ch, LONG, LONG) {
  std::lock_guard lock(state_->mutex);
  if (ch < state_->options.minChannel || ch > state_->options.maxChannel) return E_INVALIDARG;
  state_->channel = ch;
  // Like a real tuner, it remembers where it found a picture; StoreAutoTune
  // writes those channels out.
  if (state_->options.signalChannels.count(ch)) state_->autoTuned.insert(ch);
  return S_OK;
}

HRESULT SimTvTuner::get_Channel(LONG* ch, LONG* video, LONG* audio) {
  if (!ch) return E_POINTER;
  std::lock_guard lock(state_->mutex);
  *ch = state_->channel;
  if (video) *video = AMTUNER_SUBCHAN_DEFAULT;
  if (audio) *audio = AMTUNER_SUBCHAN_DEFAULT;
  return S_OK;
}

HRESULT SimTvTuner::ChannelMinMax(LONG* lo, LONG* hi) {
  if (!lo || !hi) return E_POINTER;
  std::lock_guard lock(state_->mutex);
  *lo = state_->options.minChannel;
  *hi = state_->options.maxChannel;
  return S_OK;
}

HRESULT SimTvTuner::put_CountryCode(LONG code) {
  if (code <= 0) return E_INVALIDARG;
  std::lock_guard lock(state_->mutex);
  state_->country = code;
  return S_OK;
}

HRESULT SimTvTuner::get_CountryCode(LONG* code) {
  if (!code) return E_POINTER;
  std::lock_guard lock(state_->mutex);
  *code = state_->country;
  return S_OK;
}

HRESULT SimTvTuner::put_TuningSpace(LONG space) {
  std::lock_guard lock(state_->mutex);
  state_->tuningSpace = space;
  return S_OK;
}

HRESULT SimTvTuner::get_TuningSpace(LONG* space) {
  if (!space) return E_POINTER;
  std::lock_guard lock(state_->mutex);
  *space = state_->tuningSpace;
  return S_OK;
}

HRESULT SimTvTuner::SignalPresent(LONG* strength) {
  if (!strength) return E_POINTER;
  std::lock_guard lock(state_->mutex);
  *strength = state_->options.signalChannels.count(state_->channel) ? AMTUNER_SIGNALPRESENT : AMTUNER_NOSIGNAL;
  return S_OK;
}

HRESULT SimTvTuner::get_AvailableTVFormats(LONG* formats) {
  if (!formats) return E_POINTER;
  *formats = kSimTvFormats;
  return S_OK;
}

HRESULT SimTvTuner::get_TVFormat(LONG* format) {
  if (!format) return E_POINTER;
  std::lock_guard lock(state_->mutex);
  *format = state_->tvFormat;
  return S_OK;
}

HRESULT SimTvTuner::AutoTune(LONG ch, LONG* found) {
  if (!found) return E_POINTER;
  const HRESULT hr = put_Channel(ch, AMTUNER_SUBCHAN_DEFAULT, AMTUNER_SUBCHAN_DEFAULT);
  if (FAILED(hr)) return hr;
  std::lock_guard lock(state_->mutex);
  *found = state_->options.signalChannels.count(ch) ? 1 : 0;
  if (*found) state_->autoTuned.insert(ch);
  return S_OK;
}

HRESULT SimTvTuner::StoreAutoTune() {
  std::vector<int32_t> pairs;
  LONG country;
  TunerInputType input;
  {
    std::lock_guard lock(state_->mutex);
    country = state_->country;
    input = state_->inputType;
    for (LONG ch : state_->autoTuned) {
      pairs.push_back(ch);
      pairs.push_back(TvChannelFrequency(country, input, ch));
    }
  }
  rtl::TRegistry reg;
  reg.SetRootKey(rtl::HKEY_LOCAL_MACHINE);
  if (!reg.OpenKey(AutoTuneKey(country, input), true)) return E_FAIL;
  reg.WriteBinaryData("AutoTune", pairs.data(), static_cast<int32_t>(pairs.size() * sizeof(int32_t)));
  return S_OK;
}

HRESULT SimTvTuner::get_NumInputConnections(LONG* n) {
  if (!n) return E_POINTER;
  *n = 1;
  return S_OK;
}

HRESULT SimTvTuner::put_InputType(LONG index, TunerInputType type) {
  if (index != 0 || (type != TunerInputCable && type != TunerInputAntenna)) return E_INVALIDARG;
  std::lock_guard lock(state_->mutex);
  state_->inputType = type;
  return S_OK;
}

HRESULT SimTvTuner::get_InputType(LONG index, TunerInputType* type) {
  if (!type) return E_POINTER;
  if (index != 0) return E_INVALIDARG;
  std::lock_guard lock(state_->mutex);
  *type = state_->inputType;
  return S_OK;
}

HRESULT SimTvTuner::put_ConnectInput(LONG index) { return index == 0 ? S_OK : E_INVALIDARG; }

HRESULT SimTvTuner::get_ConnectInput(LONG* index) {
  if (!index) return E_POINTER;
  *index = 0;
  return S_OK;
}

LONG SimTvTuner::FrequencyLocked() const {
  const LONG ch = state_->channel, country = state_->country, space = state_->tuningSpace;
  const TunerInputType input = state_->inputType;
  rtl::TRegistry reg(rtl::KEY_READ);
  reg.SetRootKey(rtl::HKEY_LOCAL_MACHINE);
  // A tuning space past the country codes names a key of override
  // frequencies, one value per channel.
  if (space >= 99990000 && reg.OpenKeyReadOnly(AutoTuneKey(space, input))) {
    const std::string name = std::to_string(ch);
    if (reg.ValueExists(name)) {
      try {
        return reg.ReadInteger(name);
      } catch (const std::exception&) {
      }
    }
    reg.CloseKey();
  }
  if (reg.OpenKeyReadOnly(AutoTuneKey(country, input)) && reg.ValueExists("AutoTune")) {
    std::vector<int32_t> pairs(static_cast<size_t>(std::max(0, reg.GetDataSize("AutoTune"))) / sizeof(int32_t));
    if (!pairs.empty()) {
      reg.ReadBinaryData("AutoTune", pairs.data(), static_cast<int32_t>(pairs.size() * sizeof(int32_t)));
      for (size_t i = 0; i + 1 < pairs.size(); i += 2)
        if (pairs[i] == ch) return pairs[i + 1];
    }
  }
  return TvChannelFrequency(country, input, ch);
}

HRESULT SimTvTuner::get_VideoFrequency(LONG* freq) {
  if (!freq) return E_POINTER;
  std::lock_guard lock(state_->mutex);
  *freq = FrequencyLocked();
  return S_OK;
}

HRESULT SimTvTuner::get_AudioFrequency(LONG* freq) {
  if (!freq) return E_POINTER;
  std::lock_guard lock(state_->mutex);
  *freq = FrequencyLocked() + 4'500'000;
  return S_OK;
}

// ---- TV audio --------------------------------------------------------------------------------------

SimTvAudio::SimTvAudio(std::shared_ptr<TvState> state) : BaseFilter(CLSID_SimTvAudio), state_(std::move(state)) {
  AddPin(std::make_shared<Pin>(this, "TVAudio In", PINDIR_INPUT));
  AddPin(std::make_shared<Pin>(this, "TVAudio Out", PINDIR_OUTPUT));
}

HRESULT SimTvAudio::CheckMediaType(const Pin&, const AM_MEDIA_TYPE& mt) const {
  return IsAnalog(mt, false) ? S_OK : S_FALSE;
}

std::vector<AM_MEDIA_TYPE> SimTvAudio::GetMediaTypes(const Pin&) const { return {AnalogType(false)}; }

HRESULT SimTvAudio::GetHardwareSupportedTVAudioModes(LONG* modes) {
  if (!modes) return E_POINTER;
  *modes = AMTVAUDIO_MODE_MONO | AMTVAUDIO_MODE_STEREO | AMTVAUDIO_MODE_LANG_A | AMTVAUDIO_MODE_LANG_B;
  return S_OK;
}

HRESULT SimTvAudio::GetAvailableTVAudioModes(LONG* modes) {
  if (!modes) return E_POINTER;
  std::lock_guard lock(state_->mutex);
  // Only a channel with a signal carries stereo and a second language.
  *modes = state_->options.signalChannels.count(state_->channel)
               ? AMTVAUDIO_MODE_MONO | AMTVAUDIO_MODE_STEREO | AMTVAUDIO_MODE_LANG_A | AMTVAUDIO_MODE_LANG_B
               : AMTVAUDIO_MODE_MONO;
  return S_OK;
}

HRESULT SimTvAudio::get_TVAudioMode(LONG* mode) {
  if (!mode) return E_POINTER;
  std::lock_guard lock(state_->mutex);
  *mode = state_->audioMode;
  return S_OK;
}

HRESULT SimTvAudio::put_TVAudioMode(LONG mode) {
  LONG hw = 0;
  GetHardwareSupportedTVAudioModes(&hw);
  if (mode == 0 || (mode & ~hw)) return E_INVALIDARG;
  std::lock_guard lock(state_->mutex);
  state_->audioMode = mode;
  return S_OK;
}

// ---- the capture filter ----------------------------------------------------------------------------

namespace {
std::vector<VideoCapability> TvCapabilities() {
  std::vector<VideoCapability> caps;
  for (const GUID& s : {MEDIASUBTYPE_YUY2, MEDIASUBTYPE_RGB24})
    for (auto [w, h] : {std::pair{320, 240}, std::pair{640, 480}, std::pair{720, 480}, std::pair{720, 576}})
      caps.push_back({s, w, h});
  return caps;
}
}  // namespace

SimTvCapture::SimTvCapture(std::shared_ptr<DevicePresence> presence, std::shared_ptr<TvState> state)
    : SimVideoSource(CLSID_SimTvCapture, std::move(presence), TvCapabilities(),
                     mg::MakeCaptureVideoType(MEDIASUBTYPE_YUY2, 320, 240, kMinFrameInterval), "Capture", PIN_CATEGORY_CAPTURE),
      state_(std::move(state)) {
  AddPin(std::make_shared<Pin>(this, "Analog Video In", PINDIR_INPUT));
}

SimTvCapture::~SimTvCapture() {
  // The chain holds the pins of both ends; break it so neither keeps the other.
  for (const auto& f : std::vector<std::shared_ptr<BaseFilter>>{videoCrossbar_, audioCrossbar_, tuner_, tvAudio_})
    if (f)
      for (auto& p : f->Pins()) p->Disconnect();
  AnalogInput()->Disconnect();
}

std::shared_ptr<SimTvCapture> SimTvCapture::Create(std::shared_ptr<DevicePresence> presence, const TvOptions& o) {
  auto state = std::make_shared<TvState>();
  state->options = o;
  auto card = std::make_shared<SimTvCapture>(std::move(presence), state);
  using Spec = SimCrossbar::PinSpec;
  card->videoCrossbar_ = std::make_shared<SimCrossbar>(
      std::vector<Spec>{{"0: Video Tuner In", PhysConn_Video_Tuner, 4},
                        {"1: Video Composite In", PhysConn_Video_Composite, 5},
                        {"2: Video Composite In", PhysConn_Video_Composite, 5},
                        {"3: Video SVideo In", PhysConn_Video_SVideo, 5},
                        {"4: Audio Tuner In", PhysConn_Audio_Tuner, 0},
                        {"5: Audio Line In", PhysConn_Audio_Line, 1}},
      std::vector<Spec>{{"0: Video Decoder Out", PhysConn_Video_VideoDecoder, 1},
                        {"1: Audio Decoder Out", PhysConn_Audio_AudioDecoder, 0}},
      std::vector<LONG>{0, 4}, state, true);
  card->audioCrossbar_ = std::make_shared<SimCrossbar>(
      std::vector<Spec>{{"0: Audio Tuner In", PhysConn_Audio_Tuner, -1}, {"1: Audio Line In", PhysConn_Audio_Line, -1}},
      std::vector<Spec>{{"0: Audio Out", PhysConn_Audio_AudioDecoder, -1}}, std::vector<LONG>{0}, state, false);
  card->tuner_ = std::make_shared<SimTvTuner>(state);
  card->tvAudio_ = std::make_shared<SimTvAudio>(state);
  card->Tuner()->Pins()[0]->Connect(card->videoCrossbar_->InputPin(0), nullptr);
  card->Tuner()->Pins()[1]->Connect(card->tvAudio_->Pins()[0], nullptr);
  card->tvAudio_->Pins()[1]->Connect(card->audioCrossbar_->InputPin(0), nullptr);
  card->audioCrossbar_->OutputPin(0)->Connect(card->videoCrossbar_->InputPin(4), nullptr);
  card->videoCrossbar_->OutputPin(0)->Connect(card->AnalogInput(), nullptr);
  return card;
}

HRESULT SimTvCapture::CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const {
  if (pin.Direction() == PINDIR_INPUT) return IsAnalog(mt, true) ? S_OK : S_FALSE;
  return SimVideoSource::CheckMediaType(pin, mt);
}

std::vector<AM_MEDIA_TYPE> SimTvCapture::GetMediaTypes(const Pin& pin) const {
  if (pin.Direction() == PINDIR_INPUT) return {AnalogType(true)};
  return SimVideoSource::GetMediaTypes(pin);
}

bool SimTvCapture::Locked() const {
  std::lock_guard lock(state_->mutex);
  if (state_->videoInput < 0) return false;
  if (state_->videoInput == 0) return state_->options.signalChannels.count(state_->channel) > 0;
  return true;
}

void SimTvCapture::DrawScene(int64_t index, const PictureSettings& settings, RgbImage& image) {
  LONG input, channel;
  {
    std::lock_guard lock(state_->mutex);
    input = state_->videoInput;
    channel = state_->channel;
  }
  if (input < 0) {
    image.FillRect(0, 0, image.width, image.height, 0);
  } else if (!Locked()) {
    DrawNoise(image, static_cast<uint64_t>(index) * 131 + static_cast<uint64_t>(channel));
  } else {
    DrawColourBars(image, settings);
  }
}

std::string SimTvCapture::Caption() const {
  std::lock_guard lock(state_->mutex);
  switch (state_->videoInput) {
    case 0:
      return state_->options.signalChannels.count(state_->channel) ? "CH " + std::to_string(state_->channel) : "";
    case 1:
      return "COMPOSITE 1";
    case 2:
      return "COMPOSITE 2";
    case 3:
      return "SVIDEO";
    default:
      return "";
  }
}

HRESULT SimTvCapture::get_AvailableTVFormats(LONG* formats) {
  if (!formats) return E_POINTER;
  *formats = kSimTvFormats;
  return S_OK;
}

HRESULT SimTvCapture::put_TVFormat(LONG format) {
  if (!SingleStandard(format) || (format & ~kSimTvFormats)) return E_INVALIDARG;
  std::lock_guard lock(state_->mutex);
  state_->tvFormat = format;
  return S_OK;
}

HRESULT SimTvCapture::get_TVFormat(LONG* format) {
  if (!format) return E_POINTER;
  std::lock_guard lock(state_->mutex);
  *format = state_->tvFormat;
  return S_OK;
}

HRESULT SimTvCapture::get_HorizontalLocked(LONG* locked) {
  if (!locked) return E_POINTER;
  *locked = Locked() ? 1 : 0;
  return S_OK;
}

HRESULT SimTvCapture::put_VCRHorizontalLocking(LONG v) {
  std::lock_guard lock(filterMutex_);
  vcrLocking_ = v ? 1 : 0;
  return S_OK;
}

HRESULT SimTvCapture::get_VCRHorizontalLocking(LONG* v) {
  if (!v) return E_POINTER;
  std::lock_guard lock(filterMutex_);
  *v = vcrLocking_;
  return S_OK;
}

HRESULT SimTvCapture::get_NumberOfLines(LONG* lines) {
  if (!lines) return E_POINTER;
  std::lock_guard lock(state_->mutex);
  *lines = state_->tvFormat == AnalogVideo_NTSC_M ? 525 : 625;
  return S_OK;
}

HRESULT SimTvCapture::put_OutputEnable(LONG v) {
  std::lock_guard lock(filterMutex_);
  outputEnable_ = v ? 1 : 0;
  return S_OK;
}

HRESULT SimTvCapture::get_OutputEnable(LONG* v) {
  if (!v) return E_POINTER;
  std::lock_guard lock(filterMutex_);
  *v = outputEnable_;
  return S_OK;
}

}  // namespace mg::sim
