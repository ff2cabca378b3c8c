#pragma once
// Helpers the picture classes share; not for use outside platform/forms.
#include <cstdint>
#include <vector>

#include "platform/forms/Graphics.h"

namespace forms {

// The colour table a new DIB of 1, 4 or 8 bits starts with (0x00RRGGBB).
std::vector<uint32_t> DefaultColorTable(TPixelFormat format);

// A bottom-up DIB section; `table` for depths of 8 bits and less, 5-6-5
// masks for 16 bits when asked.
win::HBITMAP CreateDib(int width, int height, int bitCount, const std::vector<uint32_t>& table, bool bitfields565,
                       void** bits);

// Blends straight-alpha 0xAARRGGBB pixels (top row first) over `rect` of
// the canvas, stretching them to fit.
void DrawStraightAlpha(TCanvas* canvas, const TRect& rect, const uint32_t* pixels, int width, int height);

}  // namespace forms
