#pragma once
// The NeuQuant neural-network colour quantizer (Dekker's self-organising
// map): a network of up to 256 neurons learns the colours of a sample of
// the pixels; lookups search outwards from the colour's green index.
#include <cstdint>
#include <memory>

#include "imaging/core/ikdefs.h"

namespace imaging {

class TIKBitmap;
struct TNeuQuantState;

struct TNeuQuantFree {
  void operator()(TNeuQuantState* state) const;
};
using TNeuQuantHandle = std::unique_ptr<TNeuQuantState, TNeuQuantFree>;

// Quality -1: the sample factor follows the pixel count; 0..100: factor
// trunc((100 - quality) / 100 x 29) + 1. Fills palette[0 .. colorCount - 1].
TNeuQuantHandle NeuQuantCreate(TIKBitmap* source, TRGB* palette, int32_t quality, int32_t colorCount);
int32_t NeuQuantIndex(const TNeuQuantState* state, const TRGB& color);
inline void NeuQuantFree(TNeuQuantHandle& state) { state.reset(); }

}  // namespace imaging
