#pragma once
// Drawing helpers the sty controls share: the parent's picture behind a
// control, tiling, the window shape from a colour-keyed bitmap, three-part
// and sliced bitmaps, the flat window-DC frame of edits and combo boxes,
// and a few geometry and window tests.
#include <functional>

#include "controls/sty/STYThemes.h"
#include "platform/forms/Controls.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Graphics.h"
#include "platform/win/OwnerDraw.h"

namespace controls {

class TstyForm;

// Paints `control`'s parent into `canvas` so that the canvas shows what lies
// behind the control. Nothing without a parent.
void DrawParentBackground(forms::TCanvas* canvas, forms::TControl* control);
// Repeats the graphic from (0, 0) until the rectangle's width and height
// are covered.
void TilePicture(forms::TCanvas* canvas, forms::TGraphic* graphic, const forms::TRect& rect);
// All four edges count as inside.
bool InRect(int x, int y, const forms::TRect& rect);
bool PointInRect(forms::TPoint p, const forms::TRect& rect);
// The work area of the monitor holding the main form, else the system's.
void GetWorkAreaRect(forms::TRect& rect);
void SetControlRect(forms::TControl* control, const forms::TRect& rect);
// One or two one-pixel frames in the control's window DC, over its
// non-client border.
void DrawControlBorder(forms::TWinControl* control, forms::TColor outer, forms::TColor inner, bool drawInner);
// Builds the region of the bitmap's pixels that differ from `key`, one
// rectangle per run of such pixels in a row, and gives it to the window.
void CreateRegionFromBitmap(win::HWND hwnd, forms::TBitmap* bitmap, forms::TColor key);
// Left third, stretched middle third and right third of the bitmap across
// the rectangle, with the key colour sampled from a corner or fuchsia.
void DrawSlicedBitmap(forms::TBitmap* bitmap, forms::TCanvas* canvas, const forms::TRect& rect, bool useSampledKey,
                      bool sampleTopLeft);
void RotateBitmap180(forms::TBitmap* bitmap);
// Slice `index` (1-based) of `count` equal-width slices of the source;
// columns left over at the right belong to no slice.
void CopyBitmapSlice(forms::TBitmap* source, forms::TBitmap* dest, int count, int index);
// Gives each direct child control of the frame that takes a style the theme
// file first, then the style, so each child's own setters re-apply its look.
void SetChildrenUIStyle(TstyForm* frame, TstyUIStyle style, TstyFileTheme* fileTheme);
// Whether the form is to be painted as active.
bool IsFormActive(forms::TCustomForm* form);

// The system's combo-box information, or false on a system without it. The
// function is looked up once, by name, through the resolver (replaceable,
// for systems that lack it).
using TSystemFunctionResolver = std::function<void*(const char* name)>;
// Answers the resolver it replaces and forgets the earlier lookup.
TSystemFunctionResolver SetSystemFunctionResolver(TSystemFunctionResolver resolver);
bool CallGetComboBoxInfo(win::HWND combo, win::COMBOBOXINFO* info);

}  // namespace controls
