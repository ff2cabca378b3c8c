#include "controls/sty/STYSkinForm.h"

#include "controls/sty/STYPublic.h"
#include "platform/win/Api.h"

namespace controls {

using namespace forms;

TstySkinForm::TstySkinForm(TComponent* owner) : TGraphicControl(owner), glyph_(std::make_unique<TBitmap>()) {
  form_ = dynamic_cast<TCustomForm*>(owner);
  if (form_) {
    if (!ComponentState().Contains(csDesigning)) form_->SetBorderStyle(bsNone);
    transparentColor_ = clFuchsia;
    SetWidth(200);
    SetHeight(100);
  }
}

TstySkinForm::~TstySkinForm() = default;

void TstySkinForm::SetGlyph(TBitmap* glyph) {
  glyph_->Assign(glyph);
  ApplyGlyph();
  Invalidate();
}

void TstySkinForm::SetTransparentColor(TColor color) {
  transparentColor_ = color;
  ApplyGlyph();
  Invalidate();
}

void TstySkinForm::ApplyGlyph() {
  if (glyph_->Empty() || !form_) return;
  if (!ComponentState().Contains(csDesigning)) {
    CreateRegionFromBitmap(form_->Handle(), glyph_.get(), transparentColor_);
  }
  if (glyph_->Height() != 0 && glyph_->Width() != 0) {
    SetHeight(glyph_->Height());
    SetWidth(glyph_->Width());
  }
  SetTop(0);
  SetLeft(0);
  form_->SetClientHeight(Height());
  form_->SetClientWidth(Width());
  if (OnRegionChanged) OnRegionChanged(this);
}

void TstySkinForm::Paint() {
  TCanvas* canvas = Canvas();
  if (glyph_->Width() != 0 && glyph_->Height() != 0) {
    canvas->Draw(0, 0, glyph_.get());
  } else {
    canvas->Brush()->SetColor(clBlack);
    canvas->FrameRect(ClientRect());
  }
  if (OnPaint) OnPaint(this);
}

void TstySkinForm::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseDown(button, shift, x, y);
  win::ReleaseCapture();
  if (form_) win::SendMessageA(form_->Handle(), win::WM_NCLBUTTONDOWN, static_cast<win::WPARAM>(win::HTCAPTION), 0);
}

}  // namespace controls
