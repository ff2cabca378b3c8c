#pragma once
// Pictures the imaging benchmarks work on: buffers held in memory whatever
// their size, and binary PPM files read into them.
#include <fstream>
#include <string>

#include "imaging/core/ikutilsBitmap.h"

namespace imaging::bench {

// An ikRGB24 buffer of w x h that stays in memory, so the figures never
// include temporary-file paging.
inline void Prepare(TIKBitmap& b, int32_t w, int32_t h) {
  b.SetLocation(ikMemory);
  b.SetMemoryThreshold(INT64_MAX);
  b.Allocate(w, h, ikRGB24);
}

// Rows of a P6 file with maxval 255 into an ikRGB24 buffer (blue first).
inline bool LoadPpm(const char* path, TIKBitmap& b) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int w = 0, h = 0, maxval = 0;
  in >> magic >> w >> h >> maxval;
  in.get();
  if (!in || magic != "P6" || maxval != 255 || w <= 0 || h <= 0 || w > 100000 || h > 100000) return false;
  Prepare(b, w, h);
  std::string row(static_cast<size_t>(w) * 3, '\0');
  for (int32_t y = 0; y < h; ++y) {
    if (!in.read(row.data(), static_cast<std::streamsize>(row.size()))) return false;
    auto* out = static_cast<uint8_t*>(b.ScanLine(y));
    for (int32_t x = 0; x < w; ++x) {
      out[3 * x] = static_cast<uint8_t>(row[3 * x + 2]);
      out[3 * x + 1] = static_cast<uint8_t>(row[3 * x + 1]);
      out[3 * x + 2] = static_cast<uint8_t>(row[3 * x]);
    }
  }
  return true;
}

}  // namespace imaging::bench
