#pragma once
// The wide label and push button. Each keeps its caption and hint as wide
// strings; the class library's 8-bit caption follows the wide one (in the
// ANSI code page), so layout and accelerators of the base keep working.
#include "platform/forms/StdCtrls.h"
#include "platform/rtl/Types.h"

namespace controls {

using rtl::WideString;

class TUcCustomLabel : public forms::TCustomLabel {
public:
  using forms::TCustomLabel::TCustomLabel;
  const WideString& Caption() const { return caption_; }
  void SetCaption(const WideString& caption);
  const WideString& Hint() const { return hint_; }
  void SetHint(const WideString& hint);
  // The wide text the label draws.
  virtual WideString GetLabelText() const { return caption_; }

protected:
  void Paint() override;
  void Dispatch(forms::TMessage& m) override;
  // Draws (or with DT_CALCRECT measures) the wide text in `r`.
  void DoDrawWideText(forms::TRect& r, win::UINT flags);

private:
  WideString caption_;
  WideString hint_;
};

class TUcLabel : public TUcCustomLabel {
public:
  using TUcCustomLabel::TUcCustomLabel;
};

class TUcButton : public forms::TButton {
public:
  using forms::TButton::TButton;
  const WideString& Caption() const { return caption_; }
  void SetCaption(const WideString& caption);
  const WideString& Hint() const { return hint_; }
  void SetHint(const WideString& hint);

protected:
  void Dispatch(forms::TMessage& m) override;

private:
  WideString caption_;
  WideString hint_;
};

}  // namespace controls
