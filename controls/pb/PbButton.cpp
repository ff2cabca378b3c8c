#include "controls/pb/PbButton.h"

using namespace forms;

namespace controls {

namespace {
bool HoldsGraphic(const TPicture* p) { return p && p->Graphic() && !p->Graphic()->Empty(); }
}  // namespace

TPbButton::TPbButton(TComponent* owner)
    : TPbCustomButton(owner),
      picDisabled_(std::make_unique<TPicture>()),
      picNormal_(std::make_unique<TPicture>()),
      picMouseDown_(std::make_unique<TPicture>()),
      picMouseHover_(std::make_unique<TPicture>()) {}

TPbButton::~TPbButton() {
  picMouseHover_.reset();
  picMouseDown_.reset();
  picNormal_.reset();
  picDisabled_.reset();
}

void TPbButton::Take(TPicture* own, TPicture* given) {
  own->Assign(given);
  Repaint();
}

void TPbButton::SetPicDisabled(TPicture* p) { Take(picDisabled_.get(), p); }
void TPbButton::SetPicNormal(TPicture* p) { Take(picNormal_.get(), p); }
void TPbButton::SetPicMouseDown(TPicture* p) { Take(picMouseDown_.get(), p); }
void TPbButton::SetPicMouseHover(TPicture* p) { Take(picMouseHover_.get(), p); }

bool TPbButton::GetStatePicture(TPicture* dest) {
  TPicture* candidate = nullptr;
  if (!Enabled())
    candidate = picDisabled_.get();
  else if (Pressed())
    candidate = picMouseDown_.get();
  else if (Hovered())
    candidate = picMouseHover_.get();
  if (!HoldsGraphic(candidate)) candidate = picNormal_.get();
  if (!HoldsGraphic(candidate)) return false;
  dest->Assign(candidate);
  return true;
}

}  // namespace controls
