// Wide hints: a wide control's hint shows in the wide hint window with its
// wide text, also outside the ANSI code page, and with the action's
// shortcut in the "%s (%s)" form.
#include <gtest/gtest.h>

#include "controls/tests/UcTestUtil.h"
#include "controls/uc/UcControls.h"
#include "controls/uc/UcStdCtrls.h"
#include "controls/uc/UcSysUtils.h"
#include "controls/uc/UcWindows.h"
#include "platform/forms/Actions.h"
#include "platform/forms/HintWindow.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/Text.h"
#include "platform/win/Api.h"

using namespace controls;

namespace {

class UcHintTest : public formstest::FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    forms::InstallHintWindows();
    form_ = new forms::TForm(nullptr);
    form_->SetBorderStyle(forms::bsNone);
    form_->SetBounds(0, 0, 300, 120);
  }
  void TearDown() override {
    forms::Application->OnShowHint = nullptr;
    forms::Application->ShowHintWindow = nullptr;
    forms::Application->HideHintWindow = nullptr;
    FormsFixture::TearDown();
  }
  // Rests the mouse on the control until its hint shows.
  TUcCustomHintWindow* HintOver(forms::TControl* c) {
    MoveTo(c, 4, 4);
    clock_.Advance(forms::Application->HintPause());
    return dynamic_cast<TUcCustomHintWindow*>(forms::ShownHintWindow());
  }

  rtl::ScopedVirtualClock clock_;
  forms::TForm* form_ = nullptr;
};

TEST_F(UcHintTest, TheWideHintShowsTextOutsideTheAnsiCodePage) {
  uctest::AnsiCodePage cp(1252);
  auto* label = new TUcLabel(form_);
  label->SetParent(form_);
  label->SetBounds(10, 10, 80, 20);
  label->SetCaption(u"Name");
  label->SetHint(u"\u0424\u0430\u0439\u043b \u4e2d|the long part");
  label->SetShowHint(true);
  form_->Show();
  Pump();
  TUcCustomHintWindow* w = HintOver(label);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->WideCaption(), u"\u0424\u0430\u0439\u043b \u4e2d");
  // The 8-bit hint could not carry it.
  EXPECT_EQ(w->Caption(), "???? ?");
  // Sized from the wide text.
  win::RECT r{0, 0, forms::Screen->Width(), 0};
  WDrawText(w->Canvas()->Handle(), w->WideCaption().c_str(), -1, &r, win::DT_CALCRECT | win::DT_NOPREFIX | win::DT_WORDBREAK);
  EXPECT_EQ(w->Width(), r.right + 6);
  EXPECT_EQ(w->Height(), r.bottom + 2);

  // A handler that changes the hint string is obeyed.
  forms::Application->OnShowHint = [](rtl::String& hint, bool&, forms::THintInfo&) { hint = "Changed"; };
  MoveTo(form_, 200, 100);
  w = HintOver(label);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->WideCaption(), u"Changed");
}

TEST_F(UcHintTest, ActionShortcutsFollowTheWideHint) {
  auto* action = new forms::TAction(form_);
  action->SetShortCut(forms::ShortCut('Q', forms::TShiftState{forms::ssCtrl}));
  auto* button = new TUcButton(form_);
  button->SetParent(form_);
  button->SetBounds(10, 10, 80, 24);
  button->SetAction(action);
  button->SetHint(u"\u0412\u044b\u0445\u043e\u0434");
  button->SetShowHint(true);
  form_->Show();
  Pump();
  TUcCustomHintWindow* w = HintOver(button);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->WideCaption(), u"\u0412\u044b\u0445\u043e\u0434 (Ctrl+Q)");
  // Without the application's shortcuts the hint stands alone.
  forms::Application->SetHintShortCuts(false);
  MoveTo(form_, 200, 100);
  w = HintOver(button);
  forms::Application->SetHintShortCuts(true);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->WideCaption(), u"\u0412\u044b\u0445\u043e\u0434");
}

TEST_F(UcHintTest, PrepareWideHintLeavesOtherHintWindowClassesAlone) {
  auto* label = new TUcLabel(form_);
  label->SetParent(form_);
  label->SetHint(u"\u4e2d");
  const forms::THintWindowClassInfo foreign{&forms::THintWindow::ClassInfo, nullptr};
  forms::THintInfo info;
  info.HintControl = label;
  info.HintWindowClass = &foreign;
  info.HintStr = "plain";
  forms::TMessage m{forms::CM_HINTSHOW, 0, reinterpret_cast<win::LPARAM>(&info), 0};
  PrepareWideHint(m);
  EXPECT_EQ(info.HintWindowClass, &foreign);
  EXPECT_EQ(info.HintData, nullptr);
  EXPECT_EQ(info.HintStr, "plain");
  EXPECT_FALSE(IsWideHintData(&info));
  // The plain class is switched and the record marked as its own.
  info.HintWindowClass = &forms::THintWindow::ClassInfo;
  PrepareWideHint(m);
  EXPECT_EQ(info.HintWindowClass, &TUcCustomHintWindow::ClassInfo);
  EXPECT_TRUE(IsWideHintData(&info));
  EXPECT_EQ(rtl::AnsiToWide(info.HintStr), u"\u4e2d");
  // Off the Unicode platform nothing changes.
  ForcePlatformFlag ansi(false);
  forms::THintInfo plain;
  plain.HintControl = label;
  plain.HintWindowClass = &forms::THintWindow::ClassInfo;
  forms::TMessage m2{forms::CM_HINTSHOW, 0, reinterpret_cast<win::LPARAM>(&plain), 0};
  PrepareWideHint(m2);
  EXPECT_EQ(plain.HintWindowClass, &forms::THintWindow::ClassInfo);
}

}  // namespace
