// The audio side of a capture device: the PCM format put on its pin, the
// one-time look at its inputs, the input selection with its level, balance
// and mono mode, and the speaker levels set while a graph runs and given
// back when it ends.
#include "capture/VcDevices.h"
#include "capture/VcEngine.h"
#include "capture/VcFormats.h"
#include "capture/VcGraphHelpers.h"
#include "capture/VcLog.h"
#include "platform/rtl/StringUtils.h"

namespace capture {

namespace {

TSetting& V(TVcEngine& e, TVideoDeviceSetting s) { return e.DeviceSettings.Video[s]; }
TSetting& A(TVcEngine& e, TAudioDeviceSetting s) { return e.DeviceSettings.Audio[s]; }

std::vector<String> SplitLines(const String& text) {
  std::vector<String> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t eol = text.find('\n', pos);
    String line = text.substr(pos, eol == String::npos ? String::npos : eol - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    if (eol == String::npos) break;
    pos = eol + 1;
  }
  return lines;
}

}  // namespace

// ---- formats ---------------------------------------------------------------------

void TVcEngine::ApplyAudioFormat(const std::shared_ptr<mg::Pin>& Pin) {
  if (AudioFormat == af_default || !Pin) return;
  auto config = mg::QueryInterface<mg::IAMStreamConfig>(Pin);
  mg::AM_MEDIA_TYPE mt;
  if (!config || config->GetFormat(&mt) != mg::S_OK) {
    ReportIf(true, SEV_ERROR, "get audio format", e_get_audio_format);
    return;
  }
  mg::WAVEFORMATEX* wave = mt.formattype == mg::FORMAT_WaveFormatEx ? mt.FormatAs<mg::WAVEFORMATEX>() : nullptr;
  if (!wave) return;
  if (wave->wFormatTag != mg::WAVE_FORMAT_PCM) {
    ReportIf(true, SEV_WARNING, "audio format applies only to PCM", w_set_audio_format);
    return;
  }
  FillWaveFormat(AudioFormat, *wave);
  // The sample size follows the block so the type stays consistent.
  mt.lSampleSize = wave->nBlockAlign;
  if (config->SetFormat(&mt) != mg::S_OK) ReportIf(true, SEV_WARNING, "set audio format", w_set_audio_format);
}

// ---- discovery -------------------------------------------------------------------

int32_t TVcEngine::CountAudioInputPins() const {
  int32_t n = 0;
  if (AudioDeviceFilter)
    for (const auto& p : AudioDeviceFilter->Pins())
      if (p->Direction() == mg::PINDIR_INPUT) ++n;
  return n;
}

bool TVcEngine::RunAudioDiscovery() {
  const TDevices* list = AudioCaptureDevices();
  const String name = list ? list->GetName(BoundAudioDevice >= 0 ? BoundAudioDevice : AudioDevice) : String();
  TraceLine(CF_DEFAULT, "BEGIN Discovering " + name);
  ReportIf(true, SEV_INFO, "one-time audio device discovery:\r\n" + name + "\r\nplease wait...",
           i_begin_discovering_device);
  ClearGraph(false);
  bool result = false;
  int32_t index = BoundAudioDevice >= 0 ? BoundAudioDevice : AudioDevice;
  TCapDeviceInfo* unused = nullptr;
  if (DeviceManagerExists() && list && LatchSettings(false) && CreateFilterGraph() &&
      BindDevice(FilterGraph2, AudioCaptureDevices(), String(), false, unused, false, AudioDeviceFilter, String(),
                 index)) {
    A(*this, ads_AIsSoundCard).BoolValue = CountAudioInputPins() > 4;
    std::shared_ptr<mg::IAMCrossbar> crossbar;
    if (CaptureGraphBuilder)
      CaptureGraphBuilder->FindInterface(&mg::PIN_CATEGORY_CAPTURE, nullptr, AudioDeviceFilter, &crossbar);
    AudioCrossbar = crossbar;
    A(*this, ads_AIsAudioCrossbarAvail).BoolValue =
        TraceYesNo(crossbar != nullptr, CF_DEFAULT, "audio crossbar available on audio device");
    const String pins = GetPinNames(mg::PINDIR_INPUT, AudioDeviceFilter);
    A(*this, ads_AudioInputs).StrValue = pins;
    A(*this, ads_AudioInput).IntValue = 0;
    TraceLine(CF_DEFAULT, "Audio pin list");
    for (const String& line : SplitLines(pins)) TraceLine(CF_DEFAULT, line);
    TraceLine(CF_DEFAULT, "END Discovering " + name);
    result = true;
  }
  AudioCrossbar.reset();
  ClearGraph(false);
  ReportIf(true, SEV_INFO, "end of device discovery", i_end_discovering_device);
  return result;
}

// ---- the input mixer ---------------------------------------------------------------

String TVcEngine::GetSelectedAudioInputName() const {
  return IsAudioAssociated() ? DeviceSettings.Video[vds_AudioInputNameAssociated].StrValue
                             : DeviceSettings.Audio[ads_AudioInputName].StrValue;
}

void TVcEngine::RunSelectAudioInput() {
  const bool associated = IsAudioAssociated();
  int32_t& index = associated ? V(*this, vds_AudioInputAssociated).IntValue : A(*this, ads_AudioInput).IntValue;
  String& name = associated ? V(*this, vds_AudioInputNameAssociated).StrValue : A(*this, ads_AudioInputName).StrValue;
  const std::vector<String> lines = SplitLines(A(*this, ads_AudioInputs).StrValue);
  if (!lines.empty()) {
    if (index < 0 || index >= static_cast<int32_t>(lines.size())) index = 0;
    name = lines[static_cast<size_t>(index)];
  }
  if (!AudioDeviceFilter) return;
  InputMixer.reset();
  for (const auto& pin : AudioDeviceFilter->Pins()) {
    if (pin->Direction() != mg::PINDIR_INPUT) continue;
    auto mixer = mg::QueryInterface<mg::IAMAudioInputMixer>(pin);
    mg::PIN_INFO info;
    if (!mixer || pin->QueryPinInfo(&info) != mg::S_OK) continue;
    if (info.achName != name) {
      mixer->put_Enable(mg::OAFALSE);
      mixer->put_MixLevel(0.0);
    } else {
      mixer->put_Enable(mg::OATRUE);
      InputMixer = mixer;
    }
  }
  if (InputMixer) ApplyInputLevels();
}

void TVcEngine::ApplyInputLevels() {
  const bool associated = IsAudioAssociated();
  const int32_t level =
      associated ? V(*this, vds_AudioInputLevelAssociated).IntValue : A(*this, ads_AudioInputLevel).IntValue;
  const int32_t balance =
      associated ? V(*this, vds_AudioInputBalanceAssociated).IntValue : A(*this, ads_AudioInputBalance).IntValue;
  const bool mono =
      associated ? V(*this, vds_AudioInputMonoAssociated).BoolValue : A(*this, ads_AudioInputMono).BoolValue;
  bool monoTaken = false, levelTaken = false, panTaken = false;
  if (InputMixer) {
    monoTaken = InputMixer->put_Mono(mono ? mg::OATRUE : mg::OAFALSE) == mg::S_OK;
    levelTaken = InputMixer->put_MixLevel(MixLevelOf(level)) == mg::S_OK;
    panTaken = InputMixer->put_Pan(PanOf(balance)) == mg::S_OK;
  }
  if (SourceInputMixer) {
    if (!monoTaken) SourceInputMixer->put_Mono(mono ? mg::OATRUE : mg::OAFALSE);
    if (!levelTaken) SourceInputMixer->put_MixLevel(MixLevelOf(level));
    if (!panTaken) SourceInputMixer->put_Pan(PanOf(balance));
  }
}

// ---- the speaker line ------------------------------------------------------------------

void TVcEngine::ApplySpeakerLevels() {
  if (!Latched.SpeakerControl || (State != es_Preview && State != es_Recording && State != es_PlayerOpen)) return;
  int32_t volume = 0, balance = 0;
  if (!MuteAudioRendering) {
    const bool associated = IsAudioAssociated();
    volume = associated ? V(*this, vds_SpeakerVolumeAssociated).IntValue : A(*this, ads_SpeakerVolume).IntValue;
    balance = associated ? V(*this, vds_SpeakerBalanceAssociated).IntValue : A(*this, ads_SpeakerBalance).IntValue;
  }
  SetSpeakerLevels(volume, balance);
}

void TVcEngine::SaveSpeakerLevels() {
  if (!Latched.SpeakerControl) return;
  int32_t volume = 0, balance = 0;
  if (!GetSpeakerLevels(volume, balance)) return;
  SavedSpeakerVolume = volume;
  SavedSpeakerBalance = balance;
}

void TVcEngine::RestoreSpeakerLevels() {
  if (SavedSpeakerVolume == -1) return;
  SetSpeakerLevels(SavedSpeakerVolume, SavedSpeakerBalance);
  SavedSpeakerVolume = -1;
  SavedSpeakerBalance = -1;
}

}  // namespace capture
