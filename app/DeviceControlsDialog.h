#pragma once
// What the camera-control and the video-quality dialogs share: one
// vertical slider per property of the video device, each with a caption and
// a percentage, an Auto switch, Default and Close. A slider moved reaches
// the device at once; nothing waits for a button.
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "app/SettingsDialogKit.h"
#include "capture/VidCap.h"
#include "platform/forms/Forms.h"

namespace app {

// One family of device properties, by index: availability, range, step,
// default, current value, the set request, and the automatic mode.
struct TDeviceControlAccess {
  std::function<bool(int32_t)> IsAvailable;
  std::function<int32_t(int32_t)> Min, Max, Step, Default, Value;
  std::function<bool(int32_t, int32_t)> SetValue;
  std::function<bool()> GetAuto;
  std::function<void(bool)> SetAuto;
};

// The camera controls (pan .. focus) and the picture controls (brightness
// .. gain) of the device the capture control holds.
TDeviceControlAccess CameraControlAccess(capture::TVidCap* vidCap);
TDeviceControlAccess VideoQualityAccess(capture::TVidCap* vidCap);

// Sets a slider's range so that it takes, whatever range it had: the
// slider ignores a minimum that is not below its maximum, so the order of
// the two depends on where the new range lies.
void SetSliderRange(controls::TVxSlider* slider, int32_t min, int32_t max);

class TDeviceControlsDialog : public forms::TForm {
public:
  // One row of the dialog: which property a slider drives and its texts.
  struct TRowLayout {
    const char* slider;
    const char* caption;
    const char* percent;
    int32_t index;
  };
  struct TRow {
    controls::TVxSlider* slider;
    forms::TLabel* caption;
    forms::TLabel* percent;
    int32_t index;
  };

  // Prepares one slider: its tag tells the property and the direction; an
  // unavailable property sits disabled at 1 in 0..1 (0 when not inverted).
  void SetupSlider(controls::TVxSlider* Slider, int32_t Index, bool Inverted, bool UseDefaults);
  // Every slider in row order, each inverted.
  void LoadSliders(bool UseDefaults);
  virtual void ApplyLanguageTexts() = 0;

  void FormCreate(forms::TObject* Sender);
  void chkAutoClick(forms::TObject* Sender);
  void btnDefaultClick(forms::TObject* Sender);
  void btnCloseClick(forms::TObject* Sender);
  // The change handler every slider shares.
  void SliderChange(forms::TObject* Sender);

  bool Ready() const { return Ready_; }
  const std::vector<TRow>& Rows() const { return rows_; }

  forms::TGroupBox* Group;
  forms::TCheckBox* chkAuto;
  forms::TButton *btnDefault, *btnClose;

protected:
  TDeviceControlsDialog(forms::TComponent* owner, TDeviceControlAccess access, const char* name,
                        const char* groupName, const std::vector<TRowLayout>& rows);
  // Captions of the rows, the group and the buttons, then hints on and
  // every change handler run once so labels and hints match the sliders.
  void ApplyTexts(const String& title, const String& group, const std::vector<String>& captions, const String& autoText,
                  const String& defaultText, const String& closeText);

  TDeviceControlAccess access_;
  std::vector<TRow> rows_;
  bool Ready_ = false;
};

}  // namespace app
