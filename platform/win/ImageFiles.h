#pragma once
// Reading and writing pictures as files: PNG through libpng and BMP of
// every depth and compression the platform reads.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/win/Surface.h"
#include "platform/win/Types.h"

namespace win {

// Writes the surface as an opaque 8-bit RGB PNG; the alpha byte is ignored,
// since window surfaces carry whatever drawing left there.
bool SavePng(const Surface& surface, const std::string& path);
// Writes RGBA with the alpha byte as stored (straight, not premultiplied).
bool SavePngWithAlpha(const Surface& surface, const std::string& path);

// Reads any PNG (palette, grey, 16-bit, interlaced, tRNS) into 0xAARRGGBB
// pixels with straight alpha; opaque images get alpha 255. Null on failure.
std::unique_ptr<Surface> LoadPng(const std::string& path);
std::unique_ptr<Surface> LoadPngFromMemory(const uint8_t* data, size_t size);
bool IsPngData(const uint8_t* data, size_t size);

// A BMP file split into its info block (header + colour table or masks)
// and its pixel bits, as LoadImage and the class library hand them on.
struct BmpFile {
  std::vector<uint8_t> info;
  std::vector<uint8_t> bits;
};
bool ReadBmpFile(const std::string& path, BmpFile* out);
bool ParseBmp(const uint8_t* data, size_t size, BmpFile* out);

// Decodes a BMP into 32-bit pixels (alpha 0 except for 32-bit files, which
// keep their fourth byte). Null on failure.
std::unique_ptr<Surface> LoadBmp(const std::string& path);
std::unique_ptr<Surface> LoadBmpFromMemory(const uint8_t* data, size_t size);

// Writes a bottom-up BI_RGB BMP of 24 or 32 bits per pixel.
bool SaveBmp(const Surface& surface, const std::string& path, int bitCount = 24);
std::vector<uint8_t> EncodeBmp(const Surface& surface, int bitCount = 24);

}  // namespace win
