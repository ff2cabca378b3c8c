#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/forms/ComCtrls.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/rtl/Clock.h"
#include "platform/win/Api.h"

using namespace forms;
using formstest::FormsFixture;

namespace {

class UpDownTest : public FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(100, 100, 400, 300);
    edit = new TEdit(form);
    edit->SetParent(form);
    edit->SetBounds(10, 10, 100, 21);
    ud = new TUpDown(form);
    ud->SetParent(form);
    ud->OnClick = [this](TObject*, TUDBtnType b) { log.push_back((b == btNext ? "next" : "prev") + Pos()); };
    ud->OnChanging = [this](TObject*, bool& allow) {
      log.push_back("changing" + Pos());
      allow = allowChange;
    };
  }
  std::string Pos() { return std::to_string(ud->Position()); }
  void ShowForm() {
    form->Show();
    Pump();
  }
  TForm* form = nullptr;
  TEdit* edit = nullptr;
  TUpDown* ud = nullptr;
  std::vector<std::string> log;
  bool allowChange = true;
};

TEST_F(UpDownTest, AssociateSitsBesideTheEditAndShowsThePosition) {
  ud->SetMax(2000);
  ud->SetPosition(1234);
  ud->SetAssociate(edit);
  ShowForm();
  // Position set by code fires nothing.
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(edit->Text(), "1,234");
  EXPECT_EQ(edit->Width() + ud->Width(), 100);
  EXPECT_EQ(ud->Left(), edit->Left() + edit->Width());
  EXPECT_EQ(ud->Height(), edit->Height());
  ud->SetThousands(false);
  EXPECT_EQ(edit->Text(), "1234");
  // The window re-made for the style takes no more room from the edit.
  EXPECT_EQ(edit->Width() + ud->Width(), 100);
  // Typing into the edit is the position from then on.
  edit->SetText("77");
  EXPECT_EQ(ud->Position(), 77);
  ud->SetPosition(5000);
  EXPECT_EQ(ud->Position(), 2000);
}

TEST_F(UpDownTest, ClicksStepByIncrementAskFirstAndStopOrWrapAtTheEnds) {
  ud->SetAssociate(edit);
  ud->SetMax(10);
  ud->SetIncrement(4);
  ud->SetPosition(4);
  ShowForm();
  const int upY = 3, downY = ud->Height() - 3;
  Click(ud, 5, upY);
  Click(ud, 5, upY);
  EXPECT_EQ(log, (std::vector<std::string>{"changing4", "next8", "changing8", "next10"}));
  EXPECT_EQ(edit->Text(), "10");
  log.clear();
  allowChange = false;
  Click(ud, 5, downY);
  EXPECT_EQ(ud->Position(), 10);
  EXPECT_EQ(log, (std::vector<std::string>{"changing10"}));
  allowChange = true;
  ud->SetWrap(true);
  log.clear();
  Click(ud, 5, upY);
  EXPECT_EQ(ud->Position(), 0);
  // A wrap past the top is still a step up.
  EXPECT_EQ(log, (std::vector<std::string>{"changing10", "next0"}));
  log.clear();
  Click(ud, 5, downY);
  EXPECT_EQ(log, (std::vector<std::string>{"changing0", "prev10"}));
}

TEST_F(UpDownTest, ArrowKeysInTheEditStepUnlessTurnedOff) {
  ud->SetAssociate(edit);
  ud->SetPosition(5);
  ShowForm();
  edit->SetFocus();
  Pump();
  Key(win::VK_UP);
  Key(win::VK_UP);
  Key(win::VK_DOWN);
  EXPECT_EQ(ud->Position(), 6);
  EXPECT_EQ(log, (std::vector<std::string>{"changing5", "next6", "changing6", "next7", "changing7", "prev6"}));
  ud->SetArrowKeys(false);
  edit->SetFocus();
  Pump();
  Key(win::VK_UP);
  EXPECT_EQ(ud->Position(), 6);
}

TEST_F(UpDownTest, HorizontalButtonsAndTheUdmMessages) {
  ud->SetOrientation(udHorizontal);
  ud->SetBounds(200, 10, 30, 17);
  ud->SetMin(-5);
  ud->SetMax(5);
  ShowForm();
  Click(ud, 25, 8);
  Click(ud, 25, 8);
  Click(ud, 3, 8);
  EXPECT_EQ(ud->Position(), 1);
  win::HWND h = ud->Handle();
  int lo = 0, hi = 0;
  win::SendMessageA(h, win::UDM_GETRANGE32, reinterpret_cast<win::WPARAM>(&lo), reinterpret_cast<win::LPARAM>(&hi));
  EXPECT_EQ(lo, -5);
  EXPECT_EQ(hi, 5);
  EXPECT_EQ(win::SendMessageA(h, win::UDM_SETPOS, 0, win::MAKELPARAM(static_cast<win::WORD>(-3), 0)), 1);
  EXPECT_EQ(win::LOWORD(static_cast<uintptr_t>(win::SendMessageA(h, win::UDM_GETPOS, 0, 0))), 0xFFFD);
  // A range given upside down: the up button goes down.
  win::SendMessageA(h, win::UDM_SETRANGE, 0, win::MAKELPARAM(0, 10));
  EXPECT_EQ(win::SendMessageA(h, win::UDM_GETPOS32, 0, 0), 0);
  win::SendMessageA(h, win::UDM_SETPOS32, 0, 5);
  Click(ud, 25, 8);
  EXPECT_EQ(win::SendMessageA(h, win::UDM_GETPOS32, 0, 0), 4);
}

}  // namespace

namespace {

TEST_F(UpDownTest, HoldingAButtonRepeatsAfterAPause) {
  rtl::ScopedVirtualClock clock;
  ShowForm();
  const win::POINT p = At(ud, 5, 3);
  win::InjectMouseMove(p.x, p.y);
  win::InjectMouseButton(0, true);
  Pump();
  EXPECT_EQ(ud->Position(), 1);
  clock.Advance(399);
  Pump();
  EXPECT_EQ(ud->Position(), 1);
  clock.Advance(1);
  Pump();
  EXPECT_EQ(ud->Position(), 2);
  for (int i = 0; i < 3; ++i) {
    clock.Advance(100);
    Pump();
  }
  EXPECT_EQ(ud->Position(), 5);
  win::InjectMouseButton(0, false);
  Pump();
  clock.Advance(1000);
  Pump();
  EXPECT_EQ(ud->Position(), 5);
}

}  // namespace
