#pragma once
// The video-quality dialog: brightness, contrast, hue, saturation,
// sharpness, gamma, white balance and gain of the video device, one
// slider each.
#include "app/DeviceControlsDialog.h"

namespace app {

class TfrmVideoQuality : public TDeviceControlsDialog {
public:
  TfrmVideoQuality(forms::TComponent* owner, capture::TVidCap* vidCap);
  // Over any source of the picture properties.
  TfrmVideoQuality(forms::TComponent* owner, TDeviceControlAccess access);

  void ApplyLanguageTexts() override;

  forms::TGroupBox* grpVideoQuality;
  controls::TVxSlider *trkBrightness, *trkContrast, *trkHue, *trkSaturation, *trkSharpness, *trkGamma, *trkWhiteBal,
      *trkGain;
  forms::TLabel *lblBrightness, *lblContrast, *lblHue, *lblSaturation, *lblSharpness, *lblGamma, *lblWhiteBal,
      *lblGain;
  forms::TLabel *lblBrightnessPercent, *lblContrastPercent, *lblHuePercent, *lblSaturationPercent,
      *lblSharpnessPercent, *lblGammaPercent, *lblWhiteBalPercent, *lblGainPercent;
};

}  // namespace app
