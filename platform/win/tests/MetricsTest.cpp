#include <gtest/gtest.h>

#include "WinTestUtil.h"
#include "platform/win/Api.h"

namespace {

using namespace win;

TEST(Metrics, ClassicValuesThatFramesAndSkinsBuildOn) {
  SetMonitorLayout({});
  struct Case {
    int index;
    int value;
  };
  const Case cases[] = {
      {SM_CXSCREEN, 1280},   {SM_CYSCREEN, 1024},  {SM_CXVSCROLL, 16},    {SM_CYHSCROLL, 16},
      {SM_CYCAPTION, 19},    {SM_CYSMCAPTION, 15}, {SM_CYMENU, 19},       {SM_CXBORDER, 1},
      {SM_CXFIXEDFRAME, 3},  {SM_CYFIXEDFRAME, 3}, {SM_CXSIZEFRAME, 4},   {SM_CYSIZEFRAME, 4},
      {SM_CXEDGE, 2},        {SM_CXSIZE, 18},      {SM_CXDOUBLECLK, 4},   {SM_CXDRAG, 4},
      {SM_CXICON, 32},       {SM_CXSMICON, 16},    {SM_CMONITORS, 1},     {SM_REMOTESESSION, 0},
      {SM_CXMINTRACK, 112},  {SM_CYMINTRACK, 27},  {12345, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(GetSystemMetrics(c.index), c.value) << c.index;
  struct Colour {
    int index;
    COLORREF value;
  };
  const Colour colours[] = {
      {COLOR_BTNFACE, RGB(212, 208, 200)},     {COLOR_BTNSHADOW, RGB(128, 128, 128)},
      {COLOR_BTNHIGHLIGHT, RGB(255, 255, 255)}, {COLOR_3DDKSHADOW, RGB(64, 64, 64)},
      {COLOR_WINDOW, RGB(255, 255, 255)},      {COLOR_WINDOWTEXT, RGB(0, 0, 0)},
      {COLOR_HIGHLIGHT, RGB(10, 36, 106)},     {COLOR_HIGHLIGHTTEXT, RGB(255, 255, 255)},
      {COLOR_GRAYTEXT, RGB(128, 128, 128)},    {COLOR_ACTIVECAPTION, RGB(10, 36, 106)},
      {COLOR_INFOBK, RGB(255, 255, 225)},      {99, 0},
  };
  for (const auto& c : colours) EXPECT_EQ(GetSysColor(c.index), c.value) << c.index;
  // Tests of colour changes can set and restore them.
  const int index = COLOR_BTNFACE;
  const COLORREF grey = RGB(192, 192, 192);
  EXPECT_TRUE(SetSysColors(1, &index, &grey));
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), grey);
  ResetSysColors();
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(212, 208, 200));
}

TEST(Metrics, TheWheelGoesToTheFocusAndChildrenPassItUp) {
  HWND top = wintest::MakeTopLevel(0, 0, 100, 100);
  HWND child = wintest::MakeChild(top, 0, 0, 50, 50);
  SetFocus(child);
  wintest::Log().Clear();
  InjectMouseMove(500, 500);  // the wheel does not follow the pointer
  InjectMouseWheel(-WHEEL_DELTA);
  PumpMessages();
  const auto wheels = wintest::Log().Of(WM_MOUSEWHEEL);
  ASSERT_EQ(wheels.size(), 2u);
  EXPECT_EQ(wheels[0].hwnd, child);
  EXPECT_EQ(wheels[1].hwnd, top);  // the default procedure hands it to the parent
  EXPECT_EQ(static_cast<int16_t>(HIWORD(wheels[0].wParam)), -WHEEL_DELTA);
  wintest::Cleanup();
}

}  // namespace
