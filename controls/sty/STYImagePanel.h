#pragma once
// A container panel that shows a picture (at its own size, stretched or
// tiled), can let its parent show through, can size itself to its picture,
// and draws its caption on top; every paint is composed off screen and
// copied in one blit.
#include <memory>

#include "platform/forms/ExtCtrls.h"

namespace controls {

enum TstyDrawStyle { styNormal, styStretch, styTile };

class TstyCustomPanel : public forms::TCustomPanel {
public:
  explicit TstyCustomPanel(forms::TComponent* owner);
  ~TstyCustomPanel() override;

  forms::TPicture* Picture() const { return picture_.get(); }
  void SetPicture(forms::TPicture* picture);
  bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool transparent);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool autoSize);
  TstyDrawStyle DrawStyle() const { return drawStyle_; }
  void SetDrawStyle(TstyDrawStyle style);

protected:
  void Paint() override;
  void Dispatch(forms::TMessage& m) override;
  void Resize() override;
  // Sets the canvas brush to Color; fills the client area with it only
  // when the panel is hosted in a foreign window.
  virtual void UpdateBackground();
  virtual void TextChanged() {}
  virtual void PictureChanged(forms::TObject* sender);

private:
  bool HasGraphic() const { return picture_->Graphic() != nullptr; }
  void ApplyAutoSize();
  std::unique_ptr<forms::TPicture> picture_;
  bool transparent_ = false;
  bool autoSize_ = false;
  TstyDrawStyle drawStyle_ = styNormal;
};

class TstyImagePanel : public TstyCustomPanel {
public:
  using TstyCustomPanel::TstyCustomPanel;
};

}  // namespace controls
