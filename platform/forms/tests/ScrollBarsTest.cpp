#include "platform/forms/ScrollBars.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/rtl/Clock.h"
#include "platform/win/Api.h"

using namespace forms;
using formstest::FormsFixture;

namespace {

class ScrollBarsTest : public FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(100, 100, 400, 300);
    bar = new TScrollBar(form);
    bar->SetParent(form);
    bar->SetBounds(10, 10, 200, 17);
    bar->OnChange = [this](TObject*) { log.push_back("change" + std::to_string(bar->Position())); };
    bar->OnScroll = [this](TObject*, TScrollCode code, int& pos) {
      log.push_back("scroll" + std::to_string(code) + ":" + std::to_string(pos));
      if (clampTo >= 0) pos = std::min(pos, clampTo);
    };
  }
  void ShowForm() {
    form->Show();
    Pump();
  }
  win::SCROLLINFO Info() {
    win::SCROLLINFO si;
    si.fMask = win::SIF_ALL;
    win::GetScrollInfo(bar->Handle(), win::SB_CTL, &si);
    return si;
  }
  TForm* form = nullptr;
  TScrollBar* bar = nullptr;
  std::vector<std::string> log;
  int clampTo = -1;
};

TEST_F(ScrollBarsTest, PositionByCodeFiresOnChangeAndReachesTheWindow) {
  bar->SetParams(50, 0, 1000);
  bar->SetPageSize(100);
  ShowForm();
  EXPECT_EQ(log, (std::vector<std::string>{"change50"}));
  win::SCROLLINFO si = Info();
  EXPECT_EQ(si.nMax, 1000);
  EXPECT_EQ(si.nPage, 100u);
  EXPECT_EQ(si.nPos, 50);
  // The window keeps its position within max - page + 1, as window bars do.
  bar->SetPosition(1000);
  EXPECT_EQ(bar->Position(), 1000);
  EXPECT_EQ(Info().nPos, 901);
  EXPECT_THROW(bar->SetParams(0, 10, 5), rtl::Exception);
  EXPECT_THROW(bar->SetPageSize(2000), rtl::Exception);
}

TEST_F(ScrollBarsTest, ArrowsTrackAndKeysStepThroughOnScroll) {
  bar->SetMax(20);
  bar->SetSmallChange(2);
  bar->SetLargeChange(5);
  ShowForm();
  Click(bar, 200 - 5, 8);  // the right arrow
  Click(bar, 5, 8);        // the left arrow
  Click(bar, 150, 8);      // the track right of the thumb
  EXPECT_EQ(log, (std::vector<std::string>{"scroll1:2", "change2", "scroll8:2", "scroll0:0", "change0", "scroll8:0",
                                           "scroll3:5", "change5", "scroll8:5"}));
  bar->SetFocus();
  Pump();
  log.clear();
  clampTo = 7;
  Key(win::VK_END);
  EXPECT_EQ(bar->Position(), 7);
  Key(win::VK_HOME);
  EXPECT_EQ(bar->Position(), 0);
  EXPECT_EQ(log, (std::vector<std::string>{"scroll7:20", "change7", "scroll8:7", "scroll6:0", "change0",
                                           "scroll8:0"}));
}

TEST_F(ScrollBarsTest, DraggingTheThumbTracksWithThe32BitPosition) {
  bar->SetParams(0, 0, 100000);
  ShowForm();
  // The thumb starts just after the left arrow.
  const win::POINT from = At(bar, 17 + 4, 8);
  win::InjectMouseMove(from.x, from.y);
  win::InjectMouseButton(0, true);
  Pump();
  const win::POINT to = At(bar, 200, 8);
  win::InjectMouseMove(to.x, to.y);
  Pump();
  EXPECT_EQ(bar->Position(), 100000);
  win::InjectMouseButton(0, false);
  Pump();
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log.front(), "scroll5:100000");
  EXPECT_EQ(log[log.size() - 2], "scroll4:100000");
  EXPECT_EQ(log.back(), "scroll8:100000");
}

TEST_F(ScrollBarsTest, VerticalKindAndTheFlatCallsOnControlsAndWindows) {
  bar->SetKind(sbVertical);
  EXPECT_EQ(bar->Width(), 17);
  EXPECT_EQ(bar->Height(), 200);
  ShowForm();
  win::HWND h = bar->Handle();
  EXPECT_NE(win::GetWindowLongA(h, win::GWL_STYLE) & win::SBS_VERT, 0);
  EXPECT_TRUE(InitializeFlatSB(h));
  win::SCROLLINFO si;
  si.fMask = win::SIF_RANGE | win::SIF_POS;
  si.nMin = 0;
  si.nMax = 10;
  si.nPos = 4;
  EXPECT_EQ(FlatSB_SetScrollInfo(h, win::SB_CTL, &si, win::TRUE), 4);
  EXPECT_EQ(FlatSB_GetScrollPos(h, win::SB_CTL), 4);
  int lo = -1, hi = -1;
  EXPECT_TRUE(FlatSB_GetScrollRange(h, win::SB_CTL, &lo, &hi));
  EXPECT_EQ(hi, 10);
  // Arrows switched off take no clicks.
  FlatSB_EnableScrollBar(h, win::SB_CTL, win::ESB_DISABLE_BOTH);
  log.clear();
  Click(bar, 8, 200 - 5);
  EXPECT_TRUE(log.empty());
  FlatSB_EnableScrollBar(h, win::SB_CTL, win::ESB_ENABLE_BOTH);
  Click(bar, 8, 200 - 5);
  EXPECT_FALSE(log.empty());

  // The form's own bar through the same calls.
  win::HWND f = form->Handle();
  si.fMask = win::SIF_RANGE | win::SIF_PAGE | win::SIF_POS;
  si.nMax = 99;
  si.nPage = 10;
  si.nPos = 95;
  EXPECT_EQ(FlatSB_SetScrollInfo(f, win::SB_VERT, &si, win::TRUE), 90);
  EXPECT_NE(win::GetWindowLongA(f, win::GWL_STYLE) & win::WS_VSCROLL, 0);
  FlatSB_ShowScrollBar(f, win::SB_VERT, win::FALSE);
  EXPECT_EQ(win::GetWindowLongA(f, win::GWL_STYLE) & win::WS_VSCROLL, 0);
  int v = 0;
  EXPECT_TRUE(FlatSB_GetScrollProp(f, WSB_PROP_VSTYLE, &v));
  EXPECT_EQ(v, FSB_REGULAR_MODE);
  FlatSB_SetScrollProp(f, WSB_PROP_VSTYLE, FSB_FLAT_MODE, win::FALSE);
  EXPECT_TRUE(FlatSB_GetScrollProp(f, WSB_PROP_VSTYLE, &v));
  EXPECT_EQ(v, FSB_FLAT_MODE);
  EXPECT_EQ(UninitializeFlatSB(f), 0);
}

}  // namespace

namespace {

TEST_F(ScrollBarsTest, HoldingTheTrackRepeatsUntilTheThumbReachesThePointer) {
  rtl::ScopedVirtualClock clock;
  bar->SetMax(100);
  bar->SetPageSize(10);
  bar->SetLargeChange(10);
  ShowForm();
  const win::POINT p = At(bar, 120, 8);
  win::InjectMouseMove(p.x, p.y);
  win::InjectMouseButton(0, true);
  Pump();
  EXPECT_EQ(bar->Position(), 10);
  clock.Advance(399);
  Pump();
  EXPECT_EQ(bar->Position(), 10);
  for (int i = 0; i < 20; ++i) {
    clock.Advance(i == 0 ? 1 : 100);
    Pump();
  }
  // The thumb stopped under the pointer, short of the end.
  EXPECT_GT(bar->Position(), 10);
  EXPECT_LT(bar->Position(), 91);
  const int stopped = bar->Position();
  win::InjectMouseButton(0, false);
  Pump();
  clock.Advance(1000);
  Pump();
  EXPECT_EQ(bar->Position(), stopped);
}

}  // namespace
