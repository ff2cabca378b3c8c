#pragma once
// Rectangle operations the GDI code hands to the pixel library where its
// operators give exactly our pixels. Callers pass surface coordinates that
// already lie inside both surfaces.
#include "platform/win/Surface.h"

namespace win::gdi {

// dst = src + dst * (255 - src.alpha) / 255 per channel, rounded and
// saturated, for premultiplied sources; with constantAlpha < 255 every
// source channel is first scaled by constantAlpha / 255, rounded.
void CompositeOver(const Surface& src, int sx, int sy, Surface& dst, int dx, int dy, int width, int height,
                   uint8_t constantAlpha);

// Whether the blits take their fast paths (the pixel library, the
// power-of-two reductions); on by default. Tests turn them off to compare
// against the general per-pixel code.
bool FastPathsEnabled();
void SetFastPathsEnabled(bool on);

}  // namespace win::gdi
