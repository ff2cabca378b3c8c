#pragma once
// The BMP filter: Windows (40-, 64-byte and the longer V4/V5 headers) and
// OS/2 (12-byte) device-independent bitmaps of 1, 4, 8, 16, 24 and 32 bits,
// RLE4 and RLE8, bit fields, and a 32-bit image's fourth byte as a mask.
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/core/ikdefs.h"
#include "imaging/core/imgkitioParams.h"
#include "platform/rtl/Streams.h"

namespace imaging {

class TIKBitmap;
class TIKMask;

// Reads one bitmap at the stream's position. `dataLength` (< 1: the file
// header's size) bounds the compressed data. With `noFileHeader` the
// stream starts at the info header. `alphaMask` receives the fourth bytes
// of a 32-bit image (made when null, reset when it carries nothing).
// Bad or short data sets the abort flag or keeps what was read; nothing is
// raised.
void ReadBmpImage(rtl::TStream& stream, TIKBitmap* bitmap, int32_t dataLength, TIOParamsVals& params,
                  TProgressRec& progress, bool paramsOnly, bool noFileHeader, std::unique_ptr<TIKMask>& alphaMask,
                  bool ignoreAlpha);

// Writes the buffer as a BMP file at the stream's position. A short write
// sets the abort flag and leaves the headers unpatched.
void WriteBmpImage(rtl::TStream& stream, TIKBitmap* bitmap, TIOParamsVals& params, TProgressRec& progress);

// One row of palette indices (one per byte; 0 to 15 for RLE4) encoded and
// appended to `out`, ending with the end-of-line pair.
void EncodeBmpRle8(const uint8_t* row, int32_t count, std::vector<uint8_t>& out);
void EncodeBmpRle4(const uint8_t* row, int32_t count, std::vector<uint8_t>& out);

// Puts the BMP reader and writer in place for the input/output component.
void InstallBmpFilter();

}  // namespace imaging
