#pragma once
// The camera-control dialog: pan, tilt, roll, zoom, exposure, iris and
// focus of the video device, one slider each.
#include "app/DeviceControlsDialog.h"

namespace app {

class TfrmCameraControl : public TDeviceControlsDialog {
public:
  TfrmCameraControl(forms::TComponent* owner, capture::TVidCap* vidCap);
  // Over any source of the seven properties.
  TfrmCameraControl(forms::TComponent* owner, TDeviceControlAccess access);

  void ApplyLanguageTexts() override;

  forms::TGroupBox* grpCameraControl;
  controls::TVxSlider *trkPan, *trkTilt, *trkRoll, *trkZoom, *trkExposure, *trkIris, *trkFocus;
  forms::TLabel *lblPan, *lblTilt, *lblRoll, *lblZoom, *lblExposure, *lblIris, *lblFocus;
  forms::TLabel *lblPanPercent, *lblTiltPercent, *lblRollPercent, *lblZoomPercent, *lblExposurePercent,
      *lblIrisPercent, *lblFocusPercent;
};

}  // namespace app
