// The pixel library's images borrow the surfaces' memory for one call; its
// rounding (x * a + 128, folded by / 255 as (t + (t >> 8)) >> 8, saturating
// adds) is the one our blend formulas use, which is why OVER can go there.
#include "platform/win/PixelOps.h"

#include <pixman.h>

#include <atomic>

namespace win::gdi {

namespace {

std::atomic<bool> g_enabled{true};

pixman_image_t* Borrow(const Surface& s) {
  // Bottom-up surfaces have a negative stride, which the library's row
  // addressing takes as it is.
  return pixman_image_create_bits_no_clear(PIXMAN_a8r8g8b8, s.Width(), s.Height(),
                                           const_cast<uint32_t*>(s.Row(0)), static_cast<int>(s.Stride()));
}

}  // namespace

bool FastPathsEnabled() { return g_enabled.load(std::memory_order_relaxed); }
void SetFastPathsEnabled(bool on) { g_enabled.store(on, std::memory_order_relaxed); }

void CompositeOver(const Surface& src, int sx, int sy, Surface& dst, int dx, int dy, int width, int height,
                   uint8_t constantAlpha) {
  pixman_image_t* s = Borrow(src);
  pixman_image_t* d = &src == &dst ? pixman_image_ref(s) : Borrow(dst);
  pixman_image_t* mask = nullptr;
  if (constantAlpha != 255) {
    const pixman_color_t c{0, 0, 0, static_cast<uint16_t>(constantAlpha * 0x101)};
    mask = pixman_image_create_solid_fill(&c);
  }
  pixman_image_composite32(PIXMAN_OP_OVER, s, mask, d, sx, sy, 0, 0, dx, dy, width, height);
  if (mask) pixman_image_unref(mask);
  pixman_image_unref(d);
  pixman_image_unref(s);
}

}  // namespace win::gdi
