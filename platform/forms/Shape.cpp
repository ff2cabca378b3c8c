#include "platform/forms/Shape.h"

#include <algorithm>

namespace forms {

TShape::TShape(TComponent* owner) : TGraphicControl(owner), pen_(std::make_unique<TPen>()), brush_(std::make_unique<TBrush>()) {
  SetBounds(Left(), Top(), 65, 65);
  pen_->OnChange = [this](TObject*) { Invalidate(); };
  brush_->OnChange = [this](TObject*) { Invalidate(); };
}

TShape::~TShape() = default;

void TShape::SetShape(TShapeType shape) {
  if (shape_ == shape) return;
  shape_ = shape;
  Invalidate();
}

void TShape::Paint() {
  TCanvas* c = Canvas();
  c->Pen()->Assign(pen_.get());
  c->Brush()->Assign(brush_.get());
  const int pw = pen_->Width();
  int x = pw / 2, y = pw / 2;
  int w = Width() - pw + 1, h = Height() - pw + 1;
  if (pw == 0) {
    w = Width();
    h = Height();
  }
  const int s = std::min(w, h);
  if (shape_ == stSquare || shape_ == stRoundSquare || shape_ == stCircle) {
    x += (w - s) / 2;
    y += (h - s) / 2;
    w = h = s;
  }
  switch (shape_) {
    case stRectangle:
    case stSquare: c->Rectangle(x, y, x + w, y + h); break;
    case stRoundRect:
    case stRoundSquare: c->RoundRect(x, y, x + w, y + h, s / 4, s / 4); break;
    case stEllipse:
    case stCircle: c->Ellipse(x, y, x + w, y + h); break;
  }
}

}  // namespace forms
