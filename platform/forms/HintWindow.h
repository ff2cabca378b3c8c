#pragma once
// The hint window: a borderless top-level popup that shows a hint's short
// text on the hint colour. The application shows hints through its
// ShowHintWindow/HideHintWindow plug; InstallHintWindows fills that plug
// with real hint windows, made of the class the hint record names, so a
// CM_HINTSHOW handler can switch the class for one showing.
#include <functional>
#include <memory>

#include "platform/forms/Controls.h"

namespace forms {

class THintWindow;

// A hint window class: its maker and its base, for "derives from" tests.
struct THintWindowClassInfo {
  const THintWindowClassInfo* Parent = nullptr;
  std::function<THintWindow*(TComponent* owner)> Create;
  bool InheritsFrom(const THintWindowClassInfo* base) const {
    for (const THintWindowClassInfo* c = this; c; c = c->Parent)
      if (c == base) return true;
    return false;
  }
};

class THintWindow : public TCustomControl {
public:
  static const THintWindowClassInfo ClassInfo;
  explicit THintWindow(TComponent* owner);

  // Shows the window over `rect` (screen coordinates) with `hint`.
  virtual void ActivateHint(TRect rect, const String& hint);
  virtual void ActivateHintData(TRect rect, const String& hint, void* data);
  // The size the hint needs, as (0, 0, width, height), at most maxWidth wide.
  virtual TRect CalcHintRect(int maxWidth, const String& hint, void* data);
  void ReleaseHandle();

protected:
  void CreateParams(TCreateParams& p) override;
  void Paint() override;
};

// Fills Application->ShowHintWindow/HideHintWindow with hint windows; the
// window of the last showing lives until the next one or the hide.
void InstallHintWindows();
// The hint window on the screen now, or null.
THintWindow* ShownHintWindow();

}  // namespace forms
