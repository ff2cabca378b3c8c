#pragma once
// The alarm mail's hand-off to the user's own mail system (the "default
// account" choice). The mail comes as a list of name=value lines, the one
// form both its callers build:
//
//   to, CC, BCC         recipient texts; each goes whole into its header,
//                       so "a@x, b@y" reaches both and the mail system
//                       resolves what it holds
//   attachment0, 1, ... full paths of files to attach; counting stops at the
//                       first missing index, so files after a gap stay out
//   subject, body       the text; the body's lines may break with CR, LF
//                       or CR LF
//
// Names are matched ignoring case, and a line whose value is empty counts
// as absent. The message is built here and handed to the system's sendmail
// interface (`sendmail -t -i`), which sends it without showing anything.
#include <cstdint>

#include "platform/rtl/StringList.h"
#include "platform/rtl/Types.h"
#include "platform/win/Types.h"

namespace app {

// Results besides the mail system's own.
constexpr int32_t MAIL_HANDED_OVER = 0;
constexpr int32_t MAIL_NO_SENDMAIL = 1;             // no sendmail program at its place
constexpr int32_t MAIL_SEND_FAILED = 2;             // sendmail refused or failed
constexpr int32_t MAIL_ATTACHMENT_UNREADABLE = 11;  // nothing was sent

// Builds the mail from `MailList` and hands it over; 0 when sendmail took
// it. Raises nothing: every failure is the result, and `detail` (when
// given) says why. WindowHandle would own a window of the mail program;
// none ever shows here. Runs on the caller's thread, keeps no state.
int32_t SendMailByMapi(win::HWND WindowHandle, const rtl::TStrings& MailList, rtl::String* detail = nullptr);

}  // namespace app
