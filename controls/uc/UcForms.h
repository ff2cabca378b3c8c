#pragma once
// The wide form and the program-wide wide application object, whose
// message hook delivers typed characters above U+00FF to Unicode windows
// intact, past the class library's 8-bit message loop.
#include "platform/forms/Forms.h"
#include "platform/rtl/Types.h"

namespace controls {

using rtl::WideString;

// A form whose caption and hint are wide.
class TUcForm : public forms::TForm {
public:
  using forms::TForm::TForm;
  const WideString& Caption() const { return caption_; }
  void SetCaption(const WideString& caption);
  const WideString& Hint() const { return hint_; }
  void SetHint(const WideString& hint);

private:
  WideString caption_;
  WideString hint_;
};

class TUcApplication : public forms::TComponent {
public:
  TUcApplication();
  // The application's title and hint as wide text; the class library's
  // 8-bit title and hint follow them, and a change made to those through
  // the class library shows here.
  WideString Title() const;
  void SetTitle(const WideString& title);
  WideString Hint() const;
  void SetHint(const WideString& hint);

private:
  WideString title_;
  WideString hint_;
};

// The one application object (made on first use).
TUcApplication* UcApplication();

// The library's start and end on the GUI thread: the WH_GETMESSAGE hook
// for that thread. Starting twice does nothing; a failure raises EOSError.
void InstallUcMessageHook();
void RemoveUcMessageHook();

}  // namespace controls
