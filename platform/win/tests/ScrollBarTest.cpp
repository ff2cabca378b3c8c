#include <gtest/gtest.h>

#include "WinTestUtil.h"
#include "platform/win/Api.h"

namespace {

using namespace win;
using wintest::Log;

class ScrollBars : public ::testing::Test {
protected:
  void TearDown() override { wintest::Cleanup(); }
};

std::vector<std::pair<WORD, WORD>> scrolls() {
  std::vector<std::pair<WORD, WORD>> out;
  for (const auto& m : Log().Of(WM_VSCROLL)) out.emplace_back(LOWORD(m.wParam), HIWORD(m.wParam));
  return out;
}

TEST_F(ScrollBars, RangesPagesAndPositionsAreKeptConsistent) {
  HWND h = wintest::MakeTopLevel(0, 0, 116, 200, WS_POPUP | WS_VISIBLE | WS_VSCROLL);
  RECT c;
  GetClientRect(h, &c);
  EXPECT_EQ(c.right, 100);
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0, si.nMax = 99, si.nPage = 10, si.nPos = 500;
  EXPECT_EQ(SetScrollInfo(h, SB_VERT, &si, TRUE), 90);  // the last page starts at 90
  EXPECT_EQ(SetScrollPos(h, SB_VERT, 40, TRUE), 90);
  EXPECT_EQ(GetScrollPos(h, SB_VERT), 40);
  SCROLLINFO got;
  got.fMask = SIF_ALL;
  ASSERT_TRUE(GetScrollInfo(h, SB_VERT, &got));
  EXPECT_EQ(got.nMax, 99);
  EXPECT_EQ(got.nPage, 10u);
  // Nothing left to scroll: the bar goes and the client area grows.
  si.fMask = SIF_RANGE | SIF_PAGE;
  si.nMax = 5;
  si.nPage = 50;
  SetScrollInfo(h, SB_VERT, &si, TRUE);
  EXPECT_FALSE(GetWindowLongA(h, GWL_STYLE) & WS_VSCROLL);
  GetClientRect(h, &c);
  EXPECT_EQ(c.right, 116);
  // Unless asked to stay, disabled.
  si.fMask |= SIF_DISABLENOSCROLL;
  SetScrollInfo(h, SB_VERT, &si, TRUE);
  EXPECT_TRUE(GetWindowLongA(h, GWL_STYLE) & WS_VSCROLL);
  ShowScrollBar(h, SB_HORZ, TRUE);
  GetClientRect(h, &c);
  EXPECT_EQ(c, (RECT{0, 0, 100, 184}));
  int lo = -1, hi = -1;
  EXPECT_TRUE(GetScrollRange(h, SB_HORZ, &lo, &hi));
  EXPECT_EQ(lo, 0);
  EXPECT_EQ(hi, 100);  // the platform's default range
}

TEST_F(ScrollBars, ClicksAndDragsSendScrollMessages) {
  HWND h = wintest::MakeTopLevel(0, 0, 116, 200, WS_POPUP | WS_VISIBLE | WS_VSCROLL);
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0, si.nMax = 99, si.nPage = 10, si.nPos = 0;
  SetScrollInfo(h, SB_VERT, &si, TRUE);
  // Bar at x 100..116: arrows at y 0..16 and 184..200, thumb 16..32.
  EXPECT_EQ(SendMessageA(h, WM_NCHITTEST, 0, MAKELPARAM(108, 100)), HTVSCROLL);
  struct Case {
    int y;
    std::vector<std::pair<WORD, WORD>> expected;
  };
  const Case cases[] = {
      {190, {{SB_LINEDOWN, 0}, {SB_ENDSCROLL, 0}}},
      {5, {{SB_LINEUP, 0}, {SB_ENDSCROLL, 0}}},
      {100, {{SB_PAGEDOWN, 0}, {SB_ENDSCROLL, 0}}},
  };
  for (const auto& c : cases) {
    Log().Clear();
    InjectClick(108, c.y);
    PumpMessages();
    EXPECT_EQ(scrolls(), c.expected) << c.y;
  }
  // Drag the thumb from its middle to the bottom of the track.
  Log().Clear();
  InjectMouseMove(108, 24);
  InjectMouseButton(0, true);
  InjectMouseMove(108, 100);
  InjectMouseMove(108, 400);
  InjectMouseButton(0, false);
  PumpMessages();
  const auto got = scrolls();
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].first, SB_THUMBTRACK);
  EXPECT_EQ(got[0].second, 45);  // 76 of 152 pixels of travel over 90 positions
  EXPECT_EQ(got[1], (std::pair<WORD, WORD>{SB_THUMBTRACK, 90}));
  EXPECT_EQ(got[2], (std::pair<WORD, WORD>{SB_THUMBPOSITION, 90}));
  EXPECT_EQ(got[3].first, SB_ENDSCROLL);
  SCROLLINFO track;
  track.fMask = SIF_TRACKPOS | SIF_POS;
  GetScrollInfo(h, SB_VERT, &track);
  EXPECT_EQ(track.nTrackPos, 90);
  EXPECT_EQ(track.nPos, 0);  // the window sets the position itself
}

}  // namespace
