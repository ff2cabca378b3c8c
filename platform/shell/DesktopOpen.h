#pragma once
// Opening a file, folder, web address or "mailto:" link with the desktop's
// opener (xdg-open from xdg-utils). The opener is started and left to run:
// it may start a browser or a mail program that stays open for as long as
// the user likes, so nobody waits for it; a thread of its own reaps it.
#include "platform/rtl/Types.h"

namespace shell {

enum class OpenStatus {
  Started,   // the opener runs; what it does with the target is its affair
  NoOpener,  // no xdg-open on the PATH
  Failed,    // it could not be started for another reason; see detail
};

struct OpenResult {
  OpenStatus status = OpenStatus::Failed;
  rtl::String detail;  // the system's reason when not started
};

// Starts `xdg-open <target>` with the target as one argument, no shell in
// between, its output thrown away. Returns as soon as it runs.
OpenResult OpenWithDesktop(const rtl::String& target);

}  // namespace shell
