#include "imaging/views/imgkitviewBackground.h"

#include <algorithm>

#include "imaging/views/ikutilsPalette.h"
#include "platform/win/ClassicLook.h"
#include "platform/win/Gradient.h"
#include "platform/win/Metrics.h"

namespace imaging {

using namespace forms;

namespace {

TColor Complement(TColor color) { return static_cast<TColor>(ColorToRGB(color) ^ 0xFFFFFFu); }

void FillArea(TCanvas* canvas, TColor color, TBrushStyle style, const TRect& area) {
  canvas->Brush()->SetColor(color);
  canvas->Brush()->SetStyle(style);
  canvas->FillRect(area);
}

void PaintChessboard(TCanvas* canvas, TBitmap* bitmap, const TIKBackgroundParams& p, const TRect& area) {
  const int32_t size = std::max<int32_t>(p.ChessboardSize, 1);
  const TColor first = p.Background;
  const TColor second = Complement(p.Background);
  const bool direct = bitmap && bitmap->PixelFormat() == pf24bit && p.ChessboardBrushStyle == bsSolid;
  if (direct) {
    // Straight into the pixels: far fewer calls than one fill per square.
    const win::COLORREF a = ColorToRGB(first), b = ColorToRGB(second);
    const uint8_t ca[3] = {static_cast<uint8_t>(a >> 16), static_cast<uint8_t>(a >> 8), static_cast<uint8_t>(a)};
    const uint8_t cb[3] = {static_cast<uint8_t>(b >> 16), static_cast<uint8_t>(b >> 8), static_cast<uint8_t>(b)};
    const int32_t x0 = std::max(area.left, 0), x1 = std::min(area.right, bitmap->Width());
    const int32_t y0 = std::max(area.top, 0), y1 = std::min(area.bottom, bitmap->Height());
    for (int32_t y = y0; y < y1; ++y) {
      auto* row = static_cast<uint8_t*>(bitmap->ScanLine(y));
      const int32_t sy = (y - area.top) / size;
      for (int32_t x = x0; x < x1; ++x) {
        const uint8_t* c = (((x - area.left) / size + sy) & 1) ? cb : ca;
        std::copy(c, c + 3, row + 3 * x);
      }
    }
    return;
  }
  for (int32_t y = area.top, sy = 0; y < area.bottom; y += size, ++sy) {
    for (int32_t x = area.left, sx = 0; x < area.right; x += size, ++sx) {
      const TColor color = ((sx + sy) & 1) ? first : second;
      FillArea(canvas, color, p.ChessboardBrushStyle,
               Rect(x, y, std::min(x + size, area.right), std::min(y + size, area.bottom)));
    }
  }
}

void PaintCropShadow(TCanvas* canvas, const TIKBackgroundParams& p) {
  const TRect& r = p.ImageRect;
  if (p.Designing || r.right - r.left <= 1 || r.bottom - r.top <= 1) return;
  DrawVerticalShadow(canvas, r.right, r.top, r.right + 5, r.bottom + 3, 2, p.Background);
  DrawHorizontalShadow(canvas, r.left, r.bottom, r.right + 4, r.bottom + 5, 2, p.Background);
}

}  // namespace

bool GradientFillRect(const TRect& rect, win::HDC dc, TColor topColor, bool vertical, TColor bottomColor) {
  const win::COLORREF a = ColorToRGB(topColor), b = ColorToRGB(bottomColor);
  win::TRIVERTEX v[2];
  v[0].x = rect.left;
  v[0].y = rect.top;
  v[0].Red = static_cast<win::COLOR16>((a & 0xFF) << 8);
  v[0].Green = static_cast<win::COLOR16>(((a >> 8) & 0xFF) << 8);
  v[0].Blue = static_cast<win::COLOR16>(((a >> 16) & 0xFF) << 8);
  v[1].x = rect.right;
  v[1].y = rect.bottom;
  v[1].Red = static_cast<win::COLOR16>((b & 0xFF) << 8);
  v[1].Green = static_cast<win::COLOR16>(((b >> 8) & 0xFF) << 8);
  v[1].Blue = static_cast<win::COLOR16>(((b >> 16) & 0xFF) << 8);
  win::GRADIENT_RECT32 mesh{0, 1};
  return win::GradientFill(dc, v, 2, &mesh, 1, vertical ? win::GRADIENT_FILL_RECT_V : win::GRADIENT_FILL_RECT_H) != 0;
}

void DrawWallPaper(TCanvas* canvas, TPicture* wallPaper, TIKWallPaperStyle style, int32_t width, int32_t height) {
  if (!wallPaper || !wallPaper->Graphic()) return;
  TGraphic* g = wallPaper->Graphic();
  const int32_t gw = g->Width(), gh = g->Height();
  switch (style) {
    case ikwoNormal:
      canvas->Draw(0, 0, g);
      break;
    case ikwoStretch:
      canvas->StretchDraw(Rect(0, 0, width, height), g);
      break;
    case ikwoTile:
      // An empty picture would never advance the walk.
      if (gw <= 0 || gh <= 0) return;
      for (int32_t y = 0; y < height; y += gh)
        for (int32_t x = 0; x < width; x += gw) canvas->Draw(x, y, g);
      break;
  }
}

void PaintViewBackground(TCanvas* canvas, TBitmap* bitmap, const TIKBackgroundParams& p, int32_t left, int32_t top,
                         int32_t width, int32_t height) {
  const TRect area = Rect(left, top, left + width, top + height);
  switch (p.Style) {
    case ikbsSolid:
      FillArea(canvas, p.Background, bsSolid, area);
      break;
    case ikbsHorizontal:
      FillArea(canvas, p.Background, bsHorizontal, area);
      break;
    case ikbsVertical:
      FillArea(canvas, p.Background, bsVertical, area);
      break;
    case ikbsFDiagonal:
      FillArea(canvas, p.Background, bsFDiagonal, area);
      break;
    case ikbsBDiagonal:
      FillArea(canvas, p.Background, bsBDiagonal, area);
      break;
    case ikbsCross:
      FillArea(canvas, p.Background, bsCross, area);
      break;
    case ikbsDiagCross:
      FillArea(canvas, p.Background, bsDiagCross, area);
      break;
    case ikbsChessboard:
      PaintChessboard(canvas, bitmap, p, area);
      break;
    case ikbsDiagonals:
      FillArea(canvas, p.Background, bsSolid, area);
      canvas->Pen()->SetColor(Complement(p.Background));
      canvas->Pen()->SetStyle(psSolid);
      canvas->Pen()->SetWidth(1);
      canvas->MoveTo(area.left, area.top);
      canvas->LineTo(area.right, area.bottom);
      canvas->MoveTo(area.right, area.top);
      canvas->LineTo(area.left, area.bottom);
      break;
    case ikbsCropped:
      if (p.Designing) {
        FillArea(canvas, p.Background, bsSolid, area);
        PaintCropShadow(canvas, p);
        break;
      }
      FillArea(canvas, clBtnFace, bsSolid, area);
      if (p.ImageRect.right - p.ImageRect.left >= 2 && p.ImageRect.bottom - p.ImageRect.top >= 2) {
        const int32_t ex = win::GetSystemMetrics(win::SM_CXEDGE), ey = win::GetSystemMetrics(win::SM_CYEDGE);
        win::RECT r{p.ImageRect.left - ex, p.ImageRect.top - ey, p.ImageRect.right + ex, p.ImageRect.bottom + ey};
        win::DrawEdge(canvas->Handle(), &r, win::EDGE_SUNKEN, win::BF_RECT);
      }
      break;
    case ikbsCropShadow:
      FillArea(canvas, p.Background, bsSolid, area);
      PaintCropShadow(canvas, p);
      break;
    case ikbsGradient:
      GradientFillRect(area, canvas->Handle(), p.Background, true, p.GradientEndColor);
      break;
  }
  DrawWallPaper(canvas, p.WallPaper, p.WallPaperStyle, width, height);
}

}  // namespace imaging
