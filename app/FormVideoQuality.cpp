#include "app/FormVideoQuality.h"

#include "app/ResStr.h"

namespace app {

namespace {

// The picture-control property numbers the capture control takes: white
// balance is 7 and gain 9 (6 and 8 are colour enable and backlight
// compensation, which the dialog does not offer).
const std::vector<TDeviceControlsDialog::TRowLayout> kRows = {
    {"trkBrightness", "lblBrightness", "lblBrightnessPercent", 0},
    {"trkContrast", "lblContrast", "lblContrastPercent", 1},
    {"trkHue", "lblHue", "lblHuePercent", 2},
    {"trkSaturation", "lblSaturation", "lblSaturationPercent", 3},
    {"trkSharpness", "lblSharpness", "lblSharpnessPercent", 4},
    {"trkGamma", "lblGamma", "lblGammaPercent", 5},
    {"trkWhiteBal", "lblWhiteBal", "lblWhiteBalPercent", 7},
    {"trkGain", "lblGain", "lblGainPercent", 9},
};

}  // namespace

TfrmVideoQuality::TfrmVideoQuality(forms::TComponent* owner, capture::TVidCap* vidCap)
    : TfrmVideoQuality(owner, VideoQualityAccess(vidCap)) {}

TfrmVideoQuality::TfrmVideoQuality(forms::TComponent* owner, TDeviceControlAccess access)
    : TDeviceControlsDialog(owner, std::move(access), "frmVideoQuality", "grpVideoQuality", kRows) {
  grpVideoQuality = Group;
  controls::TVxSlider** sliders[] = {&trkBrightness, &trkContrast, &trkHue,      &trkSaturation,
                                     &trkSharpness,  &trkGamma,    &trkWhiteBal, &trkGain};
  forms::TLabel** captions[] = {&lblBrightness, &lblContrast, &lblHue,      &lblSaturation,
                                &lblSharpness,  &lblGamma,    &lblWhiteBal, &lblGain};
  forms::TLabel** percents[] = {&lblBrightnessPercent, &lblContrastPercent, &lblHuePercent,
                                &lblSaturationPercent, &lblSharpnessPercent, &lblGammaPercent,
                                &lblWhiteBalPercent,   &lblGainPercent};
  for (size_t i = 0; i < rows_.size(); ++i) {
    *sliders[i] = rows_[i].slider;
    *captions[i] = rows_[i].caption;
    *percents[i] = rows_[i].percent;
  }
  FormCreate(this);
}

void TfrmVideoQuality::ApplyLanguageTexts() {
  ApplyTexts(IDS_VIDEOQUALITY_TITLE, IDS_VIDEOQUALITY_GROUP_VIDEOQUALITY,
             {IDS_VIDEOQUALITY_LABEL_BRIGHTNESS, IDS_VIDEOQUALITY_LABEL_CONTRAST, IDS_VIDEOQUALITY_LABEL_HUE,
              IDS_VIDEOQUALITY_LABEL_SATURATION, IDS_VIDEOQUALITY_LABEL_SHARPNESS, IDS_VIDEOQUALITY_LABEL_GAMMA,
              IDS_VIDEOQUALITY_LABEL_WHITEBAR, IDS_VIDEOQUALITY_LABEL_GAIN},
             IDS_VIDEOQUALITY_CHECK_AUTO, IDS_VIDEOQUALITY_BUTTON_DEFAULT, IDS_VIDEOQUALITY_BUTTON_CLOSE);
}

}  // namespace app
