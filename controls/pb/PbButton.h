#pragma once
// The picture button with its four state pictures: disabled, normal,
// pressed and hovered; a state without a picture shows the normal one.
#include <memory>

#include "controls/pb/PbCustomButton.h"

namespace controls {

class TPbButton : public TPbCustomButton {
public:
  explicit TPbButton(forms::TComponent* owner);
  ~TPbButton() override;

  forms::TPicture* PicDisabled() const { return picDisabled_.get(); }
  forms::TPicture* PicNormal() const { return picNormal_.get(); }
  forms::TPicture* PicMouseDown() const { return picMouseDown_.get(); }
  forms::TPicture* PicMouseHover() const { return picMouseHover_.get(); }
  void SetPicDisabled(forms::TPicture* p);
  void SetPicNormal(forms::TPicture* p);
  void SetPicMouseDown(forms::TPicture* p);
  void SetPicMouseHover(forms::TPicture* p);

protected:
  bool GetStatePicture(forms::TPicture* dest) override;

private:
  void Take(forms::TPicture* own, forms::TPicture* given);
  std::unique_ptr<forms::TPicture> picDisabled_;
  std::unique_ptr<forms::TPicture> picNormal_;
  std::unique_ptr<forms::TPicture> picMouseDown_;
  std::unique_ptr<forms::TPicture> picMouseHover_;
};

}  // namespace controls
