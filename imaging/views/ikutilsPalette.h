#pragma once
// Small pieces the imaging views and dialogs share: the palette dialog
// that lets the user pick one colour of a palette, the geometry predicates
// and the line-angle constraint of the mouse tools, the two drop-shadow
// strip painters, and the window handle that owns a component.
#include <cstdint>

#include "platform/forms/Forms.h"
#include "platform/forms/StdCtrls.h"

namespace imaging {

// A grid of colour squares, 32 to a row; a click picks the highlighted one.
class TImgKitPaletteDialog : public forms::TForm {
public:
  explicit TImgKitPaletteDialog(forms::TComponent* owner);

  // `palette` holds `count` red, green, blue byte triples; the dialog
  // borrows it.
  void SetPalette(const uint8_t* palette, int32_t count);
  // True when a colour was picked; it is then in PickedColor().
  bool Execute();

  int32_t HighlightedCell() const { return highlighted_; }
  forms::TColor PickedColor() const { return picked_; }
  forms::TButton* CancelButton() const { return cancel_; }
  // The cell under a client point by the grid's arithmetic (may lie past
  // the last colour).
  static int32_t CellAt(int32_t x, int32_t y);
  static forms::TRect CellRect(int32_t index);

  // The handlers, reachable for callers that drive the dialog themselves.
  void PaletteMouseMove(int32_t x, int32_t y);
  void PaletteClick();
  void PalettePaint();

private:
  int32_t highlighted_ = -1;
  const uint8_t* palette_ = nullptr;
  int32_t count_ = 0;
  forms::TButton* cancel_ = nullptr;
  forms::TColor picked_ = 0;
};

// Snaps the moving end (x1, y1) of a line from (x0, y0) to vertical,
// horizontal or diagonal.
void ConstrainLineAngle(int32_t x0, int32_t y0, int32_t& x1, int32_t& y1);
// The first rectangle by two corners in any order, the second by ordered
// edges; touching edges overlap.
bool RectsOverlap(int32_t ax1, int32_t ay1, int32_t ax2, int32_t ay2, int32_t left, int32_t top, int32_t right,
                  int32_t bottom);
// 2: both ends inside; 1: the segment's ends straddle an edge; 0: otherwise.
int32_t ClassifySegmentInRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t xa, int32_t ya,
                              int32_t xb, int32_t yb);
bool IKPointInRect(int32_t x, int32_t y, int32_t left, int32_t top, int32_t right, int32_t bottom);
// The right-hand and the bottom shadow strip of an object, corners
// inclusive, in style 1 (brush), 2 (darkening lines of `color`) or 3 (grey
// gradient).
void DrawVerticalShadow(forms::TCanvas* canvas, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint8_t style,
                        forms::TColor color);
void DrawHorizontalShadow(forms::TCanvas* canvas, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint8_t style,
                          forms::TColor color);
// The window of the first windowed control among the component's owners,
// 0 when it has none yet (none is made).
win::HWND IKOwnerWindowHandle(forms::TComponent* component);

}  // namespace imaging
