#pragma once
// The mail hand-off to the system's sendmail interface: a finished message
// is piped to `sendmail -t -i`, which reads the recipients from the To, Cc
// and Bcc headers (and drops Bcc), and treats a line holding only "." as
// text. No shell stands between us and the program, so nothing in a path or
// a message is ever interpreted as a command.
#include <string_view>

#include "platform/rtl/Types.h"

namespace shell {

enum class SendmailStatus {
  Accepted,    // the program read the whole message and exited with 0
  NoSendmail,  // nothing executable at the path
  Failed,      // it ran but did not take the message; see detail
};

struct SendmailResult {
  SendmailStatus status = SendmailStatus::Failed;
  // The exit code when the program ended normally, else -1.
  int exitCode = -1;
  // Why it failed: the program's own output (trimmed), or what went wrong
  // around it. Empty when accepted.
  rtl::String detail;
};

// $VORIX_SENDMAIL when set and not empty, else /usr/sbin/sendmail.
rtl::String SendmailPath();

// Runs `<path> -t -i`, writes `message` (bytes, lines ending in CR LF or LF)
// to its standard input and waits for it to end. Safe on any thread: a
// reader that goes away raises no SIGPIPE in this process, and the child is
// always reaped.
SendmailResult PipeToSendmail(std::string_view message, const rtl::String& path = SendmailPath());

}  // namespace shell
