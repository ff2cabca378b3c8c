#pragma once
// Wide hints: when a wide control is about to show its hint (CM_HINTSHOW),
// PrepareWideHint switches the plain hint window class to the wide one and
// marks the hint record; the wide hint window then fetches the wide text
// itself and draws it with the wide text functions.
#include "platform/forms/HintWindow.h"
#include "platform/rtl/Types.h"

namespace controls {

using rtl::WideString;

// The parts of a hint split at '|'.
WideString WideShortHint(const WideString& hint);
WideString WideLongHint(const WideString& hint);
// The hint a control shows: its own wide hint (or its 8-bit hint), else
// its parent's when it has none.
WideString GetInheritedWideHint(forms::TControl* control);

class TUcCustomHintWindow : public forms::THintWindow {
public:
  static const forms::THintWindowClassInfo ClassInfo;
  explicit TUcCustomHintWindow(forms::TComponent* owner) : forms::THintWindow(owner) {}

  const WideString& WideCaption() const { return caption_; }
  void SetWideCaption(const WideString& caption);

  void ActivateHint(forms::TRect rect, const rtl::String& hint) override;
  void ActivateHintData(forms::TRect rect, const rtl::String& hint, void* data) override;
  forms::TRect CalcHintRect(int maxWidth, const rtl::String& hint, void* data) override;

protected:
  void Paint() override;

private:
  WideString caption_;
  bool activating_ = false;
  bool blockPaint_ = false;
};

// The CM_HINTSHOW work of a wide control (LParam: the hint record).
void PrepareWideHint(forms::TMessage& message);
bool IsWideHintData(void* data);
WideString GetWideHintText(const forms::THintInfo& info);

}  // namespace controls
