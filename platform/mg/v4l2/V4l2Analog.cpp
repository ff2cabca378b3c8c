// The analog side of a V4L2 capture card: inputs as a crossbar, the tuner,
// and the decoder's standards.
#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>

#include "platform/mg/TvChannels.h"
#include "platform/mg/sim/SimTv.h"
#include "platform/mg/v4l2/V4l2Capture.h"
#include "platform/rtl/Registry.h"

namespace mg::v4l2 {

namespace {

AM_MEDIA_TYPE AnalogType(bool video) {
  AM_MEDIA_TYPE mt;
  mt.majortype = video ? MEDIATYPE_AnalogVideo : MEDIATYPE_AnalogAudio;
  mt.subtype = video ? sim::MEDIASUBTYPE_AnalogVideo_NTSC_M : MEDIATYPE_AnalogAudio;
  mt.formattype = FORMAT_None;
  return mt;
}

bool IsAudioTunerName(const std::string& name) {
  std::string lower = name;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower.find("tuner") != std::string::npos || lower.find("tv") != std::string::npos ||
         lower.find("television") != std::string::npos;
}

}  // namespace

// ---- the crossbar ---------------------------------------------------------------------------------

V4l2Crossbar::V4l2Crossbar(std::shared_ptr<DeviceNode> node, const DeviceInfo& info)
    : BaseFilter(CLSID_V4l2Crossbar), node_(std::move(node)) {
  // Video inputs first, then audio inputs; each video input is related to
  // the first audio input it can be heard with.
  for (uint32_t i = 0; i < info.inputs.size(); ++i) {
    const InputInfo& in = info.inputs[i];
    LONG related = -1;
    for (size_t a = 0; a < info.audioInputs.size(); ++a)
      if (info.audioInputs[a].index < 32 && (in.audioset & (1u << info.audioInputs[a].index))) {
        related = static_cast<LONG>(info.inputs.size() + a);
        break;
      }
    const LONG type = in.tuner ? PhysConn_Video_Tuner : in.sVideo ? PhysConn_Video_SVideo : PhysConn_Video_Composite;
    inputs_.push_back({type, related, i, true});
  }
  videoInputs_ = inputs_.size();
  for (size_t a = 0; a < info.audioInputs.size(); ++a) {
    const LONG type = IsAudioTunerName(info.audioInputs[a].name) ? PhysConn_Audio_Tuner : PhysConn_Audio_Line;
    LONG related = -1;
    for (size_t v = 0; v < videoInputs_; ++v)
      if (inputs_[v].related == static_cast<LONG>(videoInputs_ + a)) {
        related = static_cast<LONG>(v);
        break;
      }
    inputs_.push_back({type, related, info.audioInputs[a].index, false});
  }
  inputCount_ = inputs_.size();
  const bool audio = !info.audioInputs.empty();
  outputs_.push_back({PhysConn_Video_VideoDecoder, audio ? 1 : -1, 0, true});
  if (audio) outputs_.push_back({PhysConn_Audio_AudioDecoder, 0, 0, false});
  for (size_t i = 0; i < inputs_.size(); ++i) {
    const std::string name = inputs_[i].video ? info.inputs[i].name : info.audioInputs[i - videoInputs_].name;
    AddPin(std::make_shared<Pin>(this, std::to_string(i) + ": " + name, PINDIR_INPUT));
  }
  AddPin(std::make_shared<Pin>(this, "0: Video Decoder Out", PINDIR_OUTPUT));
  if (audio) AddPin(std::make_shared<Pin>(this, "1: Audio Decoder Out", PINDIR_OUTPUT));
}

std::shared_ptr<Pin> V4l2Crossbar::TunerInputPin() const {
  for (size_t i = 0; i < videoInputs_; ++i)
    if (inputs_[i].physicalType == PhysConn_Video_Tuner) return PinAt(i);
  return nullptr;
}

HRESULT V4l2Crossbar::get_PinCounts(LONG* outputs, LONG* inputs) {
  if (!outputs || !inputs) return E_POINTER;
  *outputs = static_cast<LONG>(outputs_.size());
  *inputs = static_cast<LONG>(inputs_.size());
  return S_OK;
}

HRESULT V4l2Crossbar::CanRoute(LONG out, LONG in) {
  if (out < 0 || in < 0 || out >= static_cast<LONG>(outputs_.size()) || in >= static_cast<LONG>(inputs_.size()))
    return E_INVALIDARG;
  return inputs_[static_cast<size_t>(in)].video == outputs_[static_cast<size_t>(out)].video ? S_OK : S_FALSE;
}

HRESULT V4l2Crossbar::Route(LONG out, LONG in) {
  const HRESULT hr = CanRoute(out, in);
  if (hr != S_OK) return hr == S_FALSE ? VFW_E_CANNOT_CONNECT : hr;
  const Row& row = inputs_[static_cast<size_t>(in)];
  if (row.video) {
    int index = static_cast<int>(row.v4l2Index);
    return node_->Ioctl(VIDIOC_S_INPUT, &index) == 0 ? S_OK : E_FAIL;
  }
  v4l2_audio a{};
  a.index = row.v4l2Index;
  return node_->Ioctl(VIDIOC_S_AUDIO, &a) == 0 ? S_OK : E_FAIL;
}

HRESULT V4l2Crossbar::get_IsRoutedTo(LONG out, LONG* in) {
  if (!in) return E_POINTER;
  if (out < 0 || out >= static_cast<LONG>(outputs_.size())) return E_INVALIDARG;
  uint32_t current = 0;
  const bool video = outputs_[static_cast<size_t>(out)].video;
  if (video) {
    int index = 0;
    if (node_->Ioctl(VIDIOC_G_INPUT, &index) != 0) return E_FAIL;
    current = static_cast<uint32_t>(index);
  } else {
    v4l2_audio a{};
    if (node_->Ioctl(VIDIOC_G_AUDIO, &a) != 0) return E_FAIL;
    current = a.index;
  }
  for (size_t i = 0; i < inputs_.size(); ++i)
    if (inputs_[i].video == video && inputs_[i].v4l2Index == current) {
      *in = static_cast<LONG>(i);
      return S_OK;
    }
  *in = -1;
  return S_FALSE;
}

HRESULT V4l2Crossbar::get_CrossbarPinInfo(BOOL isInput, LONG index, LONG* related, LONG* type) {
  if (!related || !type) return E_POINTER;
  const auto& rows = isInput ? inputs_ : outputs_;
  if (index < 0 || index >= static_cast<LONG>(rows.size())) return E_INVALIDARG;
  *related = rows[static_cast<size_t>(index)].related;
  *type = rows[static_cast<size_t>(index)].physicalType;
  return S_OK;
}

HRESULT V4l2Crossbar::CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const {
  const auto pins = Pins();
  for (size_t i = 0; i < pins.size(); ++i)
    if (pins[i].get() == &pin) {
      const bool video = i < inputCount_ ? inputs_[i].video : outputs_[i - inputCount_].video;
      return mt.majortype == (video ? MEDIATYPE_AnalogVideo : MEDIATYPE_AnalogAudio) ? S_OK : S_FALSE;
    }
  return S_FALSE;
}

std::vector<AM_MEDIA_TYPE> V4l2Crossbar::GetMediaTypes(const Pin& pin) const {
  const auto pins = Pins();
  for (size_t i = 0; i < pins.size(); ++i)
    if (pins[i].get() == &pin)
      return {AnalogType(i < inputCount_ ? inputs_[i].video : outputs_[i - inputCount_].video)};
  return {};
}

// ---- the decoder ------------------------------------------------------------------------------------

HRESULT V4l2CaptureFilter::DecoderAvailableFormats(LONG* formats) {
  if (!formats) return E_POINTER;
  *formats = AnalogStandardsOf(info_.standards);
  return S_OK;
}

HRESULT V4l2CaptureFilter::DecoderPutFormat(LONG format) {
  // One standard at a time, and one the card knows.
  if (format == 0 || (format & (format - 1)) || !(format & AnalogStandardsOf(info_.standards))) return E_INVALIDARG;
  v4l2_std_id id = V4l2StandardOf(format);
  if (node_->Ioctl(VIDIOC_S_STD, &id) != 0) return E_FAIL;
  std::lock_guard lock(filterMutex_);
  analogStandard_ = format;
  return S_OK;
}

HRESULT V4l2CaptureFilter::DecoderGetFormat(LONG* format) {
  if (!format) return E_POINTER;
  v4l2_std_id id = 0;
  if (node_->Ioctl(VIDIOC_G_STD, &id) != 0) return E_FAIL;
  const LONG all = AnalogStandardsOf(id);
  std::lock_guard lock(filterMutex_);
  // A driver reports a group (all PAL flavours); the one set wins, else
  // the first of the group.
  *format = (analogStandard_ & all) ? analogStandard_ : (all & -all);
  return S_OK;
}

HRESULT V4l2CaptureFilter::DecoderHorizontalLocked(LONG* locked) {
  if (!locked) return E_POINTER;
  int index = 0;
  if (node_->Ioctl(VIDIOC_G_INPUT, &index) != 0) return E_FAIL;
  v4l2_input in{};
  in.index = static_cast<uint32_t>(index);
  if (node_->Ioctl(VIDIOC_ENUMINPUT, &in) != 0) return E_FAIL;
  *locked = (in.status & (V4L2_IN_ST_NO_H_LOCK | V4L2_IN_ST_NO_SIGNAL | V4L2_IN_ST_NO_POWER)) ? 0 : 1;
  return S_OK;
}

HRESULT V4l2CaptureFilter::DecoderNumberOfLines(LONG* lines) {
  if (!lines) return E_POINTER;
  v4l2_std_id id = 0;
  if (node_->Ioctl(VIDIOC_G_STD, &id) != 0) return E_FAIL;
  *lines = (id & V4L2_STD_525_60) ? 525 : 625;
  return S_OK;
}

// ---- the tuner ---------------------------------------------------------------------------------------

V4l2Tuner::V4l2Tuner(std::shared_ptr<DeviceNode> node, const DeviceInfo& info)
    : BaseFilter(CLSID_V4l2Tuner), node_(std::move(node)), info_(info) {
  AddPin(std::make_shared<Pin>(this, "Analog Video", PINDIR_OUTPUT));
}

HRESULT V4l2Tuner::CheckMediaType(const Pin&, const AM_MEDIA_TYPE& mt) const {
  return mt.majortype == MEDIATYPE_AnalogVideo ? S_OK : S_FALSE;
}

std::vector<AM_MEDIA_TYPE> V4l2Tuner::GetMediaTypes(const Pin&) const { return {AnalogType(true)}; }

HRESULT V4l2Tuner::TuneTo(LONG hz) {
  if (hz <= 0) return E_INVALIDARG;
  // Tuners count in 62.5 kHz steps, or 62.5 Hz with the low-range flag.
  const bool low = (info_.tunerCapability & V4L2_TUNER_CAP_LOW) != 0;
  const uint64_t units = low ? uint64_t(hz) * 2 / 125 : uint64_t(hz) / 62'500;
  if (info_.rangeHigh > info_.rangeLow && (units < info_.rangeLow || units > info_.rangeHigh)) return E_INVALIDARG;
  v4l2_frequency f{};
  f.tuner = info_.tunerIndex;
  f.type = V4L2_TUNER_ANALOG_TV;
  f.frequency = static_cast<uint32_t>(units);
  return node_->Ioctl(VIDIOC_S_FREQUENCY, &f) == 0 ? S_OK : E_FAIL;
}

LONG V4l2Tuner::TunedFrequency() {
  v4l2_frequency f{};
  f.tuner = info_.tunerIndex;
  if (node_->Ioctl(VIDIOC_G_FREQUENCY, &f) != 0) return 0;
  const bool low = (info_.tunerCapability & V4L2_TUNER_CAP_LOW) != 0;
  return static_cast<LONG>(low ? uint64_t(f.frequency) * 125 / 2 : uint64_t(f.frequency) * 62'500);
}

namespace {
// The frequency of a channel: an override of the tuning space, the stored
// auto-tune table, else the country's plan.
LONG ChannelFrequency(LONG ch, LONG country, LONG space, TunerInputType input) {
  rtl::TRegistry reg(rtl::KEY_READ);
  reg.SetRootKey(rtl::HKEY_LOCAL_MACHINE);
  if (space >= 99990000 && reg.OpenKeyReadOnly(sim::AutoTuneKey(space, input))) {
    const std::string name = std::to_string(ch);
    if (reg.ValueExists(name)) {
      try {
        return reg.ReadInteger(name);
      } catch (const std::exception&) {
      }
    }
    reg.CloseKey();
  }
  if (reg.OpenKeyReadOnly(sim::AutoTuneKey(country, input)) && reg.ValueExists("AutoTune")) {
    std::vector<int32_t> pairs(static_cast<size_t>(std::max(0, reg.GetDataSize("AutoTune"))) / sizeof(int32_t));
    if (!pairs.empty()) {
      reg.ReadBinaryData("AutoTune", pairs.data(), static_cast<int32_t>(pairs.size() * sizeof(int32_t)));
      for (size_t i = 0; i + 1 < pairs.size(); i += 2)
        if (pairs[i] == ch) return pairs[i + 1];
    }
  }
  return TvChannelFrequency(country, input, ch);
}
}  // namespace

HRESULT V4l2Tuner::put_Channel(LONG ch, LONG, LONG) {
  LONG country, space;
  TunerInputType input;
  {
    std::lock_guard lock(mutex_);
    country = country_, space = tuningSpace_, input = inputType_;
  }
  const LONG hz = ChannelFrequency(ch, country, space, input);
  if (hz <= 0) return E_INVALIDARG;
  const HRESULT hr = TuneTo(hz);
  if (FAILED(hr)) return hr;
  std::lock_guard lock(mutex_);
  channel_ = ch;
  return S_OK;
}

HRESULT V4l2Tuner::get_Channel(LONG* ch, LONG* video, LONG* audio) {
  if (!ch) return E_POINTER;
  std::lock_guard lock(mutex_);
  *ch = channel_;
  if (video) *video = AMTUNER_SUBCHAN_DEFAULT;
  if (audio) *audio = AMTUNER_SUBCHAN_DEFAULT;
  return S_OK;
}

HRESULT V4l2Tuner::ChannelMinMax(LONG* lo, LONG* hi) {
  if (!lo || !hi) return E_POINTER;
  *lo = 2;
  *hi = 69;
  return S_OK;
}

HRESULT V4l2Tuner::put_CountryCode(LONG code) {
  if (code <= 0) return E_INVALIDARG;
  std::lock_guard lock(mutex_);
  country_ = code;
  return S_OK;
}

HRESULT V4l2Tuner::get_CountryCode(LONG* code) {
  if (!code) return E_POINTER;
  std::lock_guard lock(mutex_);
  *code = country_;
  return S_OK;
}

HRESULT V4l2Tuner::put_TuningSpace(LONG space) {
  std::lock_guard lock(mutex_);
  tuningSpace_ = space;
  return S_OK;
}

HRESULT V4l2Tuner::get_TuningSpace(LONG* space) {
  if (!space) return E_POINTER;
  std::lock_guard lock(mutex_);
  *space = tuningSpace_;
  return S_OK;
}

HRESULT V4l2Tuner::SignalPresent(LONG* strength) {
  if (!strength) return E_POINTER;
  v4l2_tuner t{};
  t.index = info_.tunerIndex;
  if (node_->Ioctl(VIDIOC_G_TUNER, &t) != 0) return E_FAIL;
  *strength = t.signal > 0 ? AMTUNER_SIGNALPRESENT : AMTUNER_NOSIGNAL;
  return S_OK;
}

HRESULT V4l2Tuner::get_AvailableTVFormats(LONG* formats) {
  if (!formats) return E_POINTER;
  *formats = AnalogStandardsOf(info_.standards);
  return S_OK;
}

HRESULT V4l2Tuner::get_TVFormat(LONG* format) {
  if (!format) return E_POINTER;
  v4l2_std_id id = 0;
  if (node_->Ioctl(VIDIOC_G_STD, &id) != 0) return E_FAIL;
  const LONG all = AnalogStandardsOf(id);
  *format = all & -all;
  return S_OK;
}

HRESULT V4l2Tuner::AutoTune(LONG ch, LONG* found) {
  if (!found) return E_POINTER;
  HRESULT hr = put_Channel(ch, AMTUNER_SUBCHAN_DEFAULT, AMTUNER_SUBCHAN_DEFAULT);
  if (FAILED(hr)) return hr;
  LONG signal = 0;
  hr = SignalPresent(&signal);
  if (FAILED(hr)) return hr;
  *found = signal == AMTUNER_SIGNALPRESENT ? 1 : 0;
  if (*found) {
    const LONG hz = TunedFrequency();
    std::lock_guard lock(mutex_);
    std::erase_if(found_, [ch](auto& p) { return p.first == ch; });
    found_.emplace_back(ch, hz);
  }
  return S_OK;
}

HRESULT V4l2Tuner::StoreAutoTune() {
  std::vector<int32_t> pairs;
  LONG country;
  TunerInputType input;
  {
    std::lock_guard lock(mutex_);
    country = country_;
    input = inputType_;
    auto sorted = found_;
    std::sort(sorted.begin(), sorted.end());
    for (auto& [ch, hz] : sorted) {
      pairs.push_back(ch);
      pairs.push_back(hz);
    }
  }
  rtl::TRegistry reg;
  reg.SetRootKey(rtl::HKEY_LOCAL_MACHINE);
  if (!reg.OpenKey(sim::AutoTuneKey(country, input), true)) return E_FAIL;
  reg.WriteBinaryData("AutoTune", pairs.data(), static_cast<int32_t>(pairs.size() * sizeof(int32_t)));
  return S_OK;
}

HRESULT V4l2Tuner::get_NumInputConnections(LONG* n) {
  if (!n) return E_POINTER;
  *n = 1;
  return S_OK;
}

HRESULT V4l2Tuner::put_InputType(LONG index, TunerInputType type) {
  if (index != 0 || (type != TunerInputCable && type != TunerInputAntenna)) return E_INVALIDARG;
  std::lock_guard lock(mutex_);
  inputType_ = type;
  return S_OK;
}

HRESULT V4l2Tuner::get_InputType(LONG index, TunerInputType* type) {
  if (!type) return E_POINTER;
  if (index != 0) return E_INVALIDARG;
  std::lock_guard lock(mutex_);
  *type = inputType_;
  return S_OK;
}

HRESULT V4l2Tuner::put_ConnectInput(LONG index) { return index == 0 ? S_OK : E_INVALIDARG; }

HRESULT V4l2Tuner::get_ConnectInput(LONG* index) {
  if (!index) return E_POINTER;
  *index = 0;
  return S_OK;
}

HRESULT V4l2Tuner::get_VideoFrequency(LONG* freq) {
  if (!freq) return E_POINTER;
  *freq = TunedFrequency();
  return *freq > 0 ? S_OK : E_FAIL;
}

HRESULT V4l2Tuner::get_AudioFrequency(LONG* freq) {
  if (!freq) return E_POINTER;
  const LONG video = TunedFrequency();
  if (video <= 0) return E_FAIL;
  *freq = video + 4'500'000;
  return S_OK;
}

// ---- TV sound --------------------------------------------------------------------------------------

namespace {
struct AudioModePair {
  uint32_t v4l2;
  LONG mode;
};
constexpr AudioModePair kAudioModes[] = {
    {V4L2_TUNER_MODE_MONO, sim::AMTVAUDIO_MODE_MONO},
    {V4L2_TUNER_MODE_STEREO, sim::AMTVAUDIO_MODE_STEREO},
    {V4L2_TUNER_MODE_LANG1, sim::AMTVAUDIO_MODE_LANG_A},
    {V4L2_TUNER_MODE_LANG2, sim::AMTVAUDIO_MODE_LANG_B},
};
}  // namespace

HRESULT V4l2Tuner::GetHardwareSupportedTVAudioModes(LONG* modes) {
  if (!modes) return E_POINTER;
  const uint32_t cap = info_.tunerCapability;
  *modes = sim::AMTVAUDIO_MODE_MONO | ((cap & V4L2_TUNER_CAP_STEREO) ? sim::AMTVAUDIO_MODE_STEREO : 0) |
           ((cap & V4L2_TUNER_CAP_LANG1) ? sim::AMTVAUDIO_MODE_LANG_A : 0) |
           ((cap & V4L2_TUNER_CAP_LANG2) ? sim::AMTVAUDIO_MODE_LANG_B : 0);
  return S_OK;
}

HRESULT V4l2Tuner::GetAvailableTVAudioModes(LONG* modes) {
  if (!modes) return E_POINTER;
  v4l2_tuner t{};
  t.index = info_.tunerIndex;
  if (node_->Ioctl(VIDIOC_G_TUNER, &t) != 0) return E_FAIL;
  // What the station sends now; mono is always there to choose.
  *modes = sim::AMTVAUDIO_MODE_MONO | ((t.rxsubchans & V4L2_TUNER_SUB_STEREO) ? sim::AMTVAUDIO_MODE_STEREO : 0) |
           ((t.rxsubchans & V4L2_TUNER_SUB_LANG1) ? sim::AMTVAUDIO_MODE_LANG_A : 0) |
           ((t.rxsubchans & V4L2_TUNER_SUB_LANG2) ? sim::AMTVAUDIO_MODE_LANG_B : 0);
  return S_OK;
}

HRESULT V4l2Tuner::get_TVAudioMode(LONG* mode) {
  if (!mode) return E_POINTER;
  v4l2_tuner t{};
  t.index = info_.tunerIndex;
  if (node_->Ioctl(VIDIOC_G_TUNER, &t) != 0) return E_FAIL;
  for (const AudioModePair& p : kAudioModes)
    if (p.v4l2 == t.audmode) {
      *mode = p.mode;
      return S_OK;
    }
  // Both languages at once has no single mode: the first one is heard.
  *mode = sim::AMTVAUDIO_MODE_LANG_A;
  return S_OK;
}

HRESULT V4l2Tuner::put_TVAudioMode(LONG mode) {
  LONG supported = 0;
  GetHardwareSupportedTVAudioModes(&supported);
  for (const AudioModePair& p : kAudioModes)
    if (p.mode == mode) {
      if (!(supported & mode)) return E_INVALIDARG;
      v4l2_tuner t{};
      t.index = info_.tunerIndex;
      if (node_->Ioctl(VIDIOC_G_TUNER, &t) != 0) return E_FAIL;
      t.audmode = p.v4l2;
      return node_->Ioctl(VIDIOC_S_TUNER, &t) == 0 ? S_OK : E_FAIL;
    }
  return E_INVALIDARG;
}

}  // namespace mg::v4l2
