#pragma once
// Opening help pages, web addresses and "mailto:" links for the windows of
// the program: the desktop's opener is started and not waited for; when
// none is installed the user is told so in a message instead of the click
// doing nothing.
#include <functional>

#include "platform/rtl/Types.h"

namespace app {

using rtl::String;

// Tests put a recorder in the desktop's place; null restores it.
using TShellOpener = std::function<void(const String& target)>;
void SetShellOpener(TShellOpener opener);
void ShellOpen(const String& target);

}  // namespace app
