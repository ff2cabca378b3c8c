#include "controls/layered/LayeredUtils.h"

#include <vector>

#include "platform/rtl/StringUtils.h"

namespace controls {

uint32_t ColorWithAlpha(forms::TColor color, uint8_t alpha) {
  const uint32_t c = static_cast<uint32_t>(color);
  const uint32_t r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
  return (uint32_t{alpha} << 24) | (r << 16) | (g << 8) | b;
}

std::unique_ptr<win::Gdiplus::Image> ResourceImage(std::string_view name, std::string_view resourceType,
                                                   const rtl::ResourceTable& table) {
  const rtl::ResourceEntry* entry = rtl::FindResource(table, name);
  if (!entry || !entry->Data || entry->Size == 0) return nullptr;
  if (!rtl::SameText(entry->Type, std::string(resourceType))) return nullptr;
  // The picture is decoded from a copy that lives until it is made.
  const std::vector<uint8_t> bytes(entry->Data, entry->Data + entry->Size);
  auto image = std::make_unique<win::Gdiplus::Image>(bytes.data(), bytes.size());
  if (image->GetLastStatus() != win::Gdiplus::Ok) return nullptr;
  return image;
}

}  // namespace controls
