#pragma once
// Building small pictures pixel by pixel and exchanging them with outside
// programs as binary PPM files.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "imaging/core/ikutils.h"
#include "imaging/core/ikutilsBitmap.h"

namespace imaging::testing {

inline void MakeRGB(TIKBitmap& b, int32_t w, int32_t h, const std::function<TRGB(int32_t, int32_t)>& pixel) {
  b.Allocate(w, h, ikRGB24);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) b.SetPixelRGB24(x, y, pixel(x, y));
}

inline void MakeGray(TIKBitmap& b, int32_t w, int32_t h, const std::function<uint8_t(int32_t, int32_t)>& value) {
  b.Allocate(w, h, ikGray8);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) b.SetPixelByte(x, y, value(x, y));
}

inline void MakeMono(TIKBitmap& b, int32_t w, int32_t h, const std::function<bool(int32_t, int32_t)>& set) {
  b.Allocate(w, h, ikMono1);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) SetBit(static_cast<uint8_t*>(b.ScanLine(y)), static_cast<uint32_t>(x), set(x, y));
}

inline bool Bit(TIKBitmap& b, int32_t x, int32_t y) {
  return GetBit(static_cast<const uint8_t*>(b.ScanLine(y)), static_cast<uint32_t>(x)) != 0;
}

inline bool WritePpm(TIKBitmap& b, const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << b.Width() << " " << b.Height() << "\n255\n";
  for (int32_t y = 0; y < b.Height(); ++y)
    for (int32_t x = 0; x < b.Width(); ++x) {
      const TRGB c = b.GetPixelRGB24(x, y);
      const char rgb[3] = {static_cast<char>(c.r), static_cast<char>(c.g), static_cast<char>(c.b)};
      out.write(rgb, 3);
    }
  return static_cast<bool>(out);
}

// A P6 file with maxval 255, as ImageMagick writes it.
inline bool ReadPpm(const std::string& path, TIKBitmap& b) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int w = 0, h = 0, maxval = 0;
  in >> magic >> w >> h >> maxval;
  in.get();
  if (magic != "P6" || w <= 0 || h <= 0 || maxval != 255) return false;
  b.Allocate(w, h, ikRGB24);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      unsigned char rgb[3];
      if (!in.read(reinterpret_cast<char*>(rgb), 3)) return false;
      b.SetPixelRGB24(x, y, CreateRGB(rgb[0], rgb[1], rgb[2]));
    }
  return true;
}

// The command's standard output; `ok` tells whether it exited with 0.
inline std::string RunCommand(const std::string& command, bool* ok = nullptr) {
  std::string out;
  FILE* p = ::popen(command.c_str(), "r");
  if (!p) {
    if (ok) *ok = false;
    return out;
  }
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
  const int status = ::pclose(p);
  if (ok) *ok = status == 0;
  return out;
}

}  // namespace imaging::testing
