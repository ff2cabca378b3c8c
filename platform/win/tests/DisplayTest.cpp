#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "WinTestUtil.h"
#include "platform/win/Api.h"
#include "platform/win/Bitmap.h"
#include "platform/win/Dc.h"
#include "platform/win/ImageFiles.h"

namespace {

using namespace win;

class Display : public ::testing::Test {
protected:
  void TearDown() override {
    wintest::Cleanup();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string Path(const std::string& name) {
    std::filesystem::create_directories(dir_);
    return (dir_ / name).string();
  }
  std::filesystem::path dir_ = std::filesystem::temp_directory_path() /
                               ("vorix-display-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                "-" + std::to_string(reinterpret_cast<uintptr_t>(this)));
};

// What ImageMagick reads at a pixel of a PNG, as "r,g,b".
std::string magickPixel(const std::string& path, int x, int y) {
  const std::string cmd = "convert '" + path + "' -format '%[fx:int(255*p{" + std::to_string(x) + "," +
                          std::to_string(y) + "}.r)],%[fx:int(255*p{" + std::to_string(x) + "," +
                          std::to_string(y) + "}.g)],%[fx:int(255*p{" + std::to_string(x) + "," +
                          std::to_string(y) + "}.b)]' info:";
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return "";
  char buf[64] = {};
  const size_t n = fread(buf, 1, sizeof buf - 1, p);
  pclose(p);
  return std::string(buf, n);
}

std::string rgbText(COLORREF c) {
  return std::to_string(GetRValue(c)) + "," + std::to_string(GetGValue(c)) + "," + std::to_string(GetBValue(c));
}

BYTE over(int src, int dst, int alpha) { return static_cast<BYTE>((src * alpha + dst * (255 - alpha) + 127) / 255); }

TEST_F(Display, ComposesAnEllipticWindowUnderAHalfTransparentOneAndSavesIt) {
  SetScreenSize(640, 480);
  const COLORREF desk = GetSysColor(COLOR_DESKTOP);
  // A: red, shaped by an ellipse. B: blue, above it, layered at 50 %.
  HWND a = wintest::MakeTopLevel(100, 100, 200, 200);
  SetWindowRgn(a, CreateEllipticRgn(0, 0, 200, 200), TRUE);
  wintest::FillWindow(a, 0xFFFF0000);
  HWND b = wintest::MakeTopLevel(200, 150, 200, 200, WS_POPUP | WS_VISIBLE, WS_EX_LAYERED);
  wintest::FillWindow(b, 0xFF0000FF);
  // A layered window shows nothing until it is told how.
  EXPECT_EQ(GetScreenPixel(390, 340), desk);
  ASSERT_TRUE(SetLayeredWindowAttributes(b, 0, 128, LWA_ALPHA));

  const COLORREF red = RGB(255, 0, 0);
  const COLORREF blueOverDesk = RGB(over(0, GetRValue(desk), 128), over(0, GetGValue(desk), 128),
                                    over(255, GetBValue(desk), 128));
  const COLORREF blueOverRed = RGB(over(0, 255, 128), 0, over(255, 0, 128));
  struct Probe {
    int x, y;
    COLORREF expected;
  };
  const Probe probes[] = {
      {102, 102, desk},          // A's corner, outside its ellipse
      {101, 200, red},           // A's left edge, inside the ellipse
      {150, 200, red},           // A alone
      {298, 200, blueOverRed},   // A's right edge under B
      {250, 200, blueOverRed},   // the overlap
      {399, 150, blueOverDesk},  // B's top-right corner
      {399, 349, blueOverDesk},  // B's bottom-right corner
      {400, 349, desk},          // just past B
      {280, 290, blueOverDesk},  // under B, inside A's box but outside its ellipse
  };
  for (const auto& p : probes) EXPECT_EQ(GetScreenPixel(p.x, p.y), p.expected) << p.x << "," << p.y;

  const std::string png = Path("screen.png");
  ASSERT_TRUE(SaveScreenPng(png));
  std::unique_ptr<Surface> back = LoadPng(png);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->Width(), 640);
  EXPECT_EQ(back->Height(), 480);
  for (const auto& p : probes) {
    const uint32_t px = back->Pixel(p.x, p.y);
    EXPECT_EQ(RGB(static_cast<BYTE>(px >> 16), static_cast<BYTE>(px >> 8), static_cast<BYTE>(px)), p.expected)
        << p.x << "," << p.y;
  }
  // An independent reader agrees.
  EXPECT_EQ(magickPixel(png, 250, 200), rgbText(blueOverRed));
  EXPECT_EQ(magickPixel(png, 102, 102), rgbText(desk));
  const std::string one = Path("window.png");
  ASSERT_TRUE(SaveWindowPng(a, one));
  EXPECT_EQ(magickPixel(one, 100, 100), "255,0,0");
  EXPECT_FALSE(SaveWindowPng(ValueToHandle<HWND>(12345), one));
}

TEST_F(Display, ColourKeysAndPerPixelAlpha) {
  SetScreenSize(320, 240);
  const COLORREF desk = GetSysColor(COLOR_DESKTOP);
  // A fuchsia key cuts holes into a skinned window.
  HWND keyed = wintest::MakeTopLevel(0, 0, 100, 100, WS_POPUP | WS_VISIBLE, WS_EX_LAYERED);
  wintest::FillWindow(keyed, 0xFF00FF00);
  WindowDrawTarget t;
  ASSERT_TRUE(GetWindowDrawTarget(keyed, false, &t));
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 50; ++x) t.surface->SetPixel(x, y, 0x00FF00FF);  // fuchsia, alpha byte left 0
  ASSERT_TRUE(SetLayeredWindowAttributes(keyed, RGB(255, 0, 255), 0, LWA_COLORKEY));
  EXPECT_EQ(GetScreenPixel(10, 10), desk);
  EXPECT_EQ(GetScreenPixel(60, 60), RGB(0, 255, 0));
  COLORREF key;
  BYTE alpha;
  DWORD flags;
  ASSERT_TRUE(GetLayeredWindowAttributes(keyed, &key, &alpha, &flags));
  EXPECT_EQ(key, RGB(255, 0, 255));
  EXPECT_EQ(flags, LWA_COLORKEY);

  // Per-pixel alpha from premultiplied pixels, moved and sized by the call.
  HWND splash = wintest::MakeTopLevel(0, 0, 10, 10, WS_POPUP | WS_VISIBLE, WS_EX_LAYERED);
  Surface pic(4, 2);
  pic.SetPixel(0, 0, 0xFFFFFFFF);  // opaque white
  pic.SetPixel(1, 0, 0x80800000);  // half-transparent red, premultiplied
  pic.SetPixel(2, 0, 0x00000000);  // fully transparent
  POINT at{200, 100};
  SIZE size{4, 2};
  ASSERT_TRUE(UpdateLayeredWindowFromSurface(splash, &at, &size, pic, POINT{0, 0}, 0, 255, ULW_ALPHA));
  RECT r;
  GetWindowRect(splash, &r);
  EXPECT_EQ(r, (RECT{200, 100, 204, 102}));
  EXPECT_EQ(GetScreenPixel(200, 100), RGB(255, 255, 255));
  EXPECT_EQ(GetScreenPixel(201, 100),
            RGB(static_cast<BYTE>(128 + (GetRValue(desk) * 127 + 127) / 255),
                static_cast<BYTE>((GetGValue(desk) * 127 + 127) / 255),
                static_cast<BYTE>((GetBValue(desk) * 127 + 127) / 255)));
  EXPECT_EQ(GetScreenPixel(202, 100), desk);
  // A constant alpha scales the whole picture.
  ASSERT_TRUE(UpdateLayeredWindowFromSurface(splash, nullptr, nullptr, pic, POINT{0, 0}, 0, 0, ULW_ALPHA));
  EXPECT_EQ(GetScreenPixel(200, 100), desk);
  // A source rectangle outside the picture is refused.
  EXPECT_FALSE(UpdateLayeredWindowFromSurface(splash, nullptr, &size, pic, POINT{1, 0}, 0, 255, ULW_ALPHA));
  // Not layered: refused.
  HWND plain = wintest::MakeTopLevel(0, 0, 10, 10);
  EXPECT_FALSE(SetLayeredWindowAttributes(plain, 0, 10, LWA_ALPHA));
  // Hidden and minimised windows do not show.
  ShowWindow(keyed, SW_HIDE);
  EXPECT_EQ(GetScreenPixel(60, 60), desk);
  ShowWindow(keyed, SW_SHOWMINNOACTIVE);
  EXPECT_EQ(GetScreenPixel(60, 60), desk);
}

TEST_F(Display, UpdateLayeredWindowTakesAPremultipliedDibSection) {
  SetScreenSize(320, 240);
  const COLORREF desk = GetSysColor(COLOR_DESKTOP);
  HWND splash = wintest::MakeTopLevel(0, 0, 10, 10, WS_POPUP | WS_VISIBLE, WS_EX_LAYERED);
  BITMAPINFO bi{};
  bi.bmiHeader.biWidth = 3;
  bi.bmiHeader.biHeight = -1;  // top-down
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC mem = CreateCompatibleDC(nullptr);
  HBITMAP dib = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(dib, nullptr);
  auto* px = static_cast<uint32_t*>(bits);
  px[0] = 0xFF00FF00;  // opaque green
  px[1] = 0x80008000;  // half-transparent green, premultiplied
  px[2] = 0x00000000;  // transparent
  HGDIOBJ old = SelectObject(mem, dib);
  POINT at{50, 60}, from{0, 0};
  SIZE size{3, 1};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  ASSERT_TRUE(UpdateLayeredWindow(splash, nullptr, &at, &size, mem, &from, 0, &blend, ULW_ALPHA));
  EXPECT_EQ(GetScreenPixel(50, 60), RGB(0, 255, 0));
  EXPECT_EQ(GetScreenPixel(51, 60), RGB(static_cast<BYTE>((GetRValue(desk) * 127 + 127) / 255),
                                       static_cast<BYTE>(128 + (GetGValue(desk) * 127 + 127) / 255),
                                       static_cast<BYTE>((GetBValue(desk) * 127 + 127) / 255)));
  EXPECT_EQ(GetScreenPixel(52, 60), desk);
  // Without AC_SRC_ALPHA the picture is opaque and the constant alpha rules.
  blend.AlphaFormat = 0;
  blend.SourceConstantAlpha = 0;
  ASSERT_TRUE(UpdateLayeredWindow(splash, nullptr, nullptr, nullptr, mem, &from, 0, &blend, ULW_ALPHA));
  EXPECT_EQ(GetScreenPixel(50, 60), desk);
  // No source: a move only.
  POINT moved{100, 100};
  ASSERT_TRUE(UpdateLayeredWindow(splash, nullptr, &moved, nullptr, nullptr, nullptr, 0, nullptr, 0));
  RECT r;
  GetWindowRect(splash, &r);
  EXPECT_EQ(r, (RECT{100, 100, 103, 101}));
  SelectObject(mem, old);
  DeleteObject(dib);
  DeleteDC(mem);
}

}  // namespace

namespace {

using namespace win;

struct RecordingBackend : DisplayBackend {
  std::vector<HWND> changed;
  std::vector<HWND> drawn;
  std::vector<UINT> beeps;
  std::vector<HCURSOR> cursors;
  void WindowChanged(HWND h) override { changed.push_back(h); }
  void SurfaceChanged(HWND h, const RECT&) override { drawn.push_back(h); }
  void Beep(UINT type) override { beeps.push_back(type); }
  void CursorChanged(HCURSOR c) override { cursors.push_back(c); }
};

TEST(DisplayBackendTest, HearsAboutWindowsPixelsBeepsAndCursors) {
  RecordingBackend rec;
  SetDisplayBackend(&rec);
  HWND h = wintest::MakeTopLevel(0, 0, 100, 100, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  PumpMessages();  // the frame is drawn
  MoveWindow(h, 10, 10, 100, 100, TRUE);
  SetWindowRgn(h, CreateRectRgn(0, 0, 50, 50), TRUE);
  MessageBeep(MB_ICONHAND);
  SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(IDC_WAIT)));
  SetDisplayBackend(nullptr);
  EXPECT_GE(std::count(rec.changed.begin(), rec.changed.end(), h), 3);
  EXPECT_GE(std::count(rec.drawn.begin(), rec.drawn.end(), h), 1);
  EXPECT_EQ(rec.beeps, (std::vector<UINT>{MB_ICONHAND}));
  ASSERT_FALSE(rec.cursors.empty());
  EXPECT_EQ(StandardCursorId(rec.cursors.back()), IDC_WAIT);
  wintest::Cleanup();
}

}  // namespace
