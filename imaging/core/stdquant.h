#pragma once
// The box-splitting colour quantizer: a 32 x 32 x 32 histogram of the
// pixels' 5-bit channels, split into boxes by the largest error until the
// palette is full; colours map to palette indexes through one table.
#include <cstdint>
#include <memory>

#include "imaging/core/ikdefs.h"

namespace imaging {

class TIKBitmap;
struct TBoxQuantState;

struct TBoxQuantFree {
  void operator()(TBoxQuantState* state) const;
};
using TBoxQuantHandle = std::unique_ptr<TBoxQuantState, TBoxQuantFree>;

// `rows` hands out row y (0 = top) of `width` blue, green, red pixels.
using TQuantRowSource = const uint8_t* (*)(void* context, int32_t y);

// Fills palette[0 .. boxes made - 1] for an ikRGB24 source.
TBoxQuantHandle BoxQuantCreate(TIKBitmap* source, TRGB* palette, int32_t colorCount);
TBoxQuantHandle BoxQuantCreateFromRows(TQuantRowSource rows, void* context, int32_t width, int32_t height,
                                       TRGB* palette, int32_t colorCount);
int32_t BoxQuantIndex(const TBoxQuantState* state, const TRGB& color);
// The number of boxes (palette entries) the split made.
int32_t BoxQuantBoxCount(const TBoxQuantState* state);
inline void BoxQuantFree(TBoxQuantHandle& state) { state.reset(); }

}  // namespace imaging
