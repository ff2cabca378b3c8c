#include "platform/forms/HintWindow.h"

#include <utility>

#include "platform/forms/Forms.h"
#include "platform/win/Dc.h"
#include "platform/win/Font.h"
#include "platform/win/Styles.h"
#include "platform/win/Window.h"

namespace forms {

using namespace win;

const THintWindowClassInfo THintWindow::ClassInfo{nullptr, [](TComponent* owner) { return new THintWindow(owner); }};

THintWindow::THintWindow(TComponent* owner) : TCustomControl(owner) {
  SetColor(Application ? Application->HintColor() : clInfoBk);
  Canvas()->Font()->Assign(Screen->HintFont());
  Font()->Assign(Screen->HintFont());
}

void THintWindow::CreateParams(TCreateParams& p) {
  TCustomControl::CreateParams(p);
  p.Style = WS_POPUP | WS_BORDER;
  p.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
}

void THintWindow::ActivateHint(TRect rect, const String& hint) {
  SetCaption(hint);
  SetBounds(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  SetWindowPos(Handle(), HWND_TOPMOST, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
               SWP_SHOWWINDOW | SWP_NOACTIVATE);
  Invalidate();
}

void THintWindow::ActivateHintData(TRect rect, const String& hint, void*) { ActivateHint(rect, hint); }

TRect THintWindow::CalcHintRect(int maxWidth, const String& hint, void*) {
  RECT r{0, 0, maxWidth, 0};
  Canvas()->Font()->Assign(Screen->HintFont());
  DrawTextA(Canvas()->Handle(), hint.c_str(), -1, &r, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
  return TRect{0, 0, r.right + 6, r.bottom + 2};
}

void THintWindow::Paint() {
  RECT r{2, 2, ClientWidth(), ClientHeight()};
  Canvas()->Font()->Assign(Screen->HintFont());
  HDC dc = Canvas()->Handle();
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorToRGB(Screen->HintFont()->Color()));
  DrawTextA(dc, Caption().c_str(), -1, &r, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
}

void THintWindow::ReleaseHandle() {
  if (HandleAllocated()) ShowWindow(Handle(), SW_HIDE);
}

namespace {
// Owned by the application, so a window still up at the end goes with it.
THintWindow* g_shown = nullptr;
void HideShown() {
  delete std::exchange(g_shown, nullptr);
}
}  // namespace

THintWindow* ShownHintWindow() { return g_shown; }

void InstallHintWindows() {
  Application->ShowHintWindow = [](const THintInfo& info) {
    const THintWindowClassInfo* cls = info.HintWindowClass ? info.HintWindowClass : &THintWindow::ClassInfo;
    HideShown();
    g_shown = cls->Create(Application);
    TRect r = g_shown->CalcHintRect(info.HintMaxWidth, info.HintStr, info.HintData);
    r = TRect{info.HintPos.x, info.HintPos.y, info.HintPos.x + r.right, info.HintPos.y + r.bottom};
    g_shown->ActivateHintData(r, info.HintStr, info.HintData);
  };
  Application->HideHintWindow = [] { HideShown(); };
}

}  // namespace forms
