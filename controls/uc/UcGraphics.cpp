#include "controls/uc/UcGraphics.h"

#include "platform/win/Font.h"

namespace controls {

win::SIZE WideDCTextExtent(win::HDC dc, const WideString& text) {
  win::SIZE size{0, 0};
  win::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  return size;
}

win::SIZE WideCanvasTextExtent(forms::TCanvas* canvas, const WideString& text) {
  // Handle() makes the DC and selects the canvas's font into it.
  return WideDCTextExtent(canvas->Handle(), text);
}

int WideCanvasTextWidth(forms::TCanvas* canvas, const WideString& text) {
  return WideCanvasTextExtent(canvas, text).cx;
}

int WideCanvasTextHeight(forms::TCanvas* canvas, const WideString& text) {
  return WideCanvasTextExtent(canvas, text).cy;
}

}  // namespace controls
