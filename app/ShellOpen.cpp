#include "app/ShellOpen.h"

#include <mutex>

#include "app/MsgDlgCustomButtons.h"
#include "app/ResStr.h"
#include "platform/shell/DesktopOpen.h"

namespace app {

namespace {

std::mutex g_openerLock;
TShellOpener g_opener;

}  // namespace

void SetShellOpener(TShellOpener opener) {
  std::lock_guard<std::mutex> guard(g_openerLock);
  g_opener = std::move(opener);
}

void ShellOpen(const String& target) {
  TShellOpener opener;
  {
    std::lock_guard<std::mutex> guard(g_openerLock);
    opener = g_opener;
  }
  if (opener) {
    opener(target);
    return;
  }
  const shell::OpenResult r = shell::OpenWithDesktop(target);
  // What the opener then does with the target (no browser, no mail
  // program) is its own to report; only an opener that never ran is ours.
  if (r.status == shell::OpenStatus::Started) return;
  const String text = r.status == shell::OpenStatus::NoOpener
                          ? FormatLanguageText(MSG_APPLICATION_NOOPENER, {target})
                          : target + ": " + r.detail;
  MessageDlgCustomButtons(text, MSG_APPLICATION_WARNING, forms::mtWarning, {IDS_SETTING_BUTTON_OK},
                          forms::TMsgDlgButtons{forms::mbOK});
}

}  // namespace app
