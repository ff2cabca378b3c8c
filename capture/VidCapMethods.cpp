// The capture control's public methods: list and count queries, selection
// setters with their index checks, device controls, TV tuning, the DV
// transport, dialogs, profiles, snapshots, the motion grid, the extra
// filters and the clip player. Work that needs a built graph or a device
// interface is done where those are built; here are the checks, the
// messages and the results.
#include <cmath>
#include <cstring>

#include "capture/VcDevices.h"
#include "capture/VcEngine.h"
#include "capture/VcTuner.h"
#include "capture/VcWorker.h"
#include "capture/VcGraphHelpers.h"
#include "capture/VcLog.h"
#include "capture/VcRegistry.h"
#include "capture/VcProperties.h"
#include "capture/VidCap.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/Forms.h"
#include "platform/mg/WmProfiles.h"
#include "platform/rtl/Registry.h"
#include "platform/rtl/StringUtils.h"

namespace capture {

namespace {

// A plain message box with the application's title and one OK button.
void Box(const String& text) { forms::Application->MessageBox(text, forms::Application->Title(), forms::MB_OK); }

// The lines of a list joined as the class library's string lists do.
String LineList(const std::vector<String>& lines) {
  String text;
  for (const String& l : lines) text += l + "\r\n";
  return text;
}

int32_t LineCountOf(const String& text) {
  int32_t n = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t eol = text.find('\n', pos);
    ++n;
    if (eol == String::npos) break;
    pos = eol + 1;
  }
  return n;
}

// The lines of a list whose first entry stands for "the device's own
// choice", shown under the application's "Default" text.
String FormatList(const TVcEngine& e, const rtl::TStringList& list, int32_t deviceCount, bool subtypes) {
  if (!e.Initialized || deviceCount == 0 || list.Count() == 0) return String();
  std::vector<String> lines;
  for (int32_t i = 0; i < list.Count(); ++i) lines.push_back(subtypes ? SubtypeEntryName(list[i]) : rtl::Trim(list[i]));
  lines[0] = LookupText("IDS_MAIN_COMBO_PATH_1", "Default");
  return LineList(lines);
}

TSetting& V(TVcEngine& e, TVideoDeviceSetting s) { return e.DeviceSettings.Video[s]; }
TSetting& A(TVcEngine& e, TAudioDeviceSetting s) { return e.DeviceSettings.Audio[s]; }
bool Has(const TVcEngine& e, TVideoDeviceSetting s) { return e.DeviceSettings.Video[s].BoolValue; }

template <size_t N>
bool SetControlValue(std::array<uint8_t, N>& table, int32_t index, int32_t value) {
  if (index < 0 || static_cast<size_t>(index) >= N / sizeof(TDeviceControl)) return false;
  TDeviceControl c = ControlRecord(table, index);
  if ((c.Available & 0xFF) == 0 || value < c.Min || value > c.Max) return false;
  c.Value = value;
  PutControlRecord(table, index, c);
  return true;
}

}  // namespace

bool TVidCap::ResumeRecording() {
  TVcEngine& e = *engine_;
  if (e.ReportIf(e.State != es_Recording, SEV_ERROR, "not recording", e_not_recording)) return false;
  if (e.Latched.HoldRecording && e.GraphState == gs_Running) {
    // The held recording starts writing now.
    e.SetGraphState(gs_Paused, "rr");
    e.Latched.HoldRecording = false;
    e.RecordingStartedPostProcessing();
    e.SwitchStream(e.VideoControlPin, "video", true);
    e.SwitchStream(e.AudioControlPin, "audio", true);
    e.SetGraphState(gs_Running, "rr2");
    return true;
  }
  if (e.ReportIf(!e.RecordingStarted, SEV_ERROR, "not recording", e_recording_cannot_pause)) return false;
  if (e.ReportIf(!e.Sel.PausedByNoMotion, SEV_ERROR, "Recording not paused", e_recording_cannot_pause)) return false;
  e.ResumeRecordingStreams();
  e.Sel.PausedByNoMotion = false;
  return true;
}

// ---- devices and lists ------------------------------------------------------

int32_t TVidCap::GetVideoDeviceCount() const { return engine_->VideoDeviceCount(); }
int32_t TVidCap::GetAudioDeviceCount() const { return engine_->AudioDeviceCount(); }
int32_t TVidCap::GetVideoCompressorCount() const { return DeviceCount(*engine_, dev_VideoCompressor); }
int32_t TVidCap::GetAudioCompressorCount() const { return DeviceCount(*engine_, dev_AudioCompressor); }
String TVidCap::GetVideoDeviceName() const { return DeviceName(*engine_, dev_VideoCapture, engine_->VideoDevice); }
String TVidCap::GetAudioDeviceName() const { return DeviceName(*engine_, dev_AudioCapture, engine_->AudioDevice); }
String TVidCap::GetVideoCompressorName() const {
  return DeviceName(*engine_, dev_VideoCompressor, engine_->Sel.VideoCompressor);
}
String TVidCap::GetAudioCompressorName() const {
  return DeviceName(*engine_, dev_AudioCompressor, engine_->Sel.AudioCompressor);
}
String TVidCap::GetVideoCompressors() const { return DeviceNames(*engine_, dev_VideoCompressor); }
String TVidCap::GetAudioCompressors() const { return DeviceNames(*engine_, dev_AudioCompressor); }
int32_t TVidCap::FindVideoDevice(const String& Name) const { return FindDevice(*engine_, dev_VideoCapture, Name); }
int32_t TVidCap::FindAudioDevice(const String& Name) const { return FindDevice(*engine_, dev_AudioCapture, Name); }

int32_t TVidCap::GetVideoCompressor() const { return engine_->Sel.VideoCompressor; }

void TVidCap::SetVideoCompressor(int32_t Index) {
  TVcEngine& e = *engine_;
  if (Index == e.Sel.VideoCompressor) return;
  if (!e.CheckIndex(Index, DeviceCount(e, dev_VideoCompressor), "video compressor")) e.Sel.VideoCompressor = Index;
}

int32_t TVidCap::GetAudioCompressor() const { return engine_->Sel.AudioCompressor; }

void TVidCap::SetAudioCompressor(int32_t Index) {
  TVcEngine& e = *engine_;
  if (Index == e.Sel.AudioCompressor) return;
  if (!e.CheckIndex(Index, DeviceCount(e, dev_AudioCompressor), "audio compressor")) e.Sel.AudioCompressor = Index;
}

String TVidCap::GetVideoInputs() const { return VideoInputNames(*engine_); }
int32_t TVidCap::GetVideoInputCount() const { return LineCountOf(GetVideoInputs()); }
int32_t TVidCap::GetVideoInput() const { return V(*engine_, vds_VideoInput).IntValue; }

void TVidCap::SetVideoInput(int32_t Index) {
  TVcEngine& e = *engine_;
  const String inputs = GetVideoInputs();
  if (Index < 0 || Index >= LineCountOf(inputs)) {
    Box("Video input index out of range");
    e.ReportIf(true, SEV_ERROR, "Video input index out of range", e_index_out_of_range);
    return;
  }
  const bool changed = Index != V(e, vds_VideoInput).IntValue;
  V(e, vds_VideoInput).IntValue = Index;
  size_t pos = 0;
  for (int32_t i = 0; i < Index; ++i) pos = inputs.find('\n', pos) + 1;
  V(e, vds_VideoInputName).StrValue = rtl::Trim(inputs.substr(pos, inputs.find('\n', pos) - pos));
  RouteVideoInput(e);
  if (changed && e.CanRaiseEventLight(OnVideoDeviceSelected)) OnVideoDeviceSelected(this);
}

String TVidCap::GetAudioInputs() const { return AudioInputNames(*engine_); }

int32_t TVidCap::GetAudioInput() const {
  TVcEngine& e = *engine_;
  return e.IsAudioAssociated() ? V(e, vds_AudioInputAssociated).IntValue : A(e, ads_AudioInput).IntValue;
}

void TVidCap::SetAudioInput(int32_t Index) {
  TVcEngine& e = *engine_;
  if (Index < 0) return;
  int32_t& input = e.IsAudioAssociated() ? V(e, vds_AudioInputAssociated).IntValue : A(e, ads_AudioInput).IntValue;
  const bool changed = input != Index;
  input = Index;
  e.SelectAudioInput();
  if (changed && e.CanRaiseEventLight(OnAudioDeviceSelected)) OnAudioDeviceSelected(this);
}

int32_t TVidCap::GetAudioInputLevel() const {
  TVcEngine& e = *engine_;
  return e.IsAudioAssociated() ? V(e, vds_AudioInputLevelAssociated).IntValue : A(e, ads_AudioInputLevel).IntValue;
}

void TVidCap::SetAudioInputLevel(int32_t Value) {
  TVcEngine& e = *engine_;
  if (Value < 0 || Value > 65535) {
    Box("Audio level value out of range");
    e.ReportIf(true, SEV_ERROR, "Audio level value out of range", e_value_out_of_range);
    return;
  }
  (e.IsAudioAssociated() ? V(e, vds_AudioInputLevelAssociated) : A(e, ads_AudioInputLevel)).IntValue = Value;
  e.ApplyInputLevels();
}

int32_t TVidCap::GetAudioInputBalance() const {
  TVcEngine& e = *engine_;
  return e.IsAudioAssociated() ? V(e, vds_AudioInputBalanceAssociated).IntValue
                               : A(e, ads_AudioInputBalance).IntValue;
}

void TVidCap::SetAudioInputBalance(int32_t Value) {
  TVcEngine& e = *engine_;
  if (Value < -32768 || Value > 32767) {
    Box("Audio Balance value out of range");
    e.ReportIf(true, SEV_ERROR, "Audio Balance value out of range", e_value_out_of_range);
    return;
  }
  (e.IsAudioAssociated() ? V(e, vds_AudioInputBalanceAssociated) : A(e, ads_AudioInputBalance)).IntValue = Value;
  e.ApplyInputLevels();
}

// ---- formats ------------------------------------------------------------------

String TVidCap::GetVideoSizes() const {
  return FormatList(*engine_, engine_->Sel.VideoSizes, engine_->VideoDeviceCount(), false);
}
int32_t TVidCap::GetVideoSize() const { return V(*engine_, vds_VideoSize).IntValue; }

void TVidCap::SetVideoSize(int32_t Index) {
  TVcEngine& e = *engine_;
  if (Index < 0 || Index >= e.Sel.VideoSizes.Count()) return;
  const bool changed = Index != V(e, vds_VideoSize).IntValue;
  V(e, vds_VideoSize).IntValue = Index;
  int32_t w = 0, h = 0;
  if (e.State == es_Idle && SizeOfListEntry(e, Index, w, h)) {
    e.VideoWidth = w;
    e.VideoHeight = h;
  }
  if (changed && e.CanRaiseEventLight(OnVideoDeviceSelected)) OnVideoDeviceSelected(this);
  e.RequestPreviewRefresh("dsvsz");
}

String TVidCap::GetVideoSubtypes() const {
  return FormatList(*engine_, engine_->Sel.VideoSubtypes, engine_->VideoDeviceCount(), true);
}
int32_t TVidCap::GetVideoSubtype() const { return V(*engine_, vds_VideoSubtype).IntValue; }

void TVidCap::SetVideoSubtype(int32_t Index) {
  TVcEngine& e = *engine_;
  if (Index < 0 || Index >= e.Sel.VideoSubtypes.Count()) return;
  const bool changed = Index != V(e, vds_VideoSubtype).IntValue;
  V(e, vds_VideoSubtype).IntValue = Index;
  if (changed && e.CanRaiseEventLight(OnVideoDeviceSelected)) OnVideoDeviceSelected(this);
  e.RequestPreviewRefresh("dsvsty");
}

int32_t TVidCap::GetVideoWidth() const { return engine_->VideoWidth; }
int32_t TVidCap::GetVideoHeight() const { return engine_->VideoHeight; }
double TVidCap::GetFrameRate() const { return engine_->FrameRate100 / 100.0; }

void TVidCap::SetFrameRate(double Value) {
  TVcEngine& e = *engine_;
  if (Value < 0 || Value == e.FrameRate100 / 100.0) return;
  e.FrameRate100 = static_cast<int32_t>(std::nearbyint(Value * 100));
  if (!e.Initialized) return;
  if (ChosenDeviceIsDV(e)) {
    Box("does not apply to DV");
    e.ReportIf(true, SEV_WARNING, "does not apply to DV", w_does_not_apply_to_dv);
    return;
  }
  if (e.State == es_Idle || e.State == es_Preview) e.RequestPreviewRefresh("dsfr");
}

String TVidCap::GetAudioFormats() const { return AudioFormatNames(); }
String TVidCap::GetAnalogVideoStandards() const {
  return AnalogStandardNames(V(*engine_, vds_ANTVFormats).IntValue);
}

int32_t TVidCap::GetAnalogVideoStandard() const {
  const String current = AnalogStandardNames(V(*engine_, vds_ANTVFormat).IntValue);
  const String first = current.substr(0, current.find("\r\n"));
  const String list = GetAnalogVideoStandards();
  size_t pos = 0;
  for (int32_t i = 0; !first.empty() && pos < list.size(); ++i) {
    const size_t eol = list.find("\r\n", pos);
    if (list.substr(pos, eol - pos) == first) return i;
    if (eol == String::npos) break;
    pos = eol + 2;
  }
  return 0;
}

void TVidCap::SetAnalogVideoStandard(int32_t Index) {
  TVcEngine& e = *engine_;
  const String list = GetAnalogVideoStandards();
  const int32_t count = LineCountOf(list);
  if (count == 0) V(e, vds_ANTVFormat).IntValue = 0;
  if (e.ReportIf(Index < 0 || Index >= count, SEV_ERROR, "analog video standard index out of range",
                 e_index_out_of_range))
    return;
  size_t pos = 0;
  for (int32_t i = 0; i < Index; ++i) pos = list.find("\r\n", pos) + 2;
  V(e, vds_ANTVFormat).IntValue = AnalogStandardFromName(list.substr(pos, list.find("\r\n", pos) - pos));
  // The decoder takes the standard when the refreshed graph is built.
  e.RequestPreviewRefresh("savs");
}

bool TVidCap::IsAnalogVideoDecoderAvailable() const { return Has(*engine_, vds_IsAnalogVideoDecoderAvail); }
bool TVidCap::IsDVDevice() const { return engine_->UsesCaptureDevice() && ChosenDeviceIsDV(*engine_); }
bool TVidCap::IsVideoCrossbarAvailable() const { return Has(*engine_, vds_IsVideoCrossbarAvail); }
bool TVidCap::IsTVTunerAvailable() const { return Has(*engine_, vds_IsTVTunerAvail); }
bool TVidCap::IsTVAudioAvailable() const { return Has(*engine_, vds_IsTVAudioAvail); }
bool TVidCap::IsCameraControlAvailable() const { return Has(*engine_, vds_IsCameraControlAvail); }
bool TVidCap::IsVideoQualityAvailable() const { return Has(*engine_, vds_IsVideoQualityAvail); }

// ---- camera control and video quality ------------------------------------------

#define VC_CONTROL_GETTERS(Group, Table)                                                                   \
  int32_t TVidCap::Get##Group##Value(int32_t Index) const {                                                \
    return ControlRecord(engine_->DeviceSettings.Table, Index).Value;                                          \
  }                                                                                                        \
  int32_t TVidCap::Get##Group##Min(int32_t Index) const { return ControlRecord(engine_->DeviceSettings.Table, Index).Min; } \
  int32_t TVidCap::Get##Group##Max(int32_t Index) const { return ControlRecord(engine_->DeviceSettings.Table, Index).Max; } \
  int32_t TVidCap::Get##Group##Step(int32_t Index) const {                                                 \
    return ControlRecord(engine_->DeviceSettings.Table, Index).Step;                                           \
  }                                                                                                        \
  int32_t TVidCap::Get##Group##Default(int32_t Index) const {                                              \
    return ControlRecord(engine_->DeviceSettings.Table, Index).Default;                                        \
  }                                                                                                        \
  bool TVidCap::Is##Group##PropertyAvailable(int32_t Index) const {                                        \
    return (ControlRecord(engine_->DeviceSettings.Table, Index).Available & 0xFF) != 0;                        \
  }

VC_CONTROL_GETTERS(CameraControl, CameraControlTable)
VC_CONTROL_GETTERS(VideoQuality, VideoQualityTable)
#undef VC_CONTROL_GETTERS

// A value set by hand is manual even while the table is in Auto mode.
bool TVidCap::SetCameraControlValue(int32_t Index, int32_t Value) {
  if (!SetControlValue(engine_->DeviceSettings.CameraControlTable, Index, Value)) return false;
  if (engine_->CameraControl) engine_->CameraControl->Set(Index, Value, mg::CameraControl_Flags_Manual);
  return true;
}

bool TVidCap::SetVideoQualityValue(int32_t Index, int32_t Value) {
  if (!SetControlValue(engine_->DeviceSettings.VideoQualityTable, Index, Value)) return false;
  if (engine_->VideoProcAmp) engine_->VideoProcAmp->Set(Index, Value, mg::VideoProcAmp_Flags_Manual);
  return true;
}

bool TVidCap::GetCameraControlAuto() const { return Has(*engine_, vds_CameraControlAuto); }
void TVidCap::SetCameraControlAuto(bool Value) {
  if (Has(*engine_, vds_CameraControlAuto) == Value) return;
  V(*engine_, vds_CameraControlAuto).BoolValue = Value;
  engine_->ApplyCameraControl();
}
bool TVidCap::GetVideoQualityAuto() const { return Has(*engine_, vds_VideoQualityAuto); }
void TVidCap::SetVideoQualityAuto(bool Value) {
  if (Has(*engine_, vds_VideoQualityAuto) == Value) return;
  V(*engine_, vds_VideoQualityAuto).BoolValue = Value;
  engine_->ApplyVideoQuality();
}

// ---- TV tuner -------------------------------------------------------------------

bool TVidCap::StartTVChannelScan() {
  TVcEngine& e = *engine_;
  if (e.ChannelScanRunning) return false;
  if (!e.CheckPreconditions({es_Idle, es_Preview}, SEV_ERROR, true)) return false;
  if (!Has(e, vds_IsTVTunerAvail)) {
    Box("no TV tuner!");
    e.ReportIf(true, SEV_ERROR, "no TV tuner!", e_no_tv_tuner);
    return false;
  }
  if (!e.Sel.TunerInputSelected) {
    Box("TV tuner input not selected!");
    e.ReportIf(true, SEV_ERROR, "TV tuner input not selected!", e_tuner_input_not_selected);
    return false;
  }
  e.PostTask(TASK_START_CHANNEL_SCAN);
  return true;
}

bool TVidCap::StopTVChannelScan() {
  TVcEngine& e = *engine_;
  if (!e.TVTuner && Has(e, vds_IsTVTunerAvail)) return false;
  if (!Has(e, vds_IsTVTunerAvail)) {
    Box("no TV tuner!");
    e.ReportIf(true, SEV_ERROR, "no TV tuner!", e_no_tv_tuner);
    return false;
  }
  if (!e.TVTuner || !e.ChannelScanRunning) return false;
  e.ScanStopRequest = true;
  return true;
}

int32_t TVidCap::GetTVChannel() const { return V(*engine_, vds_TVChannel).IntValue; }
int32_t TVidCap::GetTVCountryCode() const { return V(*engine_, vds_TVCountryCode).IntValue; }
int32_t TVidCap::GetTVInputType() const { return V(*engine_, vds_TVInputType).IntValue; }

void TVidCap::SetTVChannel(int32_t Value) {
  V(*engine_, vds_TVChannel).IntValue = Value;
  TuneCurrentChannel(*engine_);
}

void TVidCap::SetTVCountryCode(int32_t Value) {
  V(*engine_, vds_TVCountryCode).IntValue = Value;
  TuneCurrentChannel(*engine_);
}

void TVidCap::SetTVInputType(int32_t Value) {
  if (Value != 0 && Value != 1) return;
  V(*engine_, vds_TVInputType).IntValue = Value;
  TuneCurrentChannel(*engine_);
}

namespace {
// The per-country, per-input key the tuner reads user frequencies from.
String FrequencyOverrideKey(const TVidCap& v) {
  return "\\Software\\Microsoft\\TV System Services\\TVAutoTune\\TS" +
         std::to_string(TVCountryTuningSpace(v.GetTVCountryCode())) + "-" + std::to_string(1 - v.GetTVInputType()) + "\\";
}
}  // namespace

bool TVidCap::ClearTVFrequencyOverrides() {
  TVcEngine& e = *engine_;
  rtl::TRegistry reg;
  reg.SetRootKey(rtl::HKEY_LOCAL_MACHINE);
  const String key = FrequencyOverrideKey(*this);
  const bool deleted = reg.KeyExists(key) && reg.DeleteKey(key);
  // Only a tuning that used an override needs the graph rebuilt without it.
  if (e.OverridesInUse) e.RequestPreviewRefresh("scf");
  return deleted;
}

void TVidCap::SetTVFrequencyOverride(int32_t Channel, int32_t Frequency) {
  TVcEngine& e = *engine_;
  if (!Has(e, vds_IsTVTunerAvail)) return;
  auto reg = OpenAutoTuneKey(TVCountryTuningSpace(GetTVCountryCode()), GetTVInputType());
  if (!reg) return;
  const String name = std::to_string(Channel);
  // A lost override would leave the user tuning to the table's frequency
  // without a word, so a write the registry refuses is reported.
  bool written = true;
  try {
    if (Frequency == -1) {
      if (reg->ValueExists(name)) written = reg->Registry().DeleteValue(name);
    } else {
      reg->Registry().WriteInteger(name, Frequency);
    }
  } catch (const std::exception&) {
    written = false;
  }
  e.ReportIf(!written, SEV_ERROR, "cannot write TV frequency override for channel " + name, e_failed);
  reg.reset();
  TuneCurrentChannel(e);
}

// ---- DV, dialogs, profiles --------------------------------------------------------

bool TVidCap::DVCommand(int32_t Command) { return engine_->SendDVCommand(Command); }

bool TVidCap::ShowDialog(int32_t Kind) {
  // An unknown kind shows nothing, but a running preview is restarted all
  // the same, as for the kinds that stop it.
  return ShowDeviceDialog(*engine_, Kind);
}

String TVidCap::GetASFProfiles() {
  TVcEngine& e = *engine_;
  capture::SetBusyCursor(&e, true);
  String names;
  int32_t count = 0;
  std::shared_ptr<mg::wm::ProfileManager> manager;
  if (e.BindWMFormatRuntime() && mg::wm::WMCreateProfileManager(&manager) == mg::S_OK && manager) {
    manager->SetSystemProfileVersion(mg::WMT_VER_8_0);
    mg::DWORD n = 0;
    manager->GetSystemProfileCount(&n);
    for (mg::DWORD i = 0; i < n; ++i) {
      std::shared_ptr<mg::wm::Profile> profile;
      std::string name;
      if (manager->LoadSystemProfile(i, &profile) != mg::S_OK || !profile) continue;
      profile->GetName(&name);
      names += name + "\n";
      ++count;
    }
    if (count == 0) {
      Box("no ASF profiles available. Perhaps the Windows Media Encoder 9 is not installed.");
      e.ReportIf(true, SEV_ERROR, "no ASF profiles available. Perhaps the Windows Media Encoder 9 is not installed.",
                 e_failed_to_load_ASF_profile);
    }
  }
  capture::SetBusyCursor(&e, false);
  return names;
}

// ---- snapshots, motion grid, extra filters ---------------------------------------

bool TVidCap::CaptureFrameTo(TFrameCaptureDest Dest, const String& FileName) {
  TVcEngine& e = *engine_;
  if (e.Latched.FrameGrabber == fg_Disabled || !e.GraphActive || e.Grab.CaptureRequested) return false;
  e.Sel.SnapshotDest = Dest;
  e.Sel.SnapshotFileName = FileName;
  // A paused graph sends no next frame: the frame held now is taken.
  if (e.GraphState == gs_Paused)
    e.TakeSnapshot(Dest, FileName, true);
  else
    e.Grab.CaptureRequested = true;
  return true;
}

void TVidCap::MotionDetector_SetGlobalSensitivity(int32_t Value) {
  if (Value < 0 || Value > 9) return;
  TVcEngine& e = *engine_;
  e.MotionDetector->SetGlobalSensitivity(Value);
  e.MotionDetector_Grid = e.MotionDetector->Grid;
}

bool TVidCap::MotionDetector_SetGridSize(int32_t Columns, int32_t Rows) {
  if (Columns <= 0 || Rows <= 0) return false;
  TVcEngine& e = *engine_;
  if (Columns == e.MotionDetector->GridColumns && Rows == e.MotionDetector->GridRows) return true;
  e.MotionDetector->SetGridSize(Columns, Rows);
  e.Sel.GridColumns = Columns;
  e.Sel.GridRows = Rows;
  e.MotionDetector_Grid = e.MotionDetector->Grid;
  return true;
}

bool TVidCap::ThirdPartyFilter_ClearList(TThirdPartyFilterList Location) {
  if (Location < tpf_VideoSource || Location > tpf_AudioRecording) return false;
  for (TThirdPartyFilter& f : engine_->Sel.ThirdPartyFilters[Location]) f = TThirdPartyFilter{};
  return true;
}

}  // namespace capture
