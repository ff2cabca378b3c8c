// The X11 backend against a private Xvfb server: shapes, pixels and typed
// keys as another X client sees and sends them.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "WinTestUtil.h"
#include "X11Peer.h"
#include "platform/rtl/tests/ToolCheck.h"
#include "platform/win/Api.h"
#include "platform/win/Display.h"
#include "platform/win/X11Backend.h"

namespace {

using namespace win;

class X11Backend : public ::testing::Test {
protected:
  void SetUp() override {
    VORIX_NEED_TOOL(testtools::OnPath("Xvfb"), "Xvfb");
    // Xvfb picks a free display itself and writes its number once it listens.
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    pid_ = ::fork();
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) {
      ::close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      // Its probing for a free display number is noise in the test output.
      if (FILE* null = std::fopen("/dev/null", "w")) ::dup2(::fileno(null), 2);
      ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
               static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(fds[1]);
    std::string number;
    char c;
    while (::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(fds[0]);
    ASSERT_FALSE(number.empty()) << "Xvfb did not start";
    display_ = ":" + number;
    ASSERT_TRUE(InitX11Display(display_.c_str()));
    peer_ = std::make_unique<x11test::Peer>(display_);
    ASSERT_TRUE(peer_->Open());
  }

  void TearDown() override {
    wintest::Cleanup();
    ShutdownDisplay();
    peer_.reset();
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }

  // Delivers what the window system and the server have for each other.
  static void Settle() {
    for (int i = 0; i < 3; ++i) {
      X11Sync();
      PumpMessages();
    }
    X11Sync();
  }

  // The X window's bounding shape as a pixel mask over w x h.
  std::vector<bool> XShapeMask(HWND hwnd, int w, int h) {
    std::vector<bool> mask(static_cast<size_t>(w) * h, false);
    for (const auto& r : peer_->ShapeRects(X11WindowOf(hwnd)))
      for (int y = r.y; y < r.y + r.height; ++y)
        for (int x = r.x; x < r.x + r.width; ++x)
          if (x >= 0 && y >= 0 && x < w && y < h) mask[static_cast<size_t>(y) * w + x] = true;
    return mask;
  }

  // Runs a shell command on the server while this thread keeps serving the
  // X connection; answers what the command printed.
  std::string RunServing(const std::string& command) {
    const DWORD me = GetCurrentThreadId();
    std::string out;
    std::thread worker([&] {
      const std::string cmd = "DISPLAY=" + display_ + " timeout 10 " + command;
      if (FILE* p = ::popen(cmd.c_str(), "r")) {
        char buf[256];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        ::pclose(p);
      }
      PostThreadMessageA(me, WM_APP + 1, 0, 0);
    });
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0 && !(m.hwnd == nullptr && m.message == WM_APP + 1)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    worker.join();
    Settle();
    return out;
  }

  pid_t pid_ = -1;
  std::string display_;
  std::unique_ptr<x11test::Peer> peer_;
};

// A picture with edges in both directions and a transparent corner.
std::shared_ptr<Surface> pattern(int w, int h) {
  auto s = std::make_shared<Surface>(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool key = x < 30 && y < 20;
      const uint32_t a = (x + y) % 5 == 0 || key ? 0 : 255;
      const uint32_t colour = (a << 24) | ((x * 3) << 16 & 0xFF0000) | ((y * 5) << 8 & 0xFF00) | 0x40;
      s->Row(y)[x] = key ? 0xFF00FF00u : a ? colour : 0;
    }
  return s;
}

TEST_F(X11Backend, BoundingShapeFollowsRegionColourKeyAndAlpha) {
  const int w = 160, h = 100;
  struct Case {
    const char* name;
    std::function<HWND()> make;
    std::function<bool(int, int)> inside;
  };
  const auto pic = pattern(w, h);
  const Case cases[] = {
      {"elliptic region",
       [] {
         HWND hwnd = wintest::MakeTopLevel(40, 50, w, h);
         SetWindowRgn(hwnd, CreateEllipticRgn(0, 0, w, h), TRUE);
         return hwnd;
       },
       [ellipse = std::shared_ptr<std::remove_pointer_t<HRGN>>(CreateEllipticRgn(0, 0, w, h), DeleteObject)](
           int x, int y) { return PtInRegion(ellipse.get(), x, y) != FALSE; }},
      {"colour key",
       [&] {
         HWND hwnd = wintest::MakeTopLevel(300, 50, w, h, WS_POPUP | WS_VISIBLE, WS_EX_LAYERED);
         SetLayeredWindowAttributes(hwnd, RGB(0, 255, 0), 255, LWA_COLORKEY);
         wintest::FillWindow(hwnd, 0xFF102030);
         HDC dc = GetWindowDC(hwnd);
         HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
         RECT hole{10, 10, 50, 40};
         FillRect(dc, &hole, green);
         DeleteObject(green);
         ReleaseDC(hwnd, dc);
         return hwnd;
       },
       [](int x, int y) { return !(x >= 10 && x < 50 && y >= 10 && y < 40); }},
      {"per-pixel alpha with key",
       [&] {
         HWND hwnd = wintest::MakeTopLevel(40, 300, w, h, WS_POPUP | WS_VISIBLE, WS_EX_LAYERED);
         const SIZE size{w, h};
         UpdateLayeredWindowFromSurface(hwnd, nullptr, &size, *pic, POINT{0, 0}, RGB(0, 255, 0), 255,
                                        ULW_ALPHA | ULW_COLORKEY);
         return hwnd;
       },
       [&](int x, int y) {
         const uint32_t p = pic->Row(y)[x];
         return (p >> 24) != 0 && (p & 0xFFFFFF) != 0x00FF00;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HWND hwnd = c.make();
    Settle();
    ASSERT_NE(X11WindowOf(hwnd), 0u);
    const auto got = XShapeMask(hwnd, w, h);
    int wrong = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) wrong += got[static_cast<size_t>(y) * w + x] != c.inside(x, y);
    EXPECT_EQ(wrong, 0);
  }
}

TEST_F(X11Backend, UnderACompositorPerPixelAlphaGoesOutWithTheWindow) {
  peer_->ClaimCompositor();
  const int w = 90, h = 40;
  auto pic = pattern(w, h);
  HWND hwnd = wintest::MakeTopLevel(10, 10, w, h, WS_POPUP | WS_VISIBLE, WS_EX_LAYERED);
  const SIZE size{w, h};
  ASSERT_TRUE(UpdateLayeredWindowFromSurface(hwnd, nullptr, &size, *pic, POINT{0, 0}, 0, 255, ULW_ALPHA));
  Settle();
  const unsigned long xid = X11WindowOf(hwnd);
  ASSERT_NE(xid, 0u);
  EXPECT_EQ(peer_->Depth(xid), 32);
  // No shape cuts the transparent pixels away: the alpha does.
  const auto rects = peer_->ShapeRects(xid);
  ASSERT_EQ(rects.size(), 1u);
  EXPECT_EQ((std::vector<int>{rects[0].x, rects[0].y, rects[0].width, rects[0].height}),
            (std::vector<int>{0, 0, w, h}));
  const auto got = peer_->Pixels(xid, w, h, true);
  ASSERT_EQ(got.size(), static_cast<size_t>(w) * h);
  int wrong = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) wrong += got[static_cast<size_t>(y) * w + x] != pic->Row(y)[x];
  EXPECT_EQ(wrong, 0);
}

TEST_F(X11Backend, WindowGeometryVisibilityAndFocusFollowTheWindow) {
  HWND hwnd = wintest::MakeTopLevel(100, 120, 200, 90);
  Settle();
  const unsigned long xid = X11WindowOf(hwnd);
  ASSERT_NE(xid, 0u);
  SetWindowPos(hwnd, nullptr, 210, 33, 150, 70, SWP_NOZORDER | SWP_NOACTIVATE);
  Settle();
  x11test::PeerRect a{};
  bool viewable = false;
  ASSERT_TRUE(peer_->Geometry(xid, &a, &viewable));
  EXPECT_EQ((std::vector<int>{a.x, a.y, a.width, a.height}), (std::vector<int>{210, 33, 150, 70}));
  EXPECT_TRUE(viewable);
  // Activation moves the X input focus along.
  HWND other = wintest::MakeTopLevel(500, 400, 80, 60);
  SetActiveWindow(other);
  Settle();
  EXPECT_EQ(peer_->FocusWindow(), X11WindowOf(other));
  SetActiveWindow(hwnd);
  Settle();
  EXPECT_EQ(peer_->FocusWindow(), xid);
  // Minimised and restored (no window manager here: unmapped and mapped).
  ShowWindow(hwnd, SW_MINIMIZE);
  Settle();
  ASSERT_TRUE(peer_->Geometry(xid, &a, &viewable));
  EXPECT_FALSE(viewable);
  ShowWindow(hwnd, SW_RESTORE);
  Settle();
  ASSERT_TRUE(peer_->Geometry(xid, &a, &viewable));
  EXPECT_TRUE(viewable);
  EXPECT_EQ((std::vector<int>{a.x, a.y, a.width, a.height}), (std::vector<int>{210, 33, 150, 70}));
  ShowWindow(hwnd, SW_HIDE);
  Settle();
  ASSERT_TRUE(peer_->Geometry(xid, &a, &viewable));
  EXPECT_FALSE(viewable);
  DestroyWindow(hwnd);
  Settle();
  EXPECT_EQ(X11WindowOf(hwnd), 0u);
}

// The iconic placement stays inside the window system; a map or unmap by
// another client (a window manager restoring or iconifying) reaches the
// window as a restore or minimise, and its own minimise works again after.
TEST_F(X11Backend, OutsideMapsAndUnmapsRestoreAndMinimiseTheWindow) {
  VORIX_NEED_TOOL(testtools::OnPath("xdotool"), "xdotool");
  HWND hwnd = wintest::MakeTopLevel(100, 120, 200, 90);
  Settle();
  const unsigned long xid = X11WindowOf(hwnd);
  ASSERT_NE(xid, 0u);
  x11test::PeerRect a{};
  bool viewable = false;
  const auto geometry = [&] {
    EXPECT_TRUE(peer_->Geometry(xid, &a, &viewable));
    return std::vector<int>{a.x, a.y, a.width, a.height};
  };
  const std::vector<int> normal{100, 120, 200, 90};
  ShowWindow(hwnd, SW_MINIMIZE);
  Settle();
  EXPECT_EQ(geometry(), normal) << "the X window keeps its place while iconic";
  EXPECT_FALSE(viewable);
  RunServing("xdotool windowmap " + std::to_string(xid));
  EXPECT_FALSE(IsIconic(hwnd));
  EXPECT_EQ(geometry(), normal);
  EXPECT_TRUE(viewable);
  RECT r{};
  GetWindowRect(hwnd, &r);
  EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right, r.bottom}), (std::vector<LONG>{100, 120, 300, 210}));
  ShowWindow(hwnd, SW_MINIMIZE);
  Settle();
  EXPECT_TRUE(IsIconic(hwnd));
  geometry();
  EXPECT_FALSE(viewable);
  ShowWindow(hwnd, SW_RESTORE);
  Settle();
  RunServing("xdotool windowunmap " + std::to_string(xid));
  EXPECT_TRUE(IsIconic(hwnd)) << "an unmap by another client minimises";
  ShowWindow(hwnd, SW_RESTORE);
  Settle();
  EXPECT_EQ(geometry(), normal);
  EXPECT_TRUE(viewable);
}

TEST_F(X11Backend, TheWindowTextNamesTheXWindow) {
  HWND hwnd = wintest::MakeTopLevel(100, 120, 200, 90);
  SetWindowTextA(hwnd, "Vorix \xC3\xA9t\xC3\xA9");
  Settle();
  const unsigned long xid = X11WindowOf(hwnd);
  ASSERT_NE(xid, 0u);
  EXPECT_EQ(peer_->Property(xid, "_NET_WM_NAME"), "Vorix \xC3\xA9t\xC3\xA9");
  EXPECT_EQ(peer_->Property(xid, "_NET_WM_PID"), std::to_string(getpid()));
  SetWindowTextA(hwnd, "Renamed");
  Settle();
  EXPECT_EQ(peer_->Property(xid, "WM_NAME"), "Renamed");
  DestroyWindow(hwnd);
  Settle();
}

TEST_F(X11Backend, PixelsOnTheServerEqualTheHeadlessRendering) {
  const int w = 220, h = 130;
  HWND hwnd = wintest::MakeTopLevel(60, 70, w, h, WS_POPUP | WS_VISIBLE | WS_BORDER);
  wintest::FillWindow(hwnd, 0xFFE0E0E0);
  HDC dc = GetDC(hwnd);
  HBRUSH red = CreateSolidBrush(RGB(200, 30, 40));
  RECT r{15, 12, 90, 70};
  FillRect(dc, &r, red);
  DeleteObject(red);
  SetBkMode(dc, TRANSPARENT);
  TextOutA(dc, 20, 80, "Xg 123", 6);
  Ellipse(dc, 120, 20, 200, 100);
  ReleaseDC(hwnd, dc);
  Settle();
  auto expected = CaptureWindow(hwnd);
  ASSERT_TRUE(expected);
  const auto got = peer_->Pixels(X11WindowOf(hwnd), w, h);
  ASSERT_EQ(got.size(), static_cast<size_t>(w) * h);
  int wrong = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) wrong += got[static_cast<size_t>(y) * w + x] != (expected->Row(y)[x] & 0xFFFFFF);
  EXPECT_EQ(wrong, 0);
}

TEST_F(X11Backend, PointerClicksArriveAtTheWindowAndCaptureGrabsThePointer) {
  VORIX_NEED_TOOL(testtools::OnPath("xdotool"), "xdotool");
  HWND hwnd = wintest::MakeTopLevel(200, 150, 120, 80);
  Settle();
  wintest::Log().Clear();
  const std::string cmd = "DISPLAY=" + display_ + " xdotool mousemove 230 165 click 3 >/dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  Settle();
  const auto downs = wintest::Log().Of(WM_RBUTTONDOWN);
  ASSERT_EQ(downs.size(), 1u);
  EXPECT_EQ(downs[0].hwnd, hwnd);
  EXPECT_EQ((std::pair<int, int>(GET_X_LPARAM(downs[0].lParam), GET_Y_LPARAM(downs[0].lParam))),
            (std::pair<int, int>(30, 15)));
  EXPECT_EQ(wintest::Log().Of(WM_RBUTTONUP).size(), 1u);

  EXPECT_FALSE(peer_->PointerGrabbedElsewhere());
  SetCapture(hwnd);
  Settle();
  EXPECT_TRUE(peer_->PointerGrabbedElsewhere());
  ReleaseCapture();
  Settle();
  EXPECT_FALSE(peer_->PointerGrabbedElsewhere());
}

TEST_F(X11Backend, KeysTypedByAnotherClientArriveAsCharactersThroughTheMessageWait) {
  VORIX_NEED_TOOL(testtools::OnPath("xdotool"), "xdotool");
  HWND hwnd = wintest::MakeTopLevel(50, 50, 120, 60);
  Settle();
  SetFocus(hwnd);
  wintest::Log().Clear();
  const std::string typed = "aB1!; z";
  const std::string cmd = "DISPLAY=" + display_ + " xdotool type --delay 0 --window " +
                          std::to_string(X11WindowOf(hwnd)) + " '" + typed + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  // No explicit sync: the message wait itself must wake for the X events.
  const std::u16string want = u"aB1!; z";
  std::u16string got;
  MSG m;
  while (got.size() < want.size() && GetMessageA(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
    got.clear();
    for (const auto& l : wintest::Log().Of(WM_CHAR))
      if (l.hwnd == hwnd) got.push_back(static_cast<char16_t>(l.wParam));
  }
  EXPECT_EQ(got, want);
}

// The CF_HDROP block's file names.
std::vector<std::u16string> dropFiles(HGLOBAL h) {
  std::vector<std::u16string> out;
  const auto* p = static_cast<const char*>(GlobalLock(h));
  uint32_t offset = 0;
  std::memcpy(&offset, p, 4);
  for (const auto* c = reinterpret_cast<const char16_t*>(p + offset); *c; c += out.back().size() + 1)
    out.emplace_back(c);
  GlobalUnlock(h);
  return out;
}

HGLOBAL makeDrop(const std::vector<std::u16string>& files) {
  std::u16string list;
  for (const auto& f : files) list += f + u'\0';
  list += u'\0';
  HGLOBAL h = GlobalAlloc(GHND, 20 + list.size() * 2);
  auto* p = static_cast<char*>(GlobalLock(h));
  const uint32_t offset = 20, wide = 1;
  std::memcpy(p, &offset, 4);
  std::memcpy(p + 16, &wide, 4);
  std::memcpy(p + 20, list.data(), list.size() * 2);
  GlobalUnlock(h);
  return h;
}

TEST_F(X11Backend, ClipboardTextAndFileListsGoOutAsTheClipboardSelection) {
  VORIX_NEED_TOOL(testtools::OnPath("xclip"), "xclip");
  const std::u16string text = u"Gr\u00fc\u00dfe \u20ac 1";
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  HGLOBAL t = GlobalAlloc(GHND, (text.size() + 1) * 2);
  std::memcpy(GlobalLock(t), text.c_str(), (text.size() + 1) * 2);
  GlobalUnlock(t);
  SetClipboardData(CF_UNICODETEXT, t);
  SetClipboardData(CF_HDROP, makeDrop({u"/tmp/a b.txt", u"/tmp/\u00fc%.png"}));
  CloseClipboard();
  Settle();
  const std::pair<const char*, std::string> cases[] = {
      {"UTF8_STRING", "Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac 1"},
      {"text/uri-list", "file:///tmp/a%20b.txt\r\nfile:///tmp/%C3%BC%25.png\r\n"},
  };
  for (const auto& [target, want] : cases) {
    SCOPED_TRACE(target);
    EXPECT_EQ(RunServing(std::string("xclip -o -selection clipboard -t ") + target), want);
  }
}

// Starts xclip offering `data` as the clipboard; it serves until another
// client takes the selection. Answers its process id.
pid_t offerWithXclip(const std::string& display, const std::string& data, const char* type) {
  int fds[2];
  if (::pipe(fds) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(fds[0], 0);
    ::close(fds[0]);
    ::close(fds[1]);
    if (FILE* null = std::fopen("/dev/null", "w")) ::dup2(::fileno(null), 1), ::dup2(::fileno(null), 2);
    ::setenv("DISPLAY", display.c_str(), 1);
    ::execlp("xclip", "xclip", "-i", "-quiet", "-selection", "clipboard", "-t", type, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(fds[0]);
  (void)!::write(fds[1], data.data(), data.size());
  ::close(fds[1]);
  return pid;
}

TEST_F(X11Backend, AnotherClientsSelectionBecomesTheClipboard) {
  VORIX_NEED_TOOL(testtools::OnPath("xclip"), "xclip");
  struct Case {
    const char* type;
    std::string data;
    UINT format;
  };
  const Case cases[] = {
      {"UTF8_STRING", "x y \xc3\xbc", CF_UNICODETEXT},
      {"text/uri-list", "file:///tmp/a%20b\r\n#c\r\nfile://host/x/%C3%BC\r\n", CF_HDROP},
  };
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  CloseClipboard();
  // Our claim on the selection reaches the server before xclip's, or it
  // could take the selection back from xclip on a busy machine.
  X11Sync();
  std::vector<pid_t> offers;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    offers.push_back(offerWithXclip(display_, c.data, c.type));
    // Until xclip has taken the selection and its data has come over.
    bool arrived = false;
    for (const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
         !arrived && std::chrono::steady_clock::now() < give_up;) {
      X11Sync();
      PumpMessages();
      arrived = IsClipboardFormatAvailable(c.format);
    }
    ASSERT_TRUE(arrived);
    if (c.format != CF_UNICODETEXT) continue;
    ASSERT_TRUE(OpenClipboard(nullptr));
    HGLOBAL h = GetClipboardData(CF_UNICODETEXT);
    EXPECT_EQ(std::u16string(static_cast<const char16_t*>(GlobalLock(h))), u"x y \u00fc");
    GlobalUnlock(h);
    CloseClipboard();
  }
  ASSERT_TRUE(OpenClipboard(nullptr));
  HGLOBAL h = GetClipboardData(CF_HDROP);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(dropFiles(h), (std::vector<std::u16string>{u"/tmp/a b", u"/x/\u00fc"}));
  CloseClipboard();
  for (pid_t pid : offers) {
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
  }
}

}  // namespace
