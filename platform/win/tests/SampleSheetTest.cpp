// Draws every primitive and a line of text in each substituted font onto
// one sheet and saves it as win_sample_sheet.png in the working directory,
// for a look.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/win/Api.h"
#include "platform/win/tests/GdiTestUtil.h"

namespace {

using namespace win;

HFONT Font(const char* face, int height, int weight = FW_NORMAL, bool italic = false, bool underline = false,
           bool strike = false, int escapement = 0) {
  LOGFONTA lf;
  lf.lfHeight = height;
  lf.lfWeight = weight;
  lf.lfItalic = italic;
  lf.lfUnderline = underline;
  lf.lfStrikeOut = strike;
  lf.lfEscapement = escapement;
  std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
  return CreateFontIndirectA(&lf);
}

void Label(HDC dc, int x, int y, const char* text) {
  HFONT f = Font("Tahoma", -11);
  HGDIOBJ old = SelectObject(dc, f);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 128));
  TextOutA(dc, x, y, text, static_cast<int>(std::strlen(text)));
  SelectObject(dc, old);
  DeleteObject(f);
}

TEST(SampleSheet, EveryPrimitiveAndEveryFont) {
  constexpr int W = 720, H = 560;
  gditest::Canvas sheet(W, H);
  HDC dc = sheet.dc();

  // Lines: styles, widths, the mix modes.
  Label(dc, 10, 4, "Pens");
  const int styles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT};
  for (int i = 0; i < 5; ++i) {
    HPEN p = CreatePen(styles[i], 1, RGB(0, 0, 0));
    HGDIOBJ old = SelectObject(dc, p);
    MoveToEx(dc, 10, 24 + i * 6, nullptr);
    LineTo(dc, 150, 24 + i * 6);
    SelectObject(dc, old);
    DeleteObject(p);
  }
  for (int w = 1; w <= 5; ++w) {
    HPEN p = CreatePen(PS_SOLID, w, RGB(200, 0, 0));
    HGDIOBJ old = SelectObject(dc, p);
    MoveToEx(dc, 10 + w * 24, 60, nullptr);
    LineTo(dc, 30 + w * 24, 95);
    SelectObject(dc, old);
    DeleteObject(p);
  }
  const POINT bez[] = {{10, 110}, {40, 60}, {110, 160}, {150, 110}};
  PolyBezier(dc, bez, 4);

  // Filled shapes with the pen and brush.
  Label(dc, 170, 4, "Shapes");
  HBRUSH yellow = CreateSolidBrush(RGB(255, 220, 0));
  SelectObject(dc, yellow);
  Rectangle(dc, 170, 22, 220, 62);
  RoundRect(dc, 230, 22, 290, 62, 16, 16);
  Ellipse(dc, 300, 22, 360, 62);
  const POINT star[] = {{195, 70}, {215, 125}, {170, 90}, {220, 90}, {175, 125}};
  Polygon(dc, star, 5);
  SetPolyFillMode(dc, WINDING);
  const POINT star2[] = {{255, 70}, {275, 125}, {230, 90}, {280, 90}, {235, 125}};
  Polygon(dc, star2, 5);
  SetPolyFillMode(dc, ALTERNATE);
  Arc(dc, 300, 70, 360, 125, 360, 97, 330, 70);
  Pie(dc, 370, 22, 430, 62, 430, 42, 400, 22);
  Chord(dc, 370, 70, 430, 125, 430, 97, 370, 97);
  SelectObject(dc, GetStockObject(WHITE_BRUSH));
  DeleteObject(yellow);

  // Brushes: hatches and a pattern, then the mix modes.
  Label(dc, 450, 4, "Brushes and mix modes");
  for (int h = 0; h < 6; ++h) {
    HBRUSH b = CreateHatchBrush(h, RGB(0, 100, 0));
    const RECT r{450 + h * 30, 22, 476 + h * 30, 48};
    FillRect(dc, &r, b);
    DeleteObject(b);
  }
  const uint8_t checker[] = {0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0};
  HBITMAP pat = CreateBitmap(8, 8, 1, 1, checker);
  HBRUSH patBrush = CreatePatternBrush(pat);
  const RECT pr{450, 54, 530, 80};
  FillRect(dc, &pr, patBrush);
  DeleteObject(patBrush);
  DeleteObject(pat);
  const int rops[] = {R2_XORPEN, R2_NOT, R2_NOTXORPEN, R2_MASKPEN};
  for (int i = 0; i < 4; ++i) {
    HBRUSH b = CreateSolidBrush(RGB(0, 0, 255));
    HGDIOBJ old = SelectObject(dc, b);
    SetROP2(dc, rops[i]);
    Rectangle(dc, 540 + i * 40, 54, 575 + i * 40, 90);
    SetROP2(dc, R2_COPYPEN);
    SelectObject(dc, old);
    DeleteObject(b);
  }

  // Blits: raster operations, stretching, transparency, alpha.
  Label(dc, 10, 170, "Blits");
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP tile = CreateCompatibleBitmap(dc, 32, 32);
  HGDIOBJ oldTile = SelectObject(mem, tile);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x)
      SetPixel(mem, x, y, ((x / 8 + y / 8) % 2) ? RGB(255, 0, 255) : RGB(x * 8, y * 8, 128));
  const DWORD blits[] = {SRCCOPY, SRCPAINT, SRCAND, SRCINVERT, SRCERASE, NOTSRCCOPY, MERGEPAINT, DSTINVERT};
  for (int i = 0; i < 8; ++i) {
    const RECT bg{10 + i * 40, 190, 42 + i * 40, 222};
    FillRect(dc, &bg, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
    BitBlt(dc, 10 + i * 40, 190, 32, 32, mem, 0, 0, blits[i]);
  }
  SetStretchBltMode(dc, HALFTONE);
  StretchBlt(dc, 340, 190, 64, 64, mem, 0, 0, 32, 32, SRCCOPY);
  StretchBlt(dc, 474, 190, -64, 32, mem, 0, 0, 32, 32, SRCCOPY);
  TransparentBlt(dc, 480, 190, 64, 64, mem, 0, 0, 32, 32, RGB(255, 0, 255));
  BLENDFUNCTION half{AC_SRC_OVER, 0, 128, 0};
  AlphaBlend(dc, 550, 190, 64, 64, mem, 0, 0, 32, 32, half);
  SelectObject(mem, oldTile);
  DeleteObject(tile);
  DeleteDC(mem);

  // Gradients.
  TRIVERTEX v[4];
  v[0] = {10, 270, 0xFF00, 0, 0, 0};
  v[1] = {200, 300, 0, 0, 0xFF00, 0};
  GRADIENT_RECT32 gr{0, 1};
  GradientFill(dc, v, 2, &gr, 1, GRADIENT_FILL_RECT_H);
  v[0] = {210, 270, 0, 0xFF00, 0, 0};
  v[1] = {400, 300, 0xFF00, 0xFF00, 0, 0};
  GradientFill(dc, v, 2, &gr, 1, GRADIENT_FILL_RECT_V);
  v[0] = {410, 300, 0xFF00, 0, 0, 0};
  v[1] = {470, 260, 0, 0xFF00, 0, 0};
  v[2] = {530, 300, 0, 0, 0xFF00, 0};
  GRADIENT_TRIANGLE tri{0, 1, 2};
  GradientFill(dc, v, 3, &tri, 1, GRADIENT_FILL_TRIANGLE);

  // The classic look.
  Label(dc, 10, 310, "Edges and frame controls");
  const UINT edges[] = {EDGE_RAISED, EDGE_SUNKEN, EDGE_ETCHED, EDGE_BUMP};
  for (int i = 0; i < 4; ++i) {
    RECT r{10 + i * 50, 330, 52 + i * 50, 360};
    DrawEdge(dc, &r, edges[i], BF_RECT | BF_MIDDLE);
  }
  const std::pair<UINT, UINT> controls[] = {
      {DFC_BUTTON, DFCS_BUTTONPUSH}, {DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_PUSHED},
      {DFC_BUTTON, DFCS_BUTTONCHECK}, {DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED},
      {DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED | DFCS_INACTIVE}, {DFC_BUTTON, DFCS_BUTTONRADIO},
      {DFC_BUTTON, DFCS_BUTTONRADIO | DFCS_CHECKED}, {DFC_SCROLL, DFCS_SCROLLUP}, {DFC_SCROLL, DFCS_SCROLLDOWN},
      {DFC_SCROLL, DFCS_SCROLLLEFT | DFCS_PUSHED}, {DFC_SCROLL, DFCS_SCROLLRIGHT | DFCS_INACTIVE},
      {DFC_CAPTION, DFCS_CAPTIONCLOSE}, {DFC_CAPTION, DFCS_CAPTIONMIN}, {DFC_CAPTION, DFCS_CAPTIONMAX},
      {DFC_CAPTION, DFCS_CAPTIONRESTORE}, {DFC_CAPTION, DFCS_CAPTIONHELP}, {DFC_SCROLL, DFCS_SCROLLSIZEGRIP},
  };
  int cx = 220;
  for (const auto& [type, state] : controls) {
    RECT r{cx, 335, cx + 16, 351};
    if (type == DFC_BUTTON && (state & DFCS_BUTTONPUSH)) r = {cx, 332, cx + 30, 354};
    DrawFrameControl(dc, &r, type, state);
    cx = r.right + 6;
  }
  const RECT focus{10, 366, 200, 382};
  DrawFocusRect(dc, &focus);

  // Text: a line in every substituted face, styles, rotation, layout.
  Label(dc, 10, 390, "Fonts");
  const char* faces[] = {"Tahoma", "MS Sans Serif", "Arial", "Times New Roman", "Courier New", "Verdana", "System"};
  int y = 406;
  SetBkMode(dc, TRANSPARENT);
  for (const char* face : faces) {
    HFONT f = Font(face, -13);
    HGDIOBJ old = SelectObject(dc, f);
    SetTextColor(dc, RGB(0, 0, 0));
    const std::string line = std::string(face) + ": The quick brown fox jumps over the lazy dog 0123456789";
    TextOutA(dc, 10, y, line.c_str(), static_cast<int>(line.size()));
    SelectObject(dc, old);
    DeleteObject(f);
    y += 17;
  }
  HFONT styled = Font("Arial", -14, FW_BOLD, true, true, true);
  SelectObject(dc, styled);
  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, RGB(255, 255, 180));
  TextOutA(dc, 10, y + 4, "Bold italic underlined struck, opaque", 37);
  SetBkMode(dc, TRANSPARENT);
  SelectObject(dc, GetStockObject(SYSTEM_FONT));
  DeleteObject(styled);
  HFONT rotated = Font("Arial", -14, FW_NORMAL, false, false, false, 2700);
  SelectObject(dc, rotated);
  TextOutA(dc, 700, 390, "Rotated 270", 11);
  SelectObject(dc, GetStockObject(SYSTEM_FONT));
  DeleteObject(rotated);
  HFONT ui = Font("Tahoma", -11);
  SelectObject(dc, ui);
  RECT box{450, 406, 680, 470};
  FrameRect(dc, &box, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  DrawTextA(dc, "&Word-wrapped DrawText, centred, with a prefix underline and several lines of text", -1, &box,
            DT_WORDBREAK | DT_CENTER);
  RECT ell{450, 476, 600, 492};
  FrameRect(dc, &ell, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  DrawTextA(dc, "/home/user/Videos/capture/clip0001.avi", -1, &ell, DT_SINGLELINE | DT_PATH_ELLIPSIS | DT_VCENTER);
  SelectObject(dc, GetStockObject(SYSTEM_FONT));
  DeleteObject(ui);

  // Save through a plain surface and read it back.
  Surface out(W, H);
  for (int yy = 0; yy < H; ++yy)
    for (int x = 0; x < W; ++x) out.SetPixel(x, yy, sheet.At(x, yy));
  ASSERT_TRUE(SavePng(out, "win_sample_sheet.png"));
  auto back = LoadPng("win_sample_sheet.png");
  ASSERT_TRUE(back);
  EXPECT_EQ(back->Width(), W);
  EXPECT_EQ(back->Pixel(0, 0), 0xFFFFFFFFu);
  int inked = 0;
  for (int yy = 0; yy < H; ++yy)
    for (int x = 0; x < W; ++x) inked += (back->Pixel(x, yy) & 0xFFFFFF) != 0xFFFFFF;
  EXPECT_GT(inked, W * H / 10);
}

}  // namespace
