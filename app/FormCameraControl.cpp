#include "app/FormCameraControl.h"

#include "app/ResStr.h"

namespace app {

namespace {

// The camera-control property numbers the capture control takes.
const std::vector<TDeviceControlsDialog::TRowLayout> kRows = {
    {"trkPan", "lblPan", "lblPanPercent", 0},
    {"trkTilt", "lblTilt", "lblTiltPercent", 1},
    {"trkRoll", "lblRoll", "lblRollPercent", 2},
    {"trkZoom", "lblZoom", "lblZoomPercent", 3},
    {"trkExposure", "lblExposure", "lblExposurePercent", 4},
    {"trkIris", "lblIris", "lblIrisPercent", 5},
    {"trkFocus", "lblFocus", "lblFocusPercent", 6},
};

}  // namespace

TfrmCameraControl::TfrmCameraControl(forms::TComponent* owner, capture::TVidCap* vidCap)
    : TfrmCameraControl(owner, CameraControlAccess(vidCap)) {}

TfrmCameraControl::TfrmCameraControl(forms::TComponent* owner, TDeviceControlAccess access)
    : TDeviceControlsDialog(owner, std::move(access), "frmCameraControl", "grpCameraControl", kRows) {
  grpCameraControl = Group;
  controls::TVxSlider** sliders[] = {&trkPan, &trkTilt, &trkRoll, &trkZoom, &trkExposure, &trkIris, &trkFocus};
  forms::TLabel** captions[] = {&lblPan, &lblTilt, &lblRoll, &lblZoom, &lblExposure, &lblIris, &lblFocus};
  forms::TLabel** percents[] = {&lblPanPercent,      &lblTiltPercent, &lblRollPercent, &lblZoomPercent,
                                &lblExposurePercent, &lblIrisPercent, &lblFocusPercent};
  for (size_t i = 0; i < rows_.size(); ++i) {
    *sliders[i] = rows_[i].slider;
    *captions[i] = rows_[i].caption;
    *percents[i] = rows_[i].percent;
  }
  FormCreate(this);
}

void TfrmCameraControl::ApplyLanguageTexts() {
  ApplyTexts(IDS_CAMERASETTING_TITLE, IDS_CAMERASETTING_GROUP_CAMERACONTROL,
             {IDS_CAMERASETTING_LABEL_PAN, IDS_CAMERASETTING_LABEL_TILT, IDS_CAMERASETTING_LABEL_ROLL,
              IDS_CAMERASETTING_LABEL_ZOOM, IDS_CAMERASETTING_LABEL_EXPOSURE, IDS_CAMERASETTING_LABEL_IRIS,
              IDS_CAMERASETTING_LABEL_FOCUS},
             IDS_CAMERASETTING_CHECK_AUTO, IDS_CAMERASETTING_BUTTON_DEFAULT, IDS_CAMERASETTING_BUTTON_CLOSE);
}

}  // namespace app
