#include "app/DeviceControlsDialog.h"

#include <cstdlib>
#include <string>

namespace app {

using namespace forms;
using controls::TVxSlider;

namespace {

constexpr int kColumnWidth = 72, kSliderHeight = 150, kGroupTop = 8;

}  // namespace

TDeviceControlAccess CameraControlAccess(capture::TVidCap* v) {
  TDeviceControlAccess a;
  a.IsAvailable = [v](int32_t i) { return v->IsCameraControlPropertyAvailable(i); };
  a.Min = [v](int32_t i) { return v->GetCameraControlMin(i); };
  a.Max = [v](int32_t i) { return v->GetCameraControlMax(i); };
  a.Step = [v](int32_t i) { return v->GetCameraControlStep(i); };
  a.Default = [v](int32_t i) { return v->GetCameraControlDefault(i); };
  a.Value = [v](int32_t i) { return v->GetCameraControlValue(i); };
  a.SetValue = [v](int32_t i, int32_t value) { return v->SetCameraControlValue(i, value); };
  a.GetAuto = [v] { return v->GetCameraControlAuto(); };
  a.SetAuto = [v](bool on) { v->SetCameraControlAuto(on); };
  return a;
}

TDeviceControlAccess VideoQualityAccess(capture::TVidCap* v) {
  TDeviceControlAccess a;
  a.IsAvailable = [v](int32_t i) { return v->IsVideoQualityPropertyAvailable(i); };
  a.Min = [v](int32_t i) { return v->GetVideoQualityMin(i); };
  a.Max = [v](int32_t i) { return v->GetVideoQualityMax(i); };
  a.Step = [v](int32_t i) { return v->GetVideoQualityStep(i); };
  a.Default = [v](int32_t i) { return v->GetVideoQualityDefault(i); };
  a.Value = [v](int32_t i) { return v->GetVideoQualityValue(i); };
  a.SetValue = [v](int32_t i, int32_t value) { return v->SetVideoQualityValue(i, value); };
  a.GetAuto = [v] { return v->GetVideoQualityAuto(); };
  a.SetAuto = [v](bool on) { v->SetVideoQualityAuto(on); };
  return a;
}

void SetSliderRange(TVxSlider* slider, int32_t min, int32_t max) {
  if (min >= slider->MaxValue()) {
    slider->SetMaxValue(max);
    slider->SetMinValue(min);
  } else {
    slider->SetMinValue(min);
    slider->SetMaxValue(max);
  }
}

TDeviceControlsDialog::TDeviceControlsDialog(TComponent* owner, TDeviceControlAccess access, const char* name,
                                             const char* groupName, const std::vector<TRowLayout>& rows)
    : TForm(owner), access_(std::move(access)) {
  // A new dialog opens per click under the same owner; each keeps a name
  // of its own there, as the class library names a second instance.
  String unique = name;
  for (int n = 1; owner && owner->FindComponent(unique) && owner->FindComponent(unique) != this; ++n)
    unique = String(name) + "_" + std::to_string(n);
  SetName(unique);
  SetBorderStyle(bsDialog);
  SetPosition(poOwnerFormCenter);
  const int columns = static_cast<int>(rows.size());
  const int groupWidth = columns * kColumnWidth + 16;
  const int groupHeight = 20 + 18 + kSliderHeight + 24;
  SetClientWidth(groupWidth + 16);
  SetClientHeight(kGroupTop + groupHeight + 44);

  TDialogBuilder b(this);
  Group = b.Group(this, groupName, "", 8, kGroupTop, groupWidth, groupHeight);
  for (int i = 0; i < columns; ++i) {
    const TRowLayout& layout = rows[static_cast<size_t>(i)];
    const int x = 8 + i * kColumnWidth;
    TRow row{};
    row.caption = b.Label(Group, layout.caption, "", x, 20);
    row.slider = b.Slider(Group, layout.slider, x + 12, 38, 28, kSliderHeight, true);
    // As the form is designed: a smooth 0..10 at its top value until the
    // device's range comes in.
    row.slider->SetOptions(controls::TSliderOptions{controls::soShowFocus, controls::soSmooth});
    row.slider->SetMinValue(0);
    row.slider->SetMaxValue(10);
    row.slider->SetIncrement(1);
    row.slider->SetValue(10);
    row.slider->OnChange = [this](TObject* s) { SliderChange(s); };
    row.percent = b.Label(Group, layout.percent, "", x + 10, 38 + kSliderHeight + 4);
    row.index = layout.index;
    rows_.push_back(row);
  }
  const int buttonsTop = kGroupTop + groupHeight + 10;
  chkAuto = b.Check(this, "chkAuto", "Auto", 12, buttonsTop + 4, 90);
  chkAuto->OnClick = [this](TObject* s) { chkAutoClick(s); };
  btnClose = b.Button(this, "btnClose", "Close", ClientWidth() - 8 - 80, buttonsTop, 80);
  btnClose->SetCancel(true);
  btnClose->OnClick = [this](TObject* s) { btnCloseClick(s); };
  btnDefault = b.Button(this, "btnDefault", "Default", ClientWidth() - 8 - 2 * 86, buttonsTop, 80);
  btnDefault->SetDefault(true);
  btnDefault->OnClick = [this](TObject* s) { btnDefaultClick(s); };
}

void TDeviceControlsDialog::SetupSlider(TVxSlider* Slider, int32_t Index, bool Inverted, bool UseDefaults) {
  Slider->SetTag(Inverted ? -(Index + 1) : Index + 1);
  if (!access_.IsAvailable(Index)) {
    Slider->SetEnabled(false);
    Slider->SetIncrement(1);
    SetSliderRange(Slider, 0, 1);
    Slider->SetValue(Inverted ? 1 : 0);
  } else {
    // Loading the device's own values must not send them back.
    if (!UseDefaults) Ready_ = false;
    Slider->SetEnabled(true);
    const int32_t min = access_.Min(Index), max = access_.Max(Index);
    SetSliderRange(Slider, min, max);
    // A step the slider cannot take (none, or wider than the range) would
    // leave the whole dialog unopened; the finest step stands in for it.
    const int64_t range = static_cast<int64_t>(Slider->MaxValue()) - Slider->MinValue();
    const int32_t step = access_.Step(Index);
    Slider->SetIncrement(step >= 1 && step <= range ? step : 1);
    const int32_t value = UseDefaults ? access_.Default(Index) : access_.Value(Index);
    Slider->SetValue(Inverted ? static_cast<int32_t>(static_cast<int64_t>(Slider->MaxValue()) + Slider->MinValue() - value)
                              : value);
    Slider->SetEnabled(!chkAuto->Checked());
  }
  Ready_ = true;
}

void TDeviceControlsDialog::LoadSliders(bool UseDefaults) {
  for (const TRow& row : rows_) SetupSlider(row.slider, row.index, true, UseDefaults);
}

void TDeviceControlsDialog::SliderChange(TObject* Sender) {
  auto* slider = dynamic_cast<TVxSlider*>(Sender);
  if (!slider) return;
  const String text = PercentText(SliderPercent(slider));
  for (const TRow& row : rows_)
    if (row.slider == slider) row.percent->SetCaption(text);
  slider->SetHint(text);
  if (!Ready_) return;
  const intptr_t tag = slider->Tag();
  if (tag == 0) return;
  const int32_t index = static_cast<int32_t>(std::abs(tag) - 1);
  const int64_t value = tag < 0 ? static_cast<int64_t>(slider->MaxValue()) + slider->MinValue() - slider->Value()
                                : slider->Value();
  access_.SetValue(index, static_cast<int32_t>(value));
}

// Ticking Auto by code runs the click handler as a click does, so the
// device's mode shows in the controls before the first load.
void TDeviceControlsDialog::FormCreate(TObject*) {
  chkAuto->SetChecked(access_.GetAuto());
  LoadSliders(false);
  ApplyLanguageTexts();
}

void TDeviceControlsDialog::chkAutoClick(TObject*) {
  btnDefault->SetEnabled(!chkAuto->Checked());
  access_.SetAuto(chkAuto->Checked());
  LoadSliders(false);
}

void TDeviceControlsDialog::btnDefaultClick(TObject*) { LoadSliders(true); }

void TDeviceControlsDialog::btnCloseClick(TObject*) { SetModalResult(mrCancel); }

void TDeviceControlsDialog::ApplyTexts(const String& title, const String& group, const std::vector<String>& captions,
                                       const String& autoText, const String& defaultText, const String& closeText) {
  SetCaption(title);
  for (size_t i = 0; i < rows_.size() && i < captions.size(); ++i) rows_[i].caption->SetCaption(captions[i]);
  chkAuto->SetCaption(autoText);
  Group->SetCaption(group);
  btnDefault->SetCaption(defaultText);
  btnClose->SetCaption(closeText);
  for (const TRow& row : rows_) row.slider->SetShowHint(true);
  for (const TRow& row : rows_) SliderChange(row.slider);
}

}  // namespace app
