#pragma once
// The capture control. A panel that a form places like any other control;
// all capture work lives in its engine. The control paints a background or
// a logo, forwards its mouse and click events, routes the graph-event
// message to the engine and keeps the video windows attached when it moves
// to another parent.
#include <cstdint>
#include <memory>

#include "capture/VcEngine.h"
#include "capture/VcTypes.h"
#include "platform/forms/ExtCtrls.h"

namespace capture {

class TVidCap : public forms::TCustomPanel {
public:
  explicit TVidCap(forms::TComponent* AOwner);
  ~TVidCap() override;

  TVcEngine* Engine() const { return engine_.get(); }
  bool Constructed() const { return constructed_; }

  // ---- start and stop ----------------------------------------------------
  // True when the engine previews afterwards.
  bool StartPreview();
  // True when the engine records afterwards.
  bool StartRecording();
  // False when the engine was idle.
  bool Stop();
  void StopPreview();
  void StopRecording();
  bool IsFrameBusy() const;

  // ---- events ------------------------------------------------------------
  // The control's own click and mouse events hide the panel's: the panel's
  // are bound to the engine, which raises these.
  TEventNotification OnAudioDeviceSelected;
  TEventNotification OnBacktimedFramesCountReached;  // published, never raised
  TOnProgress OnBitmapsLoadingProgress;              // published, never raised
  TEventNotification OnClick;
  TOnColorKeyChange OnColorKeyChange;
  TOnSourceFileToDestFileStarted OnCopyPreallocDataStarted;
  TOnProgress OnCopyPreallocDataProgress;
  TOnSourceFileToDestFileCompleted OnCopyPreallocDataCompleted;
  TOnFileNotification OnCreatePreallocFileStarted;  // published, never raised
  TOnProgress OnCreatePreallocFileProgress;
  TOnCreatePreallocatedFileCompleted OnCreatePreallocFileCompleted;
  TEventNotification OnDblClick;
  TOnDeviceArrivalOrRemoval OnDeviceArrivalOrRemoval;
  TEventNotification OnDeviceLost;
  TOnDirectNetworkStreamingHostUrl OnDirectNetworkStreamingHostUrl;
  TEventNotification OnDiskFull;
  TOnDVCommandCompleted OnDVCommandCompleted;
  TOnFrameCaptureCompleted OnFrameCaptureCompleted;
  TOnFrameOverlayUsingDIB OnFrameOverlayUsingDIB;
  TOnFrameOverlayUsingVIDEOHDR OnFrameOverlayUsingVIDEOHDR;
  TOnFrameProgress OnFrameProgress;
  TEventNotification OnInactive;
  TOnVideoKeyPress OnKeyPress;
  TOnLog OnLog;
  TOnMotionDetected OnMotionDetected;
  TOnMotionNotDetected OnMotionNotDetected;
  TOnVideoMouseUpDown OnMouseDown;
  TOnVideoMouseMove OnMouseMove;
  TOnVideoMouseUpDown OnMouseUp;
  TEventNotification OnNoVideoDevices;
  TOnPlayerBufferingData OnPlayerBufferingData;
  TEventNotification OnPlayerEndOfStream;
  TEventNotification OnPlayerOpened;
  TEventNotification OnPreviewStarted;
  TOnRecordingCompleted OnRecordingCompleted;
  TEventNotification OnRecordingReadyToStart;
  TOnFileNotification OnRecordingStarted;
  TOnSourceFileToDestFileStarted OnReencodingStarted;
  TOnProgress OnReencodingProgress;
  TOnSourceFileToDestFileCompleted OnReencodingCompleted;
  TEventNotification OnReinitializing;
  TOnResizeVideo OnResizeVideo;
  TOnSampleCapture OnSampleCapture_Audio;
  TOnSampleCapture OnSampleCapture_Video;
  TOnThirdPartyFilterConnected OnThirdPartyFilterConnected;
  TOnTVChannelSelected OnTVChannelSelected;
  TOnTVChannelScanStarted OnTVChannelScanStarted;
  TEventNotification OnTVChannelScanCompleted;
  TOnVideoCompressionSettings OnVideoCompressionSettings;
  TEventNotification OnVideoDeviceSelected;
  TOnVideoFromBitmaps_FormatNeeded OnVideoFromBitmaps_FormatNeeded;
  TOnVideoFromBitmaps_NextFrameNeeded OnVideoFromBitmaps_NextFrameNeeded;

  // Assigning it re-evaluates whether the frame grabber draws overlays.
  const TOnFrameOverlayUsingDC& OnFrameOverlayUsingDC() const { return onFrameOverlayUsingDC_; }
  void SetOnFrameOverlayUsingDC(TOnFrameOverlayUsingDC Handler);

  void SetParent(forms::TWinControl* AParent) override;
  void WndProc(forms::TMessage& Message) override;

protected:
  void Loaded() override;
  void Notification(forms::TComponent* AComponent, forms::TOperation Operation) override;
  void Paint() override;
  void Dispatch(forms::TMessage& Message) override;

private:
  void WMEraseBkgnd(forms::TMessage& Message);

  std::unique_ptr<TVcEngine> engine_;
  bool constructed_ = false;
  TOnFrameOverlayUsingDC onFrameOverlayUsingDC_;
};

// Set, for good, when the first control is created in a form designer.
bool DesignTime();

}  // namespace capture
