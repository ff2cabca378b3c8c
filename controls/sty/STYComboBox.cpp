#include "controls/sty/STYComboBox.h"

#include <atomic>

#include "controls/sty/STYMgr.h"
#include "controls/sty/STYPublic.h"
#include "platform/win/Api.h"

namespace controls {

using namespace forms;

namespace {
std::atomic<bool> g_middleEast{false};
}  // namespace

bool SysLocaleMiddleEast() { return g_middleEast; }
void SetSysLocaleMiddleEast(bool v) { g_middleEast = v; }

TstyCustomComboBox::TstyCustomComboBox(TComponent* owner) : TCustomComboBox(owner) {
  controlStyle_.Include(csOpaque);
  SetUIStyle(OwnerFormUIStyle(owner));
}

void TstyCustomComboBox::SetUIStyle(TstyUIStyle style) {
  uiStyle_ = style;
  arrowColor_ = clBlack;
  TstyUIStyle builtIn;
  if (ResolveUIStyle(fileTheme_, uiStyle_, builtIn)) {
    borderColor_ = fileTheme_->GetColor(styControlBorderColor);
    buttonColor_ = fileTheme_->GetColor(styFormBackgroundColor);
  } else {
    borderColor_ = GetStyThemeColor(builtIn, styControlBorderColor);
    buttonColor_ = GetStyThemeColor(builtIn, styFormBackgroundColor);
  }
  Invalidate();
}

void TstyCustomComboBox::SetFileTheme(TstyFileTheme* theme) {
  if (fileTheme_ && fileTheme_ != theme) fileTheme_->RemoveFreeNotification(this);
  fileTheme_ = theme;
  if (fileTheme_) fileTheme_->FreeNotification(this);
  SetUIStyle(uiStyle_);
}

void TstyCustomComboBox::SetBorderColor(TColor color) {
  borderColor_ = color;
  Invalidate();
}

void TstyCustomComboBox::SetButtonColor(TColor color) {
  buttonColor_ = color;
  Invalidate();
}

void TstyCustomComboBox::SetArrowColor(TColor color) {
  arrowColor_ = color;
  Invalidate();
}

void TstyCustomComboBox::SetRightToLeft(bool v) {
  rightToLeft_ = v;
  Invalidate();
}

void TstyCustomComboBox::SetEnabled(bool enabled) {
  TCustomComboBox::SetEnabled(enabled);
  Invalidate();
}

void TstyCustomComboBox::Notification(TComponent* component, TOperation operation) {
  TCustomComboBox::Notification(component, operation);
  if (operation == opRemove && component == fileTheme_) {
    fileTheme_ = nullptr;
    SetUIStyle(DeepBlue);
  }
}

void TstyCustomComboBox::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case win::WM_ERASEBKGND:
    case win::WM_PAINT:
      TCustomComboBox::Dispatch(m);
      if (HandleAllocated()) DrawComboFrame();
      return;
    case CN_COMMAND:
      TCustomComboBox::Dispatch(m);
      // The parent's repaint takes away anything drawn over it while the
      // list was open.
      if (win::HIWORD(static_cast<win::DWORD>(m.WParam)) == win::CBN_CLOSEUP && Parent()) Parent()->Repaint();
      return;
    default:
      TCustomComboBox::Dispatch(m);
  }
}

void TstyCustomComboBox::DrawArrow(TCanvas* canvas, int x, int y) {
  auto triangle = [&](int dx, int dy, TColor color) {
    canvas->Brush()->SetColor(color);
    canvas->Pen()->SetColor(color);
    canvas->Polygon({Point(x + dx, y + dy), Point(x + dx + 6, y + dy), Point(x + dx + 3, y + dy + 3)});
  };
  if (Enabled()) {
    triangle(0, 0, arrowColor_);
  } else {
    triangle(1, 1, clWhite);
    triangle(0, 0, clGray);
  }
}

void TstyCustomComboBox::DrawComboFrame() {
  win::COMBOBOXINFO info;
  info.cbSize = sizeof(info);
  if (!CallGetComboBoxInfo(Handle(), &info) || Style() == csSimple) return;
  // The platform's combo box keeps its sunken edge outside the client
  // area, so the two lines go on the window's own edge, where they cover
  // that edge as they would cover one drawn inside.
  DrawControlBorder(this, borderColor_, Color(), true);
  TControlCanvas canvas(this);

  // The list's frame goes into the list window itself: it shows the same
  // on the screen and leaves with the list, wherever the list overhangs.
  if (info.hwndList && win::SendMessageA(Handle(), win::CB_GETDROPPEDSTATE, 0, 0)) {
    win::RECT lr;
    win::GetWindowRect(info.hwndList, &lr);
    const win::HDC dc = win::GetWindowDC(info.hwndList);
    win::HBRUSH brush = win::CreateSolidBrush(ColorToRGB(borderColor_));
    const win::RECT frame{0, 0, lr.right - lr.left, lr.bottom - lr.top};
    win::FrameRect(dc, &frame, brush);
    win::DeleteObject(brush);
    win::ReleaseDC(info.hwndList, dc);
  }

  const TRect b = info.rcButton;
  if (uiStyle_ == MacOS || uiStyle_ == WinXP) {
    TBitmap picture;
    LoadStyBitmap(&picture, uiStyle_ == MacOS ? "MACOS_COMBOBOX_BUTTON" : "WINXP_COMBOBOX_BUTTON");
    canvas.StretchDraw(b, &picture);
  } else {
    canvas.Brush()->SetColor(buttonColor_);
    canvas.FillRect(b);
    canvas.Pen()->SetColor(borderColor_);
    const int x = rightToLeft_ && SysLocaleMiddleEast() ? b.right : b.left;
    canvas.MoveTo(x, b.top - 1);
    canvas.LineTo(x, b.bottom + 1);
  }
  if (uiStyle_ != WinXP) DrawArrow(&canvas, b.left + (b.right - b.left) / 2 - 3, (b.bottom - b.top) / 2);
}

}  // namespace controls
