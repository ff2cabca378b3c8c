#include "capture/VcEngine.h"

#include "capture/VcLog.h"
#include "capture/VidCap.h"
#include "platform/rtl/Files.h"

namespace capture {

TVcEngine::TVcEngine(TVidCap* owner) : Owner(owner) {
  // Folders default to where the process was started.
  VideoFromImages_SourceDirectory = rtl::GetCurrentDir();
  StoragePath = rtl::GetCurrentDir();
  Sel.VideoSizes.SetSorted(true);
  Sel.VideoSizes.SetDuplicates(rtl::dupIgnore);
  Sel.TextOverlayFont = std::make_unique<forms::TFont>();
  if (Owner) Sel.TextOverlayFont->Assign(Owner->Font());
  Sel.TextOverlayFont->SetColor(0xFFFF00);
  ResetAudioDeviceSettings();
  ResetGlobalSettings();
  MotionDetector = std::make_unique<TImplMotionDetector>();
  ResetVideoDeviceSettings();
  if (!DesignTime()) LoadGlobalSettings();
  LatchSettings(true);
  ResetRunCounters();
}

TVcEngine::~TVcEngine() {
  if (!DesignTime()) {
    ClearGraph(true);
    SaveGlobalSettings();
    EndWorker();
    if (BoundVideoDevice != -1) SaveVideoDeviceSettings();
    if (BoundAudioDevice != -1) SaveAudioDeviceSettings();
  }
}

bool TVcEngine::OwnerHandleAllocated() const { return Owner && Owner->HandleAllocated(); }

bool TVcEngine::UsesCaptureDevice() const {
  return VideoSource == vs_VideoCaptureDevice && MultiplexedRole != mr_MultiplexedSlave;
}

bool TVcEngine::IsAudioAssociated() const { return AssociateAudioAndVideoDevices && BoundVideoDevice != -1; }

bool TVcEngine::CheckPreconditions(TEngineStates Allowed, int32_t Severity, bool DeviceCheck) {
  // Every check runs, so that each refusal is reported, not only the first.
  bool failed = false;
  const bool noDevice = VideoDevice == -1 && (Allowed.Contains(es_Recording) ||
                                              (Allowed.Contains(es_Preview) && DeviceCheck && UsesCaptureDevice()));
  failed |= ReportIf(noDevice, Severity, "no video device selected", e_no_video_device_selected);
  failed |= ReportIf(State == es_Recording && !Allowed.Contains(es_Recording), Severity, "first stop recording",
                     e_stop_recording_first);
  failed |= ReportIf(State == es_Reencoding && !Allowed.Contains(es_Reencoding), Severity, "first stop reencoding",
                     e_reencoding);
  failed |= ReportIf(State == es_PlayerOpen && !Allowed.Contains(es_PlayerOpen), Severity, "first close player",
                     e_stop_player_first);
  failed |= ReportIf(State == es_Preview && !Allowed.Contains(es_Preview), Severity, "first stop preview",
                     e_stop_preview_first);
  failed |= ReportIf(State == es_Idle && Allowed == TEngineStates{es_Preview}, Severity, "first start preview",
                     e_start_preview_first);
  return !failed;
}

bool TVcEngine::CheckIndex(int32_t Index, int32_t Count, const String& What) {
  if (Count == 0) {
    ReportIf(true, SEV_INFO, "no " + What + " available", e_no_device_available);
    return true;
  }
  return ReportIf(Index >= 0 && Index >= Count, SEV_ERROR, "index of " + What + " out of range",
                  e_index_out_of_range);
}

void TVcEngine::StopAll() {
  if (State != es_Idle) PostTask(TASK_END_ACTIVITY);
}

void TVcEngine::RequestPreviewRefresh(const String& Code) {
  if (DesignTime() || !AutoRefreshPreview || VideoDevice == -1) return;
  // Run for its messages: a recording, player or re-encoding is reported.
  CheckPreconditions({es_Idle, es_Preview}, SEV_ERROR, true);
  if (State == es_Preview || (State == es_Idle && PreviewPending)) {
    TraceLine(CF_PURPLE, "REFRESHING PREVIEW FROM " + Code);
    Owner->StartPreview();
  }
}

}  // namespace capture
