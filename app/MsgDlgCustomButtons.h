#pragma once
// The message dialog whose buttons carry captions chosen by the caller, so
// that the button texts follow the language file.
#include <vector>

#include "platform/forms/MsgDialogs.h"

namespace app {

using rtl::String;

// Builds the class library's dialog for `Msg`, `DlgType` and `Buttons`,
// titles it `Caption`, gives its buttons `ButtonCaptions` (one per button,
// in the dialog's button order) at one common width in a centred row with
// 12 pixels between them, sounds the beep of the dialog type and shows it
// through the dialog presenter. Answers the modal result of the button
// that closed it, or 0 when anything fails (including captions that do not
// match the buttons one for one). Never raises.
int MessageDlgCustomButtons(const String& Msg, const String& Caption, forms::TMsgDlgType DlgType,
                            const std::vector<String>& ButtonCaptions, forms::TMsgDlgButtons Buttons);

}  // namespace app
