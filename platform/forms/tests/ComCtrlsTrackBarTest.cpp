#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/forms/ComCtrls.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/rtl/Clock.h"
#include "platform/win/Api.h"

using namespace forms;
using formstest::FormsFixture;

namespace {

class TrackBarTest : public FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(100, 100, 400, 300);
    bar = new TTrackBar(form);
    bar->SetParent(form);
    bar->SetBounds(10, 10, 200, 45);
    bar->OnChange = [this](TObject*) { changes.push_back(bar->Position()); };
    // The parent's view of the notifications, as a form handler sees them.
    auto inner = form->WindowProc;
    form->WindowProc = [this, inner](TMessage& m) {
      if (m.Msg == win::WM_HSCROLL || m.Msg == win::WM_VSCROLL)
        codes.push_back((m.Msg == win::WM_VSCROLL ? "v" : "h") + std::to_string(win::LOWORD(m.WParam)));
      inner(m);
    };
  }
  void ShowForm() {
    form->Show();
    Pump();
  }
  win::LRESULT Msg(win::UINT msg, win::WPARAM w = 0, win::LPARAM l = 0) {
    return win::SendMessageA(bar->Handle(), msg, w, l);
  }
  win::RECT Thumb() {
    win::RECT r{};
    Msg(win::TBM_GETTHUMBRECT, 0, reinterpret_cast<win::LPARAM>(&r));
    return r;
  }
  TForm* form = nullptr;
  TTrackBar* bar = nullptr;
  std::vector<int> changes;
  std::vector<std::string> codes;
};

TEST_F(TrackBarTest, PositionByCodeFiresOnChangeOnlyWhenItChangesAndStaysInRange) {
  bar->SetRange(-32768, 32767);
  bar->SetPosition(100);
  bar->SetPosition(100);
  bar->SetPosition(40000);
  EXPECT_EQ(changes, (std::vector<int>{100, 32767}));
  ShowForm();
  // The window takes the wrapper's values, beyond 16 bits too.
  EXPECT_EQ(Msg(win::TBM_GETRANGEMIN), -32768);
  EXPECT_EQ(Msg(win::TBM_GETRANGEMAX), 32767);
  EXPECT_EQ(Msg(win::TBM_GETPOS), 32767);
  // Narrowing the range pulls the position in and says so.
  bar->SetMax(10);
  EXPECT_EQ(bar->Position(), 10);
  EXPECT_EQ(Msg(win::TBM_GETPOS), 10);
  EXPECT_EQ(changes.back(), 10);
  // TBM_SETPOS sent directly moves the thumb but tells no one.
  Msg(win::TBM_SETPOS, win::TRUE, 5);
  EXPECT_EQ(Msg(win::TBM_GETPOS), 5);
  EXPECT_TRUE(codes.empty());
}

TEST_F(TrackBarTest, KeysStepByLineAndPageAndTellTheParent) {
  bar->SetRange(0, 20);
  bar->SetLineSize(2);
  bar->SetPageSize(5);
  ShowForm();
  bar->SetFocus();
  Pump();
  struct Case {
    win::UINT vk;
    int want;
    std::string code;
  } cases[] = {
      {win::VK_RIGHT, 2, "h1"}, {win::VK_DOWN, 4, "h1"},  {win::VK_NEXT, 9, "h3"}, {win::VK_LEFT, 7, "h0"},
      {win::VK_PRIOR, 2, "h2"}, {win::VK_PRIOR, 0, "h2"}, {win::VK_END, 20, "h7"}, {win::VK_RIGHT, 20, "h1"},
      {win::VK_HOME, 0, "h6"},
  };
  for (const Case& c : cases) {
    codes.clear();
    Key(c.vk);
    EXPECT_EQ(bar->Position(), c.want) << c.vk;
    // The step, then the end of the move when the key comes up.
    EXPECT_EQ(codes, (std::vector<std::string>{c.code, "h8"})) << c.vk;
  }
  EXPECT_EQ(changes, (std::vector<int>{2, 4, 9, 7, 2, 0, 20, 0}));
}

TEST_F(TrackBarTest, DraggingTheThumbTracksAndClickingTheChannelPages) {
  bar->SetRange(0, 100);
  bar->SetPageSize(10);
  ShowForm();
  const win::RECT th = Thumb();
  const int y = (th.top + th.bottom) / 2;
  const int x = (th.left + th.right) / 2;
  win::RECT ch{};
  Msg(win::TBM_GETCHANNELRECT, 0, reinterpret_cast<win::LPARAM>(&ch));
  EXPECT_LE(ch.left, th.left);
  EXPECT_GT(ch.right, th.right + 100);

  const win::POINT from = At(bar, x, y);
  win::InjectMouseMove(from.x, from.y);
  win::InjectMouseButton(0, true);
  Pump();
  // Halfway along the channel is half the range.
  const int mid = (ch.left + ch.right) / 2;
  const win::POINT to = At(bar, mid, y);
  win::InjectMouseMove(to.x, to.y);
  Pump();
  EXPECT_NEAR(bar->Position(), 50, 1);
  // The pointer leaving the control keeps dragging, held at the end.
  const win::POINT far = At(bar, 1000, y);
  win::InjectMouseMove(far.x, far.y);
  Pump();
  EXPECT_EQ(bar->Position(), 100);
  win::InjectMouseButton(0, false);
  Pump();
  ASSERT_GE(codes.size(), 3u);
  EXPECT_EQ(codes.front(), "h5");
  EXPECT_EQ(std::vector<std::string>(codes.end() - 2, codes.end()), (std::vector<std::string>{"h4", "h8"}));

  // A click on the channel before the thumb pages back.
  codes.clear();
  Click(bar, ch.left + 2, y);
  EXPECT_EQ(bar->Position(), 90);
  EXPECT_EQ(codes, (std::vector<std::string>{"h2", "h8"}));
}

TEST_F(TrackBarTest, TicksFollowFrequencyAndStyle) {
  bar->SetRange(0, 10);
  bar->SetFrequency(3);
  ShowForm();
  // Ends plus 3, 6, 9.
  EXPECT_EQ(Msg(win::TBM_GETNUMTICS), 5);
  EXPECT_EQ(Msg(win::TBM_GETTIC, 0), 3);
  EXPECT_EQ(Msg(win::TBM_GETTIC, 2), 9);
  EXPECT_EQ(Msg(win::TBM_GETTIC, 3), -1);
  // Tick positions grow along the channel.
  EXPECT_LT(Msg(win::TBM_GETTICPOS, 0), Msg(win::TBM_GETTICPOS, 1));

  // Ticks on both sides put the thumb in the middle.
  EXPECT_EQ(Thumb().top, 4);
  bar->SetTickMarks(tmBoth);
  EXPECT_EQ(Thumb().top, (45 - 20) / 2);
  bar->SetTickStyle(tsManual);
  EXPECT_EQ(Msg(win::TBM_GETNUMTICS), 2);
  bar->SetTick(7);
  bar->SetTick(2);
  bar->SetTick(7);
  EXPECT_EQ(Msg(win::TBM_GETNUMTICS), 4);
  EXPECT_EQ(Msg(win::TBM_GETTIC, 0), 2);
  bar->SetTickStyle(tsNone);
  EXPECT_EQ(Msg(win::TBM_GETNUMTICS), 0);
  // The window re-made for the style keeps the values.
  EXPECT_EQ(Msg(win::TBM_GETRANGEMAX), 10);
}

TEST_F(TrackBarTest, VerticalBarTurnsAndReportsOnVScroll) {
  bar->SetRange(0, 10);
  bar->SetOrientation(trVertical);
  EXPECT_EQ(bar->Width(), 45);
  EXPECT_EQ(bar->Height(), 200);
  bar->SetThumbLength(16);
  bar->SetSelStart(2);
  bar->SetSelEnd(6);
  ShowForm();
  EXPECT_EQ(Msg(win::TBM_GETTHUMBLENGTH), 16);
  EXPECT_EQ(Msg(win::TBM_GETSELSTART), 2);
  EXPECT_EQ(Msg(win::TBM_GETSELEND), 6);
  const win::RECT top = Thumb();
  EXPECT_EQ(top.right - top.left, 16);
  bar->SetFocus();
  Pump();
  Key(win::VK_DOWN);
  EXPECT_EQ(bar->Position(), 1);
  EXPECT_EQ(codes, (std::vector<std::string>{"v1", "v8"}));
  EXPECT_GT(Thumb().top, top.top);
}

}  // namespace

namespace {

TEST_F(TrackBarTest, HoldingTheChannelPagesUntilTheThumbReachesThePointer) {
  rtl::ScopedVirtualClock clock;
  bar->SetRange(0, 100);
  bar->SetPageSize(10);
  ShowForm();
  const int y = (Thumb().top + Thumb().bottom) / 2;
  const win::POINT p = At(bar, 150, y);
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
  // Stopped with the thumb under the pointer, three quarters along.
  EXPECT_GE(bar->Position(), 60);
  EXPECT_LE(bar->Position(), 80);
  win::InjectMouseButton(0, false);
  Pump();
  EXPECT_EQ(codes.back(), "h8");
  EXPECT_EQ(std::count(codes.begin(), codes.end(), "h8"), 1);
}

}  // namespace
