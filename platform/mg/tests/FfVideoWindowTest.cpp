// The video renderer's window in the window system's headless display.
#include <gtest/gtest.h>

#include "platform/mg/ffmpeg/FfVideoWindow.h"
#include "platform/mg/tests/FfTestSupport.h"
#include "platform/win/Api.h"

namespace mg {
namespace {

win::HWND MakeOwner(int x, int y, int w, int h) {
  static const bool registered = [] {
    win::WNDCLASSA wc{};
    wc.lpfnWndProc = [](win::HWND hwnd, win::UINT msg, win::WPARAM wp, win::LPARAM lp) {
      return win::DefWindowProc(hwnd, msg, wp, lp);
    };
    wc.lpszClassName = "FfVideoOwner";
    return win::RegisterClassA(&wc) != 0;
  }();
  EXPECT_TRUE(registered);
  return win::CreateWindowExA(0, "FfVideoOwner", "Owner", win::WS_POPUP | win::WS_VISIBLE, x, y, w, h, nullptr,
                              nullptr, nullptr, nullptr);
}

// Solid frames of one colour (bottom-up BGR).
std::shared_ptr<CallbackSource> SolidSource(uint8_t r, uint8_t g, uint8_t b) {
  return test::MakeSource(MEDIASUBTYPE_RGB24, 16, 12, [=](uint8_t* buf, long size, int64_t) {
    for (long i = 0; i + 2 < size; i += 3) {
      buf[i] = b;
      buf[i + 1] = g;
      buf[i + 2] = r;
    }
    return size;
  });
}

TEST(FfVideoWindow, ChildWindowFollowsTheInterfaceAndPaintsTheLastFrame) {
  ff::RegisterFfmpegFilters();
  win::HWND owner = MakeOwner(100, 100, 200, 150);
  ASSERT_TRUE(owner);
  {
    test::ManualGraph g;
    auto src = SolidSource(255, 0, 0);
    std::shared_ptr<BaseFilter> f;
    ASSERT_EQ(ClassFactory::CreateInstance(CLSID_VideoRenderer, &f), S_OK);
    auto renderer = std::dynamic_pointer_cast<ff::WindowedVideoRenderer>(f);
    ASSERT_TRUE(renderer);
    g.graph->AddFilter(src, "Camera");
    g.graph->AddFilter(renderer, "Video Renderer");
    ASSERT_EQ(g.graph->ConnectDirect(src->Output(), renderer->Input(), nullptr), S_OK);

    auto window = QueryInterface<IVideoWindow>(g.graph);
    ASSERT_TRUE(window);
    ASSERT_EQ(window->put_Owner(owner), S_OK);
    ASSERT_EQ(window->put_WindowStyle(static_cast<LONG>(win::WS_CHILD | win::WS_CLIPSIBLINGS)), S_OK);
    ASSERT_EQ(window->SetWindowPosition(10, 20, 80, 60), S_OK);
    ASSERT_EQ(window->put_Visible(OATRUE), S_OK);
    win::HWND hwnd = renderer->Window();
    ASSERT_TRUE(hwnd);
    char cls[32] = {};
    win::GetClassNameA(hwnd, cls, sizeof cls);
    EXPECT_STREQ(cls, "VideoRenderer");
    EXPECT_EQ(win::GetParent(hwnd), owner);
    EXPECT_TRUE(win::IsWindowVisible(hwnd));
    win::RECT r{};
    win::GetWindowRect(hwnd, &r);
    EXPECT_EQ(r, (win::RECT{110, 120, 190, 180}));

    g.graph->Run();
    g.scheduler->Pump(1);
    win::UpdateWindow(hwnd);
    EXPECT_EQ(win::GetScreenPixel(150, 150), win::RGB(255, 0, 0));
    EXPECT_EQ(win::GetScreenPixel(105, 105), win::GetScreenPixel(105, 190)) << "outside the video stays the owner's";

    // Painted over, the window draws its frame again on WM_PAINT.
    win::HDC dc = win::GetDC(hwnd);
    win::RECT all{0, 0, 80, 60};
    win::FillRect(dc, &all, reinterpret_cast<win::HBRUSH>(win::GetStockObject(win::WHITE_BRUSH)));
    win::ReleaseDC(hwnd, dc);
    EXPECT_EQ(win::GetScreenPixel(150, 150), win::RGB(255, 255, 255));
    win::InvalidateRect(hwnd, nullptr, win::FALSE);
    win::UpdateWindow(hwnd);
    EXPECT_EQ(win::GetScreenPixel(150, 150), win::RGB(255, 0, 0));

    // Full screen takes the window out of its owner and back.
    ASSERT_EQ(window->put_FullScreenMode(OATRUE), S_OK);
    EXPECT_EQ(win::GetParent(hwnd), nullptr);
    win::GetWindowRect(hwnd, &r);
    EXPECT_EQ(r.right - r.left, win::GetSystemMetrics(win::SM_CXSCREEN));
    ASSERT_EQ(window->put_FullScreenMode(OAFALSE), S_OK);
    EXPECT_EQ(win::GetParent(hwnd), owner);
    win::GetWindowRect(hwnd, &r);
    EXPECT_EQ(r, (win::RECT{110, 120, 190, 180}));

    ASSERT_EQ(window->put_Visible(OAFALSE), S_OK);
    EXPECT_FALSE(win::IsWindowVisible(hwnd));
    g.graph->Stop();
  }
  win::DestroyWindow(owner);
}

TEST(FfVideoWindow, MouseAndKeysGoToTheDrainInItsOwnCoordinates) {
  ff::RegisterFfmpegFilters();
  win::HWND owner = MakeOwner(100, 100, 200, 150);
  ASSERT_TRUE(owner);
  {
    std::shared_ptr<BaseFilter> f;
    ASSERT_EQ(ClassFactory::CreateInstance(CLSID_VideoRenderer, &f), S_OK);
    auto renderer = std::dynamic_pointer_cast<ff::WindowedVideoRenderer>(f);
    ASSERT_TRUE(renderer);
    renderer->put_Owner(owner);
    renderer->put_WindowStyle(static_cast<LONG>(win::WS_CHILD));
    renderer->SetWindowPosition(10, 20, 80, 60);
    renderer->put_Visible(OATRUE);
    win::HWND hwnd = renderer->Window();
    win::MSG m{};
    // Without a drain the window keeps them.
    win::SendMessageA(hwnd, win::WM_LBUTTONDOWN, win::MK_LBUTTON, win::MAKELPARAM(5, 6));
    EXPECT_FALSE(win::PeekMessageA(&m, owner, win::WM_LBUTTONDOWN, win::WM_LBUTTONDOWN, win::PM_REMOVE));
    renderer->put_MessageDrain(owner);
    struct Case {
      win::UINT msg;
      win::LPARAM sent, expected;
    };
    for (const Case c : {Case{win::WM_LBUTTONDOWN, win::MAKELPARAM(5, 6), win::MAKELPARAM(15, 26)},
                         Case{win::WM_LBUTTONDBLCLK, win::MAKELPARAM(0, 0), win::MAKELPARAM(10, 20)},
                         Case{win::WM_MOUSEMOVE, win::MAKELPARAM(79, 59), win::MAKELPARAM(89, 79)},
                         Case{win::WM_KEYDOWN, 1, 1}, Case{win::WM_CHAR, 1, 1}}) {
      SCOPED_TRACE(c.msg);
      win::SendMessageA(hwnd, c.msg, 0x1B, c.sent);
      ASSERT_TRUE(win::PeekMessageA(&m, owner, c.msg, c.msg, win::PM_REMOVE));
      EXPECT_EQ(m.lParam, c.expected);
      EXPECT_EQ(m.wParam, 0x1Bu);
    }
    // Painting stays with the renderer.
    win::SendMessageA(hwnd, win::WM_TIMER, 0, 0);
    EXPECT_FALSE(win::PeekMessageA(&m, owner, win::WM_TIMER, win::WM_TIMER, win::PM_REMOVE));
  }
  win::DestroyWindow(owner);
}

}  // namespace
}  // namespace mg
