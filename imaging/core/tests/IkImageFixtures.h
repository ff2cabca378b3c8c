#pragma once
// Pictures made and read by outside tools for the format filters' tests:
// running a tool, reading its PNM and PNG output, and comparing pixels with
// an image buffer.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "imaging/core/ikutilsBitmap.h"

namespace imaging::testing {

// A shell command; true when it exited with 0.
inline bool RunTool(const std::string& command) { return std::system((command + " 2>/dev/null").c_str()) == 0; }

// Pixels as red, green, blue, alpha bytes, rows top first.
struct RgbaImage {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> rgba;
  const uint8_t* At(int32_t x, int32_t y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};

// A binary PGM or PPM with maxval 255.
inline RgbaImage ReadPnm(const std::string& path) {
  RgbaImage img;
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int maxval = 0;
  in >> magic >> img.width >> img.height >> maxval;
  in.get();
  if (!in || (magic != "P5" && magic != "P6") || maxval != 255) return RgbaImage{};
  const int channels = magic == "P6" ? 3 : 1;
  std::vector<uint8_t> raw(static_cast<size_t>(img.width) * img.height * channels);
  in.read(reinterpret_cast<char*>(raw.data()), static_cast<std::streamsize>(raw.size()));
  img.rgba.resize(static_cast<size_t>(img.width) * img.height * 4);
  for (size_t i = 0; i < static_cast<size_t>(img.width) * img.height; ++i) {
    for (int c = 0; c < 3; ++c) img.rgba[4 * i + c] = raw[i * channels + (channels == 3 ? c : 0)];
    img.rgba[4 * i + 3] = 255;
  }
  return img;
}

inline RgbaImage ReadPng(const std::string& path) {
  RgbaImage img;
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) return img;
  png.format = PNG_FORMAT_RGBA;
  img.width = static_cast<int32_t>(png.width);
  img.height = static_cast<int32_t>(png.height);
  img.rgba.resize(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, img.rgba.data(), 0, nullptr)) return RgbaImage{};
  return img;
}

// The largest difference of a colour channel between the buffer and the
// picture; -1 when the sizes differ.
inline int MaxColorDifference(TIKBitmap& b, const RgbaImage& img) {
  if (b.Width() != img.width || b.Height() != img.height) return -1;
  int worst = 0;
  for (int32_t y = 0; y < img.height; ++y)
    for (int32_t x = 0; x < img.width; ++x) {
      const TRGB c = b.GetPixelRGB(x, y);
      const uint8_t* p = img.At(x, y);
      worst = std::max({worst, std::abs(c.r - p[0]), std::abs(c.g - p[1]), std::abs(c.b - p[2])});
    }
  return worst;
}

// The mean absolute difference over every colour channel; -1 when the
// sizes differ. For lossy round trips, where single pixels may stray.
inline double MeanColorDifference(TIKBitmap& b, const RgbaImage& img) {
  if (b.Width() != img.width || b.Height() != img.height) return -1;
  double sum = 0;
  for (int32_t y = 0; y < img.height; ++y)
    for (int32_t x = 0; x < img.width; ++x) {
      const TRGB c = b.GetPixelRGB(x, y);
      const uint8_t* p = img.At(x, y);
      sum += std::abs(c.r - p[0]) + std::abs(c.g - p[1]) + std::abs(c.b - p[2]);
    }
  return sum / (3.0 * img.width * img.height);
}

inline RgbaImage ToRgba(TIKBitmap& b) {
  RgbaImage img;
  img.width = b.Width();
  img.height = b.Height();
  for (int32_t y = 0; y < img.height; ++y)
    for (int32_t x = 0; x < img.width; ++x) {
      const TRGB px = b.GetPixelRGB(x, y);
      img.rgba.insert(img.rgba.end(), {px.r, px.g, px.b, 255});
    }
  return img;
}

inline std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace imaging::testing
