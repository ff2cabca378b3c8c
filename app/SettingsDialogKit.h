#pragma once
// What the settings dialogs have in common: edits that take whole numbers
// only, sliders with a percentage label, one dirty flag per page, and a
// small builder that places the standard controls by name and position.
#include <array>
#include <functional>

#include "controls/vx/VXSlider.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/StdCtrls.h"

namespace app {

using rtl::String;

// True when `text` is an integer as the string-to-integer conversion reads
// it (an optional sign and digits, within 32 bits).
bool IsIntegerText(const String& text);

// The change rule of an integer-only edit: a text that is not an integer
// loses its last character, is put back and the caret goes to its end.
// Putting it back is a change again, so the edit's own change handler runs
// this once more and characters go from the end until the text is an
// integer or empty. Answers whether the text was an integer.
bool FilterIntegerEdit(forms::TCustomEdit* edit);
// The same rule for any text `accepts` takes.
bool FilterEdit(forms::TCustomEdit* edit, const std::function<bool(const String&)>& accepts);

// The edit's integer, `fallback` when its text is not one.
int32_t EditInt(const forms::TCustomEdit* edit, int32_t fallback);

// A slider's value as a share of its range, in percent, the division
// truncating towards zero (128 of 0..128 gives 100, -64 of -64..64 -50).
int32_t SliderPercent(const controls::TVxSlider* slider);
// "<n>%".
String PercentText(int32_t percent);

// One dirty flag per page of a dialog. Set and Clear tell the listener so
// the dialog's Apply button follows the flags.
template <size_t N>
class TDirtyPages {
public:
  bool IsSet(int page) const { return InRange(page) && flags_[static_cast<size_t>(page)]; }
  void Set(int page) {
    if (InRange(page)) flags_[static_cast<size_t>(page)] = true;
    if (OnChange) OnChange();
  }
  void Clear(int page) {
    if (InRange(page)) flags_[static_cast<size_t>(page)] = false;
    if (OnChange) OnChange();
  }
  void ClearAll() {
    flags_.fill(false);
    if (OnChange) OnChange();
  }
  bool Any() const {
    for (bool f : flags_)
      if (f) return true;
    return false;
  }
  static constexpr int Count() { return static_cast<int>(N); }
  std::function<void()> OnChange;

private:
  static bool InRange(int page) { return page >= 0 && page < static_cast<int>(N); }
  std::array<bool, N> flags_{};
};

// Places the standard controls of a dialog: each is named, owned by the
// form and parented where asked, at the given bounds.
class TDialogBuilder {
public:
  explicit TDialogBuilder(forms::TComponent* owner) : owner_(owner) {}

  forms::TLabel* Label(forms::TWinControl* parent, const char* name, const String& caption, int x, int y);
  forms::TEdit* Edit(forms::TWinControl* parent, const char* name, const String& text, int x, int y, int w);
  forms::TButton* Button(forms::TWinControl* parent, const char* name, const String& caption, int x, int y,
                         int w = 88, int h = 25);
  forms::TCheckBox* Check(forms::TWinControl* parent, const char* name, const String& caption, int x, int y,
                          int w = 150);
  forms::TRadioButton* Radio(forms::TWinControl* parent, const char* name, const String& caption, int x, int y,
                             int w = 150);
  forms::TGroupBox* Group(forms::TWinControl* parent, const char* name, const String& caption, int x, int y, int w,
                          int h);
  forms::TComboBox* Combo(forms::TWinControl* parent, const char* name, int x, int y, int w);
  forms::TTabSheet* Page(forms::TPageControl* pages, const char* name, const String& caption);
  // A slider 0..100 of the given orientation; the caller sets its range.
  controls::TVxSlider* Slider(forms::TWinControl* parent, const char* name, int x, int y, int w, int h,
                              bool vertical);

  // Named and owned by the dialog, parented and placed.
  template <class T>
  T* Place(T* control, forms::TWinControl* parent, const char* name, int x, int y, int w, int h) {
    control->SetName(name);
    control->SetParent(parent);
    control->SetBounds(x, y, w, h);
    return control;
  }

  forms::TComponent* Owner() const { return owner_; }

private:
  forms::TComponent* owner_;
};

}  // namespace app
