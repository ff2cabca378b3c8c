// Kept apart from the other brushes: it is the one brush call that needs
// the window manager's system colours.
#include <array>
#include <mutex>

#include "platform/win/GdiInternal.h"
#include "platform/win/Metrics.h"
#include "platform/win/PenBrush.h"

namespace win {

HBRUSH GetSysColorBrush(int index) {
  static std::mutex mutex;
  static std::array<HBRUSH, 32> brushes{};
  if (index < 0 || index >= static_cast<int>(brushes.size())) return nullptr;
  std::lock_guard lock(mutex);
  HBRUSH& slot = brushes[static_cast<size_t>(index)];
  auto existing = FindGdiObject<gdi::Brush>(slot);
  const COLORREF color = GetSysColor(index);
  if (existing) {
    // Colour changes reach the same handle, as they do on the platform.
    existing->color = color;
    return slot;
  }
  slot = CreateSolidBrush(color);
  GdiObjects().Find(reinterpret_cast<uintptr_t>(slot))->stock = true;
  return slot;
}

}  // namespace win

namespace win::gdi {

std::shared_ptr<Brush> ResolveBrush(HBRUSH brush) {
  const auto value = reinterpret_cast<uintptr_t>(brush);
  if (value >= 1 && value <= 31) return FindGdiObject<Brush>(GetSysColorBrush(static_cast<int>(value) - 1));
  return FindGdiObject<Brush>(brush);
}

}  // namespace win::gdi
