#pragma once
// Drawing routines the Fc controls share and that need no control state:
// the parent's image behind a transparent control, tiling, a colour-keyed
// stretched draw, and a banded gradient painter of ten kinds built from
// three fill routines and two block-copy routines.
#include <cstdint>

#include "platform/forms/Controls.h"
#include "platform/forms/Graphics.h"
#include "platform/win/Types.h"

namespace controls {

// Paints the control's parent into `dc`, lined up behind the control. With
// `invalidate`, a parent that is neither a custom control nor a form (it
// would not repaint the control's area by itself) is invalidated too.
void CopyParentImage(forms::TControl* control, win::HDC dc, bool invalidate);

// Covers `rect` with copies of `bitmap` in the canvas's copy mode; the last
// row and column are clipped, never stretched.
void TileBitmap(forms::TCanvas* canvas, forms::TBitmap* bitmap, const forms::TRect& rect);

// Draws `source` of `bitmap` stretched into `dest`, leaving the canvas as it
// was wherever the stretched picture has `transparentColor`.
void DrawTransparentStretched(forms::TCanvas* canvas, forms::TBitmap* bitmap, const forms::TRect& dest,
                              const forms::TRect& source, forms::TColor transparentColor);

// Gradient kinds: 0/1 diagonal (from the bottom-left / bottom-right corner),
// 2 vertical, 3 vertical from the middle row, 4 box with wide sides, 5
// horizontal, 6 horizontal from the middle column, 7 box with high sides,
// 8 box, 9 box with both insets. `steps` 1..8 makes bands of at least that
// many colour steps; above 8 it limits the gradient to about that many
// colours.
void DrawGradient(forms::TCanvas* canvas, const forms::TRect& bounds, uint8_t kind, forms::TColor first,
                  forms::TColor second, uint8_t steps);

// An 8-pixel strip: vertical (rows) when x is 0, horizontal (columns)
// otherwise. A negative coordinate runs the whole extent from `first` at 0
// to `second` at the far end; a positive one puts `second` at that row or
// column and `first` at both ends.
void FillLinearGradient(win::HDC dc, int x, int y, int extent, win::COLORREF first, win::COLORREF second,
                        uint8_t steps);
// The top-left quadrant of a box gradient: `second` in the centre (and
// over the insets), `first` at the edges.
void FillBoxGradient(win::HDC dc, int width, int height, int xInset, int yInset, win::COLORREF first,
                     win::COLORREF second, uint8_t steps);
// Positive width: `first` at the bottom-left corner to `second` at the
// top-right; zero or negative: `second` at the bottom-right to `first` at the
// top-left. Band edges run parallel to the diagonal between the other two
// corners.
void FillDiagonalGradient(win::HDC dc, int width, int height, win::COLORREF first, win::COLORREF second,
                          uint8_t steps);
// Grows the filled block at (x, y) to the total size by copying it next to
// itself, doubling it each time.
void DoublingFillBlit(win::HDC dc, int x, int y, int totalWidth, int totalHeight, int filledWidth, int filledHeight,
                      win::DWORD rop);
// Completes a box gradient from its top-left quadrant by mirrored copies.
void MirrorQuadrantBlit(win::HDC dc, int x, int y, int width, int height, win::DWORD rop);

}  // namespace controls
