#include "imaging/views/ikutilsPalette.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/win/Shapes.h"
#include "platform/win/Types.h"

namespace imaging {

using namespace forms;

namespace {
constexpr int32_t kCellsPerRow = 32;
constexpr int32_t kCellPitch = 16;

TColor ScaledColor(TColor color, double m) {
  const win::COLORREF c = ColorToRGB(color);
  const auto scale = [m](uint32_t v) { return static_cast<uint8_t>(std::trunc(v * m)); };
  return static_cast<TColor>(win::RGB(scale(c & 0xFF), scale((c >> 8) & 0xFF), scale((c >> 16) & 0xFF)));
}

win::COLORREF Grey(int32_t g) {
  const auto v = static_cast<uint8_t>(g);
  return win::RGB(v, v, v);
}
}  // namespace

// ---------------------------------------------------------------- dialog

TImgKitPaletteDialog::TImgKitPaletteDialog(TComponent* owner) : TForm(owner) {
  SetCaption("Palette");
  SetBorderStyle(bsDialog);
  SetBorderIcons(TBorderIcons{biSystemMenu});
  SetBounds(Left(), Top(), 520, 199);
  SetPosition(poScreenCenter);
  cancel_ = new TButton(this);
  cancel_->SetParent(this);
  cancel_->SetLeft(4);
  cancel_->SetTop(136);
  cancel_->SetCaption("&Cancel");
  cancel_->SetModalResult(mrCancel);
  cancel_->SetCancel(true);
  OnPaint = [this](TObject*) { PalettePaint(); };
  OnMouseMove = [this](TObject*, TShiftState, int x, int y) { PaletteMouseMove(x, y); };
  OnClick = [this](TObject*) { PaletteClick(); };
}

void TImgKitPaletteDialog::SetPalette(const uint8_t* palette, int32_t count) {
  palette_ = palette;
  count_ = palette ? std::max(count, 0) : 0;
}

bool TImgKitPaletteDialog::Execute() { return ShowModal() == mrOk; }

int32_t TImgKitPaletteDialog::CellAt(int32_t x, int32_t y) {
  // Division truncates toward zero, so the border pixel row and column
  // before the first cell still count as cell 0.
  return (x - 1) / kCellPitch + kCellsPerRow * ((y - 1) / kCellPitch);
}

TRect TImgKitPaletteDialog::CellRect(int32_t index) {
  const int32_t row = index / kCellsPerRow, column = index % kCellsPerRow;
  return Rect(kCellPitch * column + 1, kCellPitch * row + 1, kCellPitch * column + 16, kCellPitch * row + 16);
}

void TImgKitPaletteDialog::PalettePaint() {
  TCanvas* canvas = Canvas();
  for (int32_t i = 0; i < count_; ++i) {
    const uint8_t* c = palette_ + 3 * static_cast<size_t>(i);
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(static_cast<TColor>(win::RGB(c[0], c[1], c[2])));
    canvas->Pen()->SetColor(i == highlighted_ ? clBlack : clWhite);
    canvas->Rectangle(CellRect(i));
  }
}

void TImgKitPaletteDialog::PaletteMouseMove(int32_t x, int32_t y) {
  const int32_t cell = CellAt(x, y);
  if (cell >= 0 && cell < count_ && cell != highlighted_) {
    highlighted_ = cell;
    Invalidate();
  }
}

void TImgKitPaletteDialog::PaletteClick() {
  if (highlighted_ < 0 || highlighted_ >= count_) return;
  const uint8_t* c = palette_ + 3 * static_cast<size_t>(highlighted_);
  picked_ = static_cast<TColor>(win::RGB(c[0], c[1], c[2]));
  SetModalResult(mrOk);
}

// ---------------------------------------------------------------- geometry

void ConstrainLineAngle(int32_t x0, int32_t y0, int32_t& x1, int32_t& y1) {
  const int32_t dx = x0 - x1, dy = y0 - y1;
  const int32_t adx = std::abs(dx), ady = std::abs(dy);
  if (ady > adx + 30) {
    x1 = x0;
  } else if (ady < adx - 30) {
    y1 = y0;
  } else {
    const int32_t d = std::abs(adx - ady);
    if (dx < 0 && dy < 0) {
      if (ady > adx) x1 += d; else y1 += d;
    } else if (dx > 0 && dy > 0) {
      if (ady > adx) y1 += d; else x1 += d;
    } else if (dx > 0) {
      if (ady > adx) x1 -= d; else y1 += d;
    } else if (dy > 0) {
      if (ady > adx) x1 += d; else y1 -= d;
    }
  }
}

bool RectsOverlap(int32_t ax1, int32_t ay1, int32_t ax2, int32_t ay2, int32_t left, int32_t top, int32_t right,
                  int32_t bottom) {
  return !(std::max(ax1, ax2) < left || std::min(ax1, ax2) > right || std::max(ay1, ay2) < top ||
           std::min(ay1, ay2) > bottom);
}

int32_t ClassifySegmentInRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t xa, int32_t ya,
                              int32_t xb, int32_t yb) {
  const bool inXa = left <= xa && xa <= right, inXb = left <= xb && xb <= right;
  const bool inYa = top <= ya && ya <= bottom, inYb = top <= yb && yb <= bottom;
  if ((inXa != inXb && (inYa || inYb)) || ((inXa || inXb) && inYa != inYb) || (inXa != inXb && inYa != inYb))
    return 1;
  if (inXa && inXb && inYa && inYb) return 2;
  return 0;
}

bool IKPointInRect(int32_t x, int32_t y, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return left <= x && x <= right && top <= y && y <= bottom;
}

// ---------------------------------------------------------------- shadows

void DrawVerticalShadow(TCanvas* canvas, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint8_t style,
                        TColor color) {
  const int32_t w = x2 - x1 + 1, h = y2 - y1 + 1;
  if (w <= 0 || h <= 0) return;
  if (style == 1) {
    canvas->FillRect(Rect(x1, y1 + w, x2, y2 + 1));
  } else if (style == 2) {
    canvas->Pen()->SetStyle(psSolid);
    canvas->Pen()->SetMode(pmCopy);
    for (int32_t i = 0; i < w; ++i) {
      const double t = (w - i) / (w / 3.0);
      canvas->Pen()->SetColor(ScaledColor(color, std::exp(-0.1 - t * t / 6)));
      canvas->MoveTo(x1 + i, y1 + w);
      canvas->LineTo(x1 + i, y2 - w + i + 3);
    }
  } else if (style == 3) {
    // The gradient stays inside the strip: its last row and column are
    // y2 and x2 (the loops of the original painter went one further).
    int32_t k = 0;
    for (int32_t j = 0; j < h; ++j) {
      const int32_t limit =
          std::clamp(static_cast<int32_t>(std::trunc(std::exp(double(h - 3 * j) / h) / M_E * 255)), 0, 255);
      if (j > h - w + 1) ++k;
      for (int32_t i = k; i < w; ++i) {
        const int32_t g = std::max(static_cast<int32_t>(std::trunc(std::exp(double(i) / w) / M_E * 255)), limit);
        win::SetPixel(canvas->Handle(), x1 + i, y1 + j, Grey(std::min(g, 255)));
      }
    }
  }
}

void DrawHorizontalShadow(TCanvas* canvas, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint8_t style,
                          TColor color) {
  const int32_t w = x2 - x1 + 1, h = y2 - y1 + 1;
  if (w <= 0 || h <= 0) return;
  if (style == 1) {
    canvas->FillRect(Rect(x1 + h, y1, x2 + 1, y2));
  } else if (style == 2) {
    canvas->Pen()->SetStyle(psSolid);
    canvas->Pen()->SetMode(pmCopy);
    for (int32_t i = 0; i < h; ++i) {
      const double t = (h - i) / (h / 3.0);
      canvas->Pen()->SetColor(ScaledColor(color, std::exp(-0.1 - t * t / 6)));
      canvas->MoveTo(x1 + h, y1 + i);
      canvas->LineTo(x2 - h + i + 3, y1 + i);
    }
  } else if (style == 3) {
    int32_t k = 0;
    for (int32_t j = 0; j < w; ++j) {
      const int32_t limit =
          std::clamp(static_cast<int32_t>(std::trunc(std::exp(double(w - 3 * j) / w) / M_E * 255)), 0, 255);
      if (j > w - h + 1) ++k;
      for (int32_t i = k; i < h; ++i) {
        const int32_t g = std::max(static_cast<int32_t>(std::trunc(std::exp(double(i) / h) / M_E * 255)), limit);
        win::SetPixel(canvas->Handle(), x1 + j, y1 + i, Grey(std::min(g, 255)));
      }
    }
  }
}

win::HWND IKOwnerWindowHandle(TComponent* component) {
  for (TComponent* c = component; c; c = c->Owner()) {
    if (auto* control = dynamic_cast<TWinControl*>(c)) {
      return control->HandleAllocated() ? control->Handle() : nullptr;
    }
  }
  return nullptr;
}

}  // namespace imaging
