// The message-box presenter in use, and the answer a box gives when nobody
// is there to choose.
#include "platform/forms/Dialogs.h"

#include <cstdio>
#include <vector>

namespace forms {

using namespace win;

namespace {

class SilentPresenter : public TMessageBoxPresenter {
public:
  int MessageBox(HWND, const String& text, const String& caption, UINT flags) override {
    std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
    return DefaultMessageBoxAnswer(flags);
  }
};

SilentPresenter g_silent;
TMessageBoxPresenter* g_presenter = nullptr;

}  // namespace

void SetMessageBoxPresenter(TMessageBoxPresenter* presenter) { g_presenter = presenter == &g_silent ? nullptr : presenter; }

TMessageBoxPresenter* MessageBoxPresenter() { return g_presenter ? g_presenter : &g_silent; }

int DefaultMessageBoxAnswer(UINT flags) {
  static const std::vector<int> buttons[] = {
      {IDOK}, {IDOK, IDCANCEL}, {IDABORT, IDRETRY, IDIGNORE}, {IDYES, IDNO, IDCANCEL}, {IDYES, IDNO}, {IDRETRY, IDCANCEL}};
  const UINT type = flags & MB_TYPEMASK;
  const auto& set = type < 6 ? buttons[type] : buttons[0];
  const size_t index = (flags & MB_DEFMASK) >> 8;
  return set[index < set.size() ? index : 0];
}

int MessageBox(HWND owner, const String& text, const String& caption, UINT flags) {
  return MessageBoxPresenter()->MessageBox(owner, text, caption, flags);
}

}  // namespace forms
