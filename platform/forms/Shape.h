#pragma once
// The shape control: a rectangle, square, rounded rectangle or square,
// ellipse or circle drawn with its own pen and brush.
#include <memory>

#include "platform/forms/Controls.h"
#include "platform/forms/Graphics.h"

namespace forms {

enum TShapeType { stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle };

class TShape : public TGraphicControl {
public:
  explicit TShape(TComponent* owner);
  ~TShape() override;

  TShapeType Shape() const { return shape_; }
  void SetShape(TShapeType shape);
  TPen* Pen() const { return pen_.get(); }
  TBrush* Brush() const { return brush_.get(); }

protected:
  void Paint() override;

private:
  TShapeType shape_ = stRectangle;
  std::unique_ptr<TPen> pen_;
  std::unique_ptr<TBrush> brush_;
};

}  // namespace forms
