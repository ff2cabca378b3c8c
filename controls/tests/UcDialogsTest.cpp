// The wide message dialog, the wide clipboard writer and the message hook
// that carries characters above U+00FF past the 8-bit message loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "controls/uc/UcClipBrd.h"
#include "controls/uc/UcDialogs.h"
#include "controls/uc/UcGraphics.h"
#include "controls/uc/UcStdCtrls.h"
#include "controls/uc/UcSysUtils.h"
#include "controls/uc/UcWindows.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/rtl/Text.h"
#include "platform/win/Api.h"

using namespace controls;
using forms::TMsgDlgButtons;

namespace {

// Answers a dialog by running `answer` on the shown form.
class ScriptedPresenter : public forms::TDialogPresenter {
public:
  std::function<int(forms::TCustomForm*)> answer;
  int ShowDialog(forms::TCustomForm* dialog) override { return answer(dialog); }
};

template <class T>
T* Child(forms::TCustomForm* form, const char* name) {
  return dynamic_cast<T*>(form->FindComponent(name));
}

int MulDiv(int v, int num, int den) { return static_cast<int>((static_cast<int64_t>(v) * num + den / 2) / den); }

class UcDialogsTest : public formstest::FormsFixture {};

TEST_F(UcDialogsTest, LayoutFollowsTheAverageCharacterOfTheMessageFont) {
  const WideString message = u"Delete the album \u00bb\u0416\u4e2d\u00ab?";
  std::unique_ptr<TUcMessageForm> form(
      CreateWideMessageDialog(message, forms::mtConfirmation, TMsgDlgButtons{forms::mbYes, forms::mbNo}));
  // The dialog units, measured with the dialog's own font.
  forms::TCanvas* canvas = form->Canvas();
  const win::SIZE letters = WideCanvasTextExtent(canvas, u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  const int x = letters.cx / 52, y = letters.cy;
  ASSERT_GT(x, 0);
  const int hMargin = MulDiv(8, x, 4), vMargin = MulDiv(8, y, 8), hSpacing = MulDiv(10, x, 4),
            vSpacing = MulDiv(10, y, 8), buttonWidth = MulDiv(50, x, 4), buttonHeight = MulDiv(14, y, 8),
            buttonSpacing = MulDiv(4, x, 4);
  const win::SIZE text = WideCanvasTextExtent(canvas, message);
  const int iconTextWidth = text.cx + 32 + hSpacing, iconTextHeight = std::max<int>(text.cy, 32);
  const int groupWidth = 2 * buttonWidth + buttonSpacing;
  EXPECT_EQ(form->ClientWidth(), std::max(iconTextWidth, groupWidth) + 2 * hMargin);
  EXPECT_EQ(form->ClientHeight(), iconTextHeight + buttonHeight + vSpacing + 2 * vMargin);
  EXPECT_EQ(form->Caption(), u"Confirm");
  EXPECT_EQ(form->Left(), forms::Screen->Width() / 2 - form->Width() / 2);
  EXPECT_EQ(form->Top(), forms::Screen->Height() / 2 - form->Height() / 2);

  auto* image = Child<forms::TImage>(form.get(), "Image");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->BoundsRect(), forms::Rect(hMargin, vMargin, hMargin + 32, vMargin + 32));
  TUcLabel* label = form->MessageLabel();
  EXPECT_EQ(label->Caption(), message);
  EXPECT_EQ(label->Left(), iconTextWidth - text.cx + hMargin);
  EXPECT_EQ(label->Top(), vMargin);
  EXPECT_EQ(label->Width(), text.cx);

  auto* yes = Child<TUcButton>(form.get(), "Yes");
  auto* no = Child<TUcButton>(form.get(), "No");
  ASSERT_TRUE(yes && no);
  EXPECT_EQ(yes->Caption(), u"&Yes");
  EXPECT_TRUE(yes->Default());
  EXPECT_FALSE(yes->Cancel());
  EXPECT_TRUE(no->Cancel());
  EXPECT_FALSE(no->Default());
  EXPECT_EQ(yes->ModalResult(), 6);
  EXPECT_EQ(no->ModalResult(), 7);
  const int buttonTop = iconTextHeight + vMargin + vSpacing;
  const int firstLeft = (form->ClientWidth() - groupWidth) / 2;
  EXPECT_EQ(yes->BoundsRect(), forms::Rect(firstLeft, buttonTop, firstLeft + buttonWidth, buttonTop + buttonHeight));
  EXPECT_EQ(no->Left(), firstLeft + buttonWidth + buttonSpacing);
}

TEST_F(UcDialogsTest, LongMessagesWrapAtHalfTheScreenAndWideCaptionsWidenEveryButton) {
  WideString message;
  for (int i = 0; i < 60; ++i) message += u"\u0436\u0438\u0437\u043d\u044c ";
  std::unique_ptr<TUcMessageForm> form(CreateWideMessageDialog(message, forms::mtWarning, TMsgDlgButtons{forms::mbOK}));
  TUcLabel* label = form->MessageLabel();
  EXPECT_LE(label->Width(), forms::Screen->Width() / 2);
  EXPECT_GT(label->Height(), 2 * WideCanvasTextHeight(form->Canvas(), u"A"));

  // Every button takes the same width, at least the widest caption + 8.
  std::unique_ptr<TUcMessageForm> wide(
      CreateWideMessageDialog(u"?", forms::mtCustom, TMsgDlgButtons{forms::mbOK, forms::mbYesToAll, forms::mbNoToAll}));
  auto* ok = Child<TUcButton>(wide.get(), "OK");
  auto* yesToAll = Child<TUcButton>(wide.get(), "YesToAll");
  auto* noToAll = Child<TUcButton>(wide.get(), "NoToAll");
  ASSERT_TRUE(ok && yesToAll && noToAll);
  EXPECT_EQ(ok->Width(), yesToAll->Width());
  EXPECT_EQ(ok->Width(), noToAll->Width());
  win::RECT r{0, 0, 0, 0};
  WDrawText(wide->Canvas()->Handle(), u"Yes to &All", -1, &r, win::DT_CALCRECT | win::DT_SINGLELINE);
  EXPECT_GE(ok->Width(), r.right + 8);
  EXPECT_EQ(Child<forms::TImage>(wide.get(), "Image"), nullptr);
}

TEST_F(UcDialogsTest, ShowWideMessageUsesTheApplicationTitleAndOneOkButton) {
  UcApplication()->SetTitle(u"Vorix \u65e5\u672c");
  ScriptedPresenter presenter;
  WideString caption, text;
  bool isDefault = false, isCancel = false;
  int buttons = 0;
  presenter.answer = [&](forms::TCustomForm* f) {
    auto* form = dynamic_cast<TUcMessageForm*>(f);
    caption = form->Caption();
    text = form->MessageLabel()->Caption();
    for (int i = 0; i < form->ComponentCount(); ++i)
      if (auto* b = dynamic_cast<TUcButton*>(form->Components(i))) {
        ++buttons;
        isDefault = b->Default();
        isCancel = b->Cancel();
      }
    return forms::mrOk;
  };
  forms::ScopedDialogPresenter scoped(&presenter);
  ShowWideMessage(u"\u0424\u0430\u0439\u043b \u4e2d");
  EXPECT_EQ(caption, u"Vorix \u65e5\u672c");
  EXPECT_EQ(text, u"\u0424\u0430\u0439\u043b \u4e2d");
  EXPECT_EQ(buttons, 1);
  EXPECT_TRUE(isDefault);
  EXPECT_TRUE(isCancel);

  // Escape answers the cancel button: No of Yes/No.
  presenter.answer = [](forms::TCustomForm* f) {
    f->OnActivate = [](forms::TObject*) { win::InjectKeyPress(win::VK_ESCAPE); };
    return f->ShowModal();
  };
  EXPECT_EQ(WideMessageBoxAt(u"Sure?", forms::mtConfirmation, TMsgDlgButtons{forms::mbYes, forms::mbNo}, 0, -1, -1), 7);
  presenter.answer = [](forms::TCustomForm* f) {
    f->OnActivate = [](forms::TObject*) { win::InjectKeyPress(win::VK_RETURN); };
    return f->ShowModal();
  };
  EXPECT_EQ(WideMessageBoxAt(u"Sure?", forms::mtConfirmation, TMsgDlgButtons{forms::mbYes, forms::mbNo}, 0, 10, 20), 6);
}

TEST_F(UcDialogsTest, CtrlCCopiesTheFramedTextAndCtrlShiftCDoesNothing) {
  std::unique_ptr<TUcMessageForm> form(CreateWideMessageDialog(
      u"Disk \u4e2d full", forms::mtError, TMsgDlgButtons{forms::mbAbort, forms::mbRetry, forms::mbIgnore}));
  form->Show();
  Pump();
  auto clipboardText = []() -> WideString {
    if (!win::OpenClipboard(nullptr)) return u"(not open)";
    WideString out;
    if (win::HGLOBAL h = win::GetClipboardData(win::CF_UNICODETEXT)) {
      out = static_cast<const char16_t*>(win::GlobalLock(h));
      win::GlobalUnlock(h);
    }
    win::CloseClipboard();
    return out;
  };
  auto clear = [] {
    win::OpenClipboard(nullptr);
    win::EmptyClipboard();
    win::CloseClipboard();
  };
  auto press = [](std::vector<win::UINT> modifiers) {
    for (win::UINT m : modifiers) win::InjectKey(m, true);
    win::InjectKeyPress('C');
    for (win::UINT m : modifiers) win::InjectKey(m, false);
    Pump();
  };
  clear();
  win::ClearBeeps();
  press({win::VK_CONTROL});
  const WideString line(27, u'-');
  EXPECT_EQ(clipboardText(), line + u"\r\nError\r\n" + line + u"\r\nDisk \u4e2d full\r\n" + line +
                                 u"\r\nAbort   Retry   Ignore   \r\n" + line + u"\r\n");
  EXPECT_EQ(win::RecordedBeeps().size(), 1u);
  clear();
  press({win::VK_CONTROL, win::VK_SHIFT});
  EXPECT_EQ(clipboardText(), u"");
  EXPECT_EQ(win::RecordedBeeps().size(), 1u);
}

TEST_F(UcDialogsTest, ClipboardWriterSetsBothTextFormats) {
  forms::TForm owner(nullptr);
  UcClipboard()->SetAsWideText(u"caf\u00e9 \u4e2d");
  ASSERT_TRUE(win::OpenClipboard(nullptr));
  EXPECT_TRUE(win::IsClipboardFormatAvailable(win::CF_TEXT));
  EXPECT_TRUE(win::IsClipboardFormatAvailable(win::CF_UNICODETEXT));
  win::HGLOBAL wide = win::GetClipboardData(win::CF_UNICODETEXT);
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(win::GlobalSize(wide), 2u * 6 + 2);
  EXPECT_EQ(WideString(static_cast<const char16_t*>(win::GlobalLock(wide))), u"caf\u00e9 \u4e2d");
  win::GlobalUnlock(wide);
  win::HGLOBAL ansi = win::GetClipboardData(win::CF_TEXT);
  EXPECT_EQ(std::string(static_cast<const char*>(win::GlobalLock(ansi))), rtl::WideToAnsi(u"caf\u00e9 \u4e2d"));
  win::GlobalUnlock(ansi);
  win::CloseClipboard();
}

TEST_F(UcDialogsTest, TablesRejectValuesOutsideThem) {
  EXPECT_EQ(GetMessageCaption(forms::mtInformation), u"Information");
  EXPECT_EQ(GetMessageCaption(forms::mtCustom), u"");
  EXPECT_EQ(GetButtonCaption(forms::mbNoToAll), u"N&o to All");
  try {
    GetMessageCaption(static_cast<forms::TMsgDlgType>(7));
    FAIL() << "no exception";
  } catch (const EUcInternalError& e) {
    EXPECT_EQ(e.Message(), "Unexpected MsgType in GetMessageCaption.");
  }
  try {
    GetButtonCaption(static_cast<forms::TMsgDlgBtn>(11));
    FAIL() << "no exception";
  } catch (const EUcInternalError& e) {
    EXPECT_EQ(e.Message(), "Unexpected MsgDlgBtn in GetButtonCaption.");
  }
}

// The message hook: characters above U+00FF typed into a Unicode window
// are offered to the application's message event and dispatched wide; the
// 8-bit loop then sees a null message.
std::vector<win::WPARAM> g_chars;
win::LRESULT RecordChars(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam) {
  if (msg == win::WM_CHAR) g_chars.push_back(wParam);
  return win::DefWindowProcW(hwnd, msg, wParam, lParam);
}

TEST_F(UcDialogsTest, MessageHookDeliversCharactersAboveFF) {
  win::WNDCLASSW wc{};
  wc.lpfnWndProc = &RecordChars;
  wc.lpszClassName = u"UcHookTestWindow";
  win::RegisterClassW(&wc);
  win::HWND wide = win::CreateWindowExW(0, u"UcHookTestWindow", u"", win::WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                        nullptr, nullptr);
  ASSERT_TRUE(win::IsWindowUnicode(wide));
  std::vector<win::WPARAM> seen;
  bool swallow = false;
  int nulls = 0;
  forms::Application->OnMessage = [&](win::MSG& msg, bool& handled) {
    if (msg.message == win::WM_NULL) ++nulls;
    if (msg.message == win::WM_CHAR) {
      seen.push_back(msg.wParam);
      handled = swallow && msg.wParam > 0xFF;
    }
  };
  InstallUcMessageHook();
  g_chars.clear();
  for (win::WPARAM c : {win::WPARAM{0x4E2D}, win::WPARAM{'a'}, win::WPARAM{0x0416}})
    win::PostMessageW(wide, win::WM_CHAR, c, 0);
  Pump();
  // Each character once to the event and once to the window, in order.
  EXPECT_EQ(seen, (std::vector<win::WPARAM>{0x4E2D, 'a', 0x0416}));
  EXPECT_EQ(g_chars, (std::vector<win::WPARAM>{0x4E2D, 'a', 0x0416}));
  // The 8-bit loop got the two wide ones as null messages.
  EXPECT_EQ(nulls, 2);
  // A handler that takes the message keeps it from the window.
  swallow = true;
  seen.clear();
  g_chars.clear();
  win::PostMessageW(wide, win::WM_CHAR, 0x4E2D, 0);
  Pump();
  EXPECT_EQ(seen, std::vector<win::WPARAM>{0x4E2D});
  EXPECT_TRUE(g_chars.empty());
  RemoveUcMessageHook();
  win::DestroyWindow(wide);
}

}  // namespace
