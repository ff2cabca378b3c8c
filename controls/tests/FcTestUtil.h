#pragma once
// Helpers of the framed-control tests: pixels of a control as the composed
// screen shows them.
#include <cstdint>
#include <memory>

#include "platform/forms/Controls.h"
#include "platform/win/Display.h"

namespace fctest {

// The composed screen, taken once per look; read in the control's client
// coordinates as a colour value.
class Shot {
public:
  explicit Shot(forms::TControl* c) : control_(c), screen_(win::ComposeScreen()) {}
  forms::TColor operator()(int x, int y) const {
    const win::POINT p = control_->ClientToScreen(forms::Point(x, y));
    const uint32_t argb = screen_->Pixel(p.x, p.y);
    return static_cast<forms::TColor>(((argb >> 16) & 0xFF) | (argb & 0xFF00) | ((argb & 0xFF) << 16));
  }

private:
  forms::TControl* control_;
  std::shared_ptr<win::Surface> screen_;
};

}  // namespace fctest
