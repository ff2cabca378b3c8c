#pragma once
// The processing unit's colour and bit routines that the image buffer, the
// mask and the format filters share: HSL conversion, the mean colour, the
// packing of two-colour images, nearest palette colours, runs of bits,
// red/blue swaps and copies of platform bitmaps.
#include <cstdint>
#include <memory>

#include "imaging/core/ikdefs.h"
#include "imaging/core/ikutils.h"
#include "imaging/core/imgkitioParams.h"
#include "platform/forms/Graphics.h"

namespace imaging {

class TIKBitmap;

// `color` is packed red << 16 | green << 8 | blue.
void RGBToHSL(double& hue, double& saturation, double& lightness, uint32_t color);
void HSLToRGB(TRGB& color, double hue, double saturation, double lightness);
double HueToChannel(double p, double q, double t);

void ImageMeanRGB(TIKBitmap* bitmap, int32_t& red, int32_t& green, int32_t& blue);
// One row of any pixel format as colours (16-bit samples by their high
// byte, float gray as trunc(v x 255)); `out` holds Width() entries.
void ReadRowRGB(TIKBitmap* bitmap, int32_t y, TRGB* out);
// A 1-bit image whose clear bits stand for the darker of exactly two
// colours; null when the image holds one colour or more than two.
std::unique_ptr<TIKBitmap> ConvertTwoColorsTo1Bit(TIKBitmap* bitmap, TRGB& color1, TRGB& color2);
int32_t FindNearestColor(const TRGB* palette, int32_t count, uint32_t color);

// Destination bits a .. a + count - 1 take source bits s .. s + count - 1;
// every other destination bit keeps its value. `sourceBytes` bounds the
// source reads.
void CopyBits(uint8_t* dest, const uint8_t* source, int32_t destBit, int32_t sourceBit, int32_t count,
              int32_t sourceBytes);
// Every bit of every row of a 1-bit image, the row padding included.
void InvertBits(TIKBitmap* bitmap);

void CopySwapRB24(uint8_t* dest, const uint8_t* source, int32_t count);
void SwapRB24(uint8_t* buffer, int32_t count);
void SwapRB48(uint8_t* buffer, int32_t count);
void SwapRBTriples(TRGB* colors, int32_t count);

// Entry i: eight 3-byte pixels, white where bit 7 - j of i is set.
extern uint8_t ExpandBitsTable[256][24];
void BuildExpandTable();
void Expand1BitTBitmapTo24(forms::TBitmap* source, forms::TBitmap* target, TProgressRec& progress);
void CopyTBitmap(forms::TBitmap* source, forms::TBitmap* target);
std::unique_ptr<forms::TBitmap> DuplicateTBitmap(forms::TBitmap* source);

}  // namespace imaging
