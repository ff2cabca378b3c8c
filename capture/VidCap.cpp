#include "capture/VidCap.h"

#include <algorithm>

#include "capture/VcLog.h"
#include "platform/win/MessageIds.h"

namespace capture {

namespace {
bool designTime = false;
}  // namespace

bool DesignTime() { return designTime; }

TVidCap::TVidCap(forms::TComponent* AOwner) : forms::TCustomPanel(AOwner) {
  constructed_ = false;
  if (!designTime && ComponentState().Contains(forms::csDesigning)) designTime = true;
  engine_ = std::make_unique<TVcEngine>(this);
  if (designTime) {
    SetCaption(Name());
  } else {
    engine_->UniqueID = AttachEngineToDeviceManager(engine_.get());
    engine_->ClearGraph(true);
    for (int32_t location = tpf_VideoSource; location <= tpf_AudioRecording; ++location)
      ThirdPartyFilter_ClearList(static_cast<TThirdPartyFilterList>(location));
    TraceLine("+", CF_GREY, "component initialized");
    engine_->StartWorker();
    engine_->Initialized = true;
  }
  SetBevelInner(forms::bvNone);
  SetBevelOuter(forms::bvNone);
  SetBorderWidth(0);
  SetHeight(320);
  SetWidth(240);
  SetBorderStyle(forms::bsSingle);

  // The panel's own events come back as the control's, with the window
  // index -1 that marks events of the control itself.
  forms::TControl::OnClick = [this](TObject*) {
    if (engine_ && engine_->CanRaiseEvent(OnClick)) OnClick(this);
  };
  forms::TControl::OnDblClick = [this](TObject*) {
    if (engine_ && engine_->CanRaiseEvent(OnDblClick)) OnDblClick(this);
  };
  forms::TControl::OnMouseDown = [this](TObject*, forms::TMouseButton b, forms::TShiftState s, int x, int y) {
    if (engine_ && engine_->CanRaiseEvent(OnMouseDown)) OnMouseDown(this, -1, b, s, x, y);
  };
  forms::TControl::OnMouseUp = [this](TObject*, forms::TMouseButton b, forms::TShiftState s, int x, int y) {
    if (engine_ && engine_->CanRaiseEvent(OnMouseUp)) OnMouseUp(this, -1, b, s, x, y);
  };
  forms::TControl::OnMouseMove = [this](TObject*, forms::TShiftState s, int x, int y) {
    if (engine_ && engine_->CanRaiseEvent(OnMouseMove)) OnMouseMove(this, -1, s, x, y);
  };
  constructed_ = true;
}

TVidCap::~TVidCap() {
  constructed_ = false;
  TVcEngine& e = *engine_;
  if (DeviceManagerExists()) DetachEngineFromDeviceManager(&e);
  for (TVcEngine*& slave : e.Slave) {
    if (slave) {
      slave->Master = nullptr;
      slave = nullptr;
    }
  }
  if (e.Master) {
    for (TVcEngine*& entry : e.Master->Slave)
      if (entry == &e) entry = nullptr;
    e.Master = nullptr;
  }
  e.Destroying = true;
  // The worker thread checks the handlers when it posts events, so it ends
  // before they are cleared.
  e.EndWorker();
  e.ShapeOverlay = nullptr;
  e.PlayerTrackBar = nullptr;
  OnAudioDeviceSelected = nullptr;
  OnBacktimedFramesCountReached = nullptr;
  OnBitmapsLoadingProgress = nullptr;
  OnClick = nullptr;
  OnColorKeyChange = nullptr;
  OnCopyPreallocDataStarted = nullptr;
  OnCopyPreallocDataProgress = nullptr;
  OnCopyPreallocDataCompleted = nullptr;
  OnCreatePreallocFileStarted = nullptr;
  OnCreatePreallocFileProgress = nullptr;
  OnCreatePreallocFileCompleted = nullptr;
  OnDblClick = nullptr;
  OnDeviceArrivalOrRemoval = nullptr;
  OnDeviceLost = nullptr;
  OnDirectNetworkStreamingHostUrl = nullptr;
  OnDiskFull = nullptr;
  OnDVCommandCompleted = nullptr;
  OnFrameCaptureCompleted = nullptr;
  onFrameOverlayUsingDC_ = nullptr;
  OnFrameOverlayUsingDIB = nullptr;
  OnFrameOverlayUsingVIDEOHDR = nullptr;
  OnFrameProgress = nullptr;
  OnInactive = nullptr;
  OnKeyPress = nullptr;
  OnLog = nullptr;
  OnMotionDetected = nullptr;
  OnMotionNotDetected = nullptr;
  OnMouseDown = nullptr;
  OnMouseMove = nullptr;
  OnMouseUp = nullptr;
  OnNoVideoDevices = nullptr;
  OnPlayerBufferingData = nullptr;
  OnPlayerEndOfStream = nullptr;
  OnPlayerOpened = nullptr;
  OnPreviewStarted = nullptr;
  OnRecordingCompleted = nullptr;
  OnRecordingReadyToStart = nullptr;
  OnRecordingStarted = nullptr;
  OnReencodingStarted = nullptr;
  OnReencodingProgress = nullptr;
  OnReencodingCompleted = nullptr;
  OnReinitializing = nullptr;
  OnResizeVideo = nullptr;
  OnSampleCapture_Audio = nullptr;
  OnSampleCapture_Video = nullptr;
  OnThirdPartyFilterConnected = nullptr;
  OnTVChannelSelected = nullptr;
  OnTVChannelScanStarted = nullptr;
  OnTVChannelScanCompleted = nullptr;
  OnVideoCompressionSettings = nullptr;
  OnVideoDeviceSelected = nullptr;
  OnVideoFromBitmaps_FormatNeeded = nullptr;
  OnVideoFromBitmaps_NextFrameNeeded = nullptr;
  engine_.reset();
}

bool TVidCap::StartPreview() {
  TVcEngine& e = *engine_;
  if (e.UsesCaptureDevice()) {
    if (e.CheckIndex(e.VideoDevice, e.VideoDeviceCount(), "video capture device")) return false;
    e.EnsureDevicesBound();
  }
  if (!e.CheckPreconditions({es_Idle, es_Preview, es_PlayerOpen}, SEV_ERROR, true)) return false;
  e.PostTask(TASK_START_PREVIEW);
  return e.State == es_Preview;
}

bool TVidCap::StartRecording() {
  TVcEngine& e = *engine_;
  if (!e.CheckPreconditions({es_Idle, es_Preview, es_PlayerOpen}, SEV_ERROR, false)) return false;
  if (e.UsesCaptureDevice()) {
    if (e.CheckIndex(e.VideoDevice, e.VideoDeviceCount(), "video capture device")) return false;
    e.EnsureDevicesBound();
  }
  e.PostTask(TASK_START_RECORDING);
  return e.State == es_Recording;
}

bool TVidCap::Stop() {
  TVcEngine& e = *engine_;
  if (e.State == es_Idle) return false;
  e.PreviewPending = false;
  e.StopAll();
  return true;
}

void TVidCap::StopPreview() {
  TVcEngine& e = *engine_;
  e.PreviewPending = false;
  if (e.CheckPreconditions({es_Preview}, SEV_ERROR, true)) e.StopAll();
}

void TVidCap::StopRecording() {
  TVcEngine& e = *engine_;
  if (!e.ReportIf(e.State != es_Recording, SEV_ERROR, "not recording", e_not_recording)) e.StopAll();
}

bool TVidCap::IsFrameBusy() const { return engine_->FrameBusy; }

void TVidCap::Loaded() {
  forms::TCustomPanel::Loaded();
  if (engine_->Initialized) SetCaption("");
}

void TVidCap::Notification(forms::TComponent* AComponent, forms::TOperation Operation) {
  if (constructed_ && Operation == forms::opRemove && engine_) {
    TVcEngine& e = *engine_;
    if (auto* other = dynamic_cast<TVidCap*>(AComponent)) {
      TVcEngine* gone = other->Engine();
      for (TVcEngine*& slave : e.Slave)
        if (slave && slave == gone) slave = nullptr;
      if (e.Master && e.Master == gone) e.Master = nullptr;
    }
    if (AComponent && AComponent == e.PropertyPageSaver) e.PropertyPageSaver = nullptr;
    if (AComponent && AComponent == e.PlayerTrackBar) e.PlayerTrackBar = nullptr;
  }
  forms::TCustomPanel::Notification(AComponent, Operation);
}

void TVidCap::SetParent(forms::TWinControl* AParent) {
  if (!designTime && engine_ && !engine_->Destroying) {
    // Without a parent the control still needs a window for the graph's
    // events: the device manager's hidden form takes it in.
    if (!AParent && !ParentWindow()) AParent = DeviceManagerForm();
  }
  forms::TCustomPanel::SetParent(AParent);
}

void TVidCap::WndProc(forms::TMessage& Message) {
  if (engine_ && Message.Msg == GraphEventMessage() && Message.Msg != 0) {
    engine_->ProcessGraphEvents();
    Message.Result = 0;
    return;
  }
  forms::TCustomPanel::WndProc(Message);
}

void TVidCap::Dispatch(forms::TMessage& Message) {
  if (Message.Msg == win::WM_ERASEBKGND && engine_) {
    const TVcEngine& e = *engine_;
    const bool embedded = (e.Display.Embedded && !e.Display.FullScreen) ||
                          (e.DualDisplay.Embedded && !e.DualDisplay.FullScreen);
    if (embedded && e.GraphState != gs_Stopped) {
      Message.Result = 0;
      return;
    }
  }
  forms::TCustomPanel::Dispatch(Message);
}

void TVidCap::Paint() {
  if (!constructed_) {
    forms::TCustomPanel::Paint();
    return;
  }
  TVcEngine& e = *engine_;
  if (e.GraphState == gs_Running) return;
  forms::TGraphic* logo = e.Logo ? e.Logo->Graphic() : nullptr;
  if (!e.LogoDisplayed || !logo || logo->Empty()) {
    forms::TCustomPanel::Paint();
    return;
  }
  forms::TCanvas* canvas = Canvas();
  const int w = logo->Width(), h = logo->Height();
  switch (e.LogoLayout) {
    case lg_Stretched:
      canvas->StretchDraw(ClientRect(), logo);
      break;
    case lg_Repeated:
      if (w < 1 || h < 1) break;
      for (int y = 0; y < Height(); y += h)
        for (int x = 0; x < Width(); x += w) canvas->Draw(x, y, logo);
      break;
    case lg_Centered:
      forms::TCustomPanel::Paint();
      canvas->Draw(std::max(0, (Width() - w) / 2), std::max(0, (Height() - h) / 2), logo);
      break;
  }
}

}  // namespace capture
