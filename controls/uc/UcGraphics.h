#pragma once
// Wide text extents on device contexts and canvases, and the wide library's
// picture class.
#include "platform/forms/Graphics.h"
#include "platform/rtl/Types.h"

namespace controls {

using rtl::WideString;

win::SIZE WideDCTextExtent(win::HDC dc, const WideString& text);
// Makes sure the canvas has its DC and font before measuring.
win::SIZE WideCanvasTextExtent(forms::TCanvas* canvas, const WideString& text);
int WideCanvasTextWidth(forms::TCanvas* canvas, const WideString& text);
int WideCanvasTextHeight(forms::TCanvas* canvas, const WideString& text);

class TUcPicture : public forms::TPicture {
public:
  using forms::TPicture::TPicture;
};

}  // namespace controls
