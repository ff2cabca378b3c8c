#pragma once
// Shared by the picture-button and slider tests: a form to put controls
// on, a control's face painted into a bitmap, and colour boxes.
#include <gtest/gtest.h>

#include <memory>

#include "platform/forms/Forms.h"
#include "platform/forms/Graphics.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/win/Api.h"

namespace controlstest {

// What the control paints when asked to paint into a DC of its size.
inline std::unique_ptr<forms::TBitmap> Face(forms::TWinControl* c) {
  auto b = std::make_unique<forms::TBitmap>();
  b->SetPixelFormat(forms::pf32bit);
  b->SetSize(c->Width(), c->Height());
  c->Perform(win::WM_PAINT, reinterpret_cast<win::WPARAM>(b->Canvas()->Handle()), 0);
  return b;
}

// 0xRRGGBB, as ImageMagick and humans write colours.
inline uint32_t Rgb(forms::TBitmap* b, int x, int y) {
  const forms::TColor c = b->Canvas()->Pixels(x, y);
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// The bounding box of the pixels for which `match` holds; empty (0,0,0,0)
// when none does.
template <class F>
forms::TRect BoxOf(forms::TBitmap* b, F match) {
  forms::TRect r{0, 0, 0, 0};
  bool any = false;
  for (int y = 0; y < b->Height(); ++y)
    for (int x = 0; x < b->Width(); ++x) {
      if (!match(Rgb(b, x, y))) continue;
      if (!any) {
        r = forms::Rect(x, y, x + 1, y + 1);
        any = true;
      }
      r.left = std::min(r.left, x);
      r.top = std::min(r.top, y);
      r.right = std::max(r.right, x + 1);
      r.bottom = std::max(r.bottom, y + 1);
    }
  return r;
}

inline forms::TRect BoxOfColour(forms::TBitmap* b, uint32_t rgb) {
  return BoxOf(b, [rgb](uint32_t c) { return c == rgb; });
}

// A bitmap of one colour (0xRRGGBB), with an optional second colour at
// the pixel (mx, my).
inline std::unique_ptr<forms::TBitmap> Solid(int w, int h, uint32_t rgb) {
  auto b = std::make_unique<forms::TBitmap>();
  b->SetPixelFormat(forms::pf24bit);
  b->SetSize(w, h);
  const forms::TColor c = static_cast<forms::TColor>(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF));
  b->Canvas()->Brush()->SetColor(c);
  b->Canvas()->FillRect(forms::Rect(0, 0, w, h));
  return b;
}

inline void SetRgb(forms::TBitmap* b, int x, int y, uint32_t rgb) {
  b->Canvas()->SetPixel(x, y, static_cast<forms::TColor>(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF)));
}

// A borderless form at (100, 100) of 300 x 200 with a plain colour.
class FormFixture : public formstest::FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    form = new forms::TForm(nullptr);
    form->SetBorderStyle(forms::bsNone);
    form->SetBounds(100, 100, 300, 200);
    form->SetColor(forms::clWhite);
  }
  void ShowForm() {
    form->Show();
    Pump();
  }
  forms::TForm* form = nullptr;
};

}  // namespace controlstest
