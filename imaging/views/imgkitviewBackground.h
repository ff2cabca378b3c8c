#pragma once
// The background painter both imaging views share: the twelve background
// styles, the wallpaper placements and the vertical gradient.
#include <cstdint>

#include "platform/forms/Graphics.h"
#include "platform/win/Types.h"

namespace imaging {

enum TIKBackgroundStyle : uint8_t {
  ikbsSolid,
  ikbsHorizontal,
  ikbsVertical,
  ikbsFDiagonal,
  ikbsBDiagonal,
  ikbsCross,
  ikbsDiagCross,
  ikbsChessboard,
  ikbsDiagonals,
  ikbsCropped,
  ikbsCropShadow,
  ikbsGradient
};
enum TIKWallPaperStyle : uint8_t { ikwoNormal, ikwoStretch, ikwoTile };

struct TIKBackgroundParams {
  bool Designing = false;
  forms::TPicture* WallPaper = nullptr;
  TIKWallPaperStyle WallPaperStyle = ikwoNormal;
  forms::TColor GradientEndColor = forms::clBlue;
  forms::TBrushStyle ChessboardBrushStyle = forms::bsSolid;
  int32_t ChessboardSize = 16;
  // Where the image will be drawn (left, top, right, bottom); the crop
  // styles frame it.
  forms::TRect ImageRect{};
  forms::TColor Background = forms::clWhite;
  TIKBackgroundStyle Style = ikbsSolid;
};

// Paints the area (left, top, width, height) of the canvas. `bitmap`, when
// given, is the 24-bit surface behind the canvas: the solid chessboard is
// then written straight into its pixels.
void PaintViewBackground(forms::TCanvas* canvas, forms::TBitmap* bitmap, const TIKBackgroundParams& params,
                         int32_t left, int32_t top, int32_t width, int32_t height);

// A two-colour gradient over the rectangle (top to bottom when vertical,
// else left to right); false when the gradient function is unavailable,
// in which case nothing is painted.
bool GradientFillRect(const forms::TRect& rect, win::HDC dc, forms::TColor topColor, bool vertical,
                      forms::TColor bottomColor);

// Draws the wallpaper over (0, 0, width, height) of the canvas.
void DrawWallPaper(forms::TCanvas* canvas, forms::TPicture* wallPaper, TIKWallPaperStyle style, int32_t width,
                   int32_t height);

}  // namespace imaging
