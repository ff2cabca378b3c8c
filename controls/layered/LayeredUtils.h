#pragma once
// Helpers the layered window and its controls share: colours with alpha for
// the GDI+ drawing, and pictures read from the library's compiled-in data.
#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/forms/Graphics.h"
#include "platform/rtl/Resources.h"
#include "platform/win/GdiPlus.h"

namespace controls {

// Alpha << 24 | R << 16 | G << 8 | B from a COLORREF-laid-out colour. The
// top byte is ignored, so a system colour is not resolved.
uint32_t ColorWithAlpha(forms::TColor color, uint8_t alpha);

// A picture from `table`'s entry of that name and type (ignoring case);
// null when it is missing, empty or not a picture.
std::unique_ptr<win::Gdiplus::Image> ResourceImage(std::string_view name, std::string_view resourceType,
                                                   const rtl::ResourceTable& table);

}  // namespace controls
