#pragma once
// The wide message dialog: message, caption and button captions are wide.
// The form is built in code from a wide label, an optional system icon and
// wide buttons, laid out from the average character size of the system's
// message font, and shown modally through the class library's dialog
// presenter (so tests answer it without a display).
#include <cstdint>

#include "controls/uc/UcForms.h"
#include "platform/forms/MsgDialogs.h"

namespace controls {

using forms::TMsgDlgBtn;
using forms::TMsgDlgButtons;
using forms::TMsgDlgType;

class TUcLabel;

class TUcMessageForm : public TUcForm {
public:
  explicit TUcMessageForm(forms::TComponent* owner);
  TUcLabel* MessageLabel() const { return message_; }
  // The framed text Ctrl+C puts on the clipboard.
  WideString FramedText() const;

private:
  friend TUcMessageForm* CreateWideMessageDialog(const WideString&, TMsgDlgType, TMsgDlgButtons);
  void HandleKeyDown(uint16_t& key, forms::TShiftState shift);
  TUcLabel* message_ = nullptr;
};

// A new dialog, not shown; the caller frees it.
TUcMessageForm* CreateWideMessageDialog(const WideString& message, TMsgDlgType kind, TMsgDlgButtons buttons);
int WideMessageBoxAtHelp(const WideString& message, TMsgDlgType kind, TMsgDlgButtons buttons, int32_t helpContext,
                         int32_t left, int32_t top, const WideString& helpFileName);
int WideMessageBoxAt(const WideString& message, TMsgDlgType kind, TMsgDlgButtons buttons, int32_t helpContext,
                     int32_t left, int32_t top);
void ShowWideMessageAt(const WideString& message, int32_t left, int32_t top);
void ShowWideMessage(const WideString& message);
// Raise EUcInternalError for a kind or button outside the tables.
WideString GetMessageCaption(TMsgDlgType kind);
WideString GetButtonCaption(TMsgDlgBtn button);

}  // namespace controls
