#include "imaging/core/ikquantizer.h"

#include <algorithm>
#include <cstring>

#include "imaging/core/ikutilsBitmap.h"

namespace imaging {

std::vector<TRGB> ExactColorList(TIKBitmap* source, int32_t colorCount, TRGB* palette) {
  std::vector<TRGB> list;
  if (source->PixelFormat() != ikRGB24) return list;
  std::unordered_map<uint32_t, int32_t> seen;
  const int32_t width = source->Width();
  for (int32_t y = 0; y < source->Height(); ++y) {
    const auto* row = static_cast<const TRGB*>(source->ScanLine(y));
    for (int32_t x = 0; x < width; ++x) {
      TRGB c;
      std::memcpy(&c, row + x, sizeof c);
      if (!seen.emplace(static_cast<uint32_t>(PackRGB(c)), static_cast<int32_t>(list.size())).second) continue;
      if (static_cast<int32_t>(list.size()) >= colorCount) return {};
      list.push_back(c);
    }
  }
  std::copy(list.begin(), list.end(), palette);
  return list;
}

TIKQuantizer::TIKQuantizer(TIKBitmap* source, int32_t colorCount, TRGB* palette)
    : source_(source) {
  // Palettes hold at most 256 colours; the ramp and the indexes follow.
  colorCount = std::clamp(colorCount, 1, 256);
  colorCount_ = colorCount;
  grayScale_ = source->IsGrayscale();
  if (grayScale_ || source->PixelFormat() != ikRGB24) {
    if (source->PixelFormat() == ikPalette8) {
      // Only the colours the source has: a short palette must not be read
      // past its end.
      const int32_t n = std::min(colorCount, source->PaletteLength());
      for (int32_t i = 0; i < n; ++i) palette[i] = source->GetPaletteColor(i);
      sourcePalette_.assign(palette, palette + n);
    } else if (grayScale_) {
      for (int32_t i = 0; i < colorCount; ++i) {
        const auto v = static_cast<uint8_t>(256.0 / colorCount * i);
        palette[i] = CreateRGB(v, v, v);
      }
    }
    return;
  }
  exact_ = ExactColorList(source, colorCount, palette);
  if (!exact_.empty()) {
    for (size_t i = 0; i < exact_.size(); ++i)
      exactIndex_.emplace(static_cast<uint32_t>(PackRGB(exact_[i])), static_cast<int32_t>(i));
    return;
  }
  method_ = colorCount < 128 ? 1 : 0;
  if (method_ == 1)
    boxQuant_ = BoxQuantCreate(source, palette, colorCount);
  else
    neuQuant_ = NeuQuantCreate(source, palette, -1, colorCount);
}

TIKQuantizer::~TIKQuantizer() = default;

int32_t TIKQuantizer::ColorIndex(const TRGB& color) const {
  if (!exact_.empty()) {
    const auto it = exactIndex_.find(static_cast<uint32_t>(PackRGB(color)));
    return it == exactIndex_.end() ? -1 : it->second;
  }
  // A palette source answers from its own palette, which is the one the
  // caller received, even when its colours are all gray.
  if (!sourcePalette_.empty()) {
    for (size_t i = 0; i < sourcePalette_.size(); ++i)
      if (sourcePalette_[i] == color) return static_cast<int32_t>(i);
    return static_cast<int32_t>(sourcePalette_.size());
  }
  if (grayScale_) return static_cast<int32_t>(color.r * static_cast<int64_t>(colorCount_) / 256);
  if (neuQuant_) return NeuQuantIndex(neuQuant_.get(), color);
  if (boxQuant_) return BoxQuantIndex(boxQuant_.get(), color);
  return 0;
}

void QuantizeToPalette(TIKBitmap* source, TIKBitmap* dest, int32_t colors) {
  const int32_t width = source->Width(), height = source->Height();
  if (source->PixelFormat() != ikRGB24 || dest->PixelFormat() != ikPalette8 || dest->Width() != width ||
      dest->Height() != height)
    return;
  TRGB palette[256] = {};
  TIKQuantizer quantizer(source, std::clamp(colors, 1, 256), palette);
  for (int32_t i = 0; i < std::min(256, dest->PaletteLength()); ++i) dest->SetPaletteColor(i, palette[i]);
  TIKAccessScope scope(source, dest);
  std::vector<TRGB> row(static_cast<size_t>(width));
  std::vector<uint8_t> out(static_cast<size_t>(width));
  for (int32_t y = 0; y < height; ++y) {
    std::memcpy(row.data(), source->ScanLine(y), row.size() * 3);
    for (int32_t x = 0; x < width; ++x)
      out[static_cast<size_t>(x)] = static_cast<uint8_t>(std::clamp(quantizer.ColorIndex(row[static_cast<size_t>(x)]), 0, 255));
    std::memcpy(dest->ScanLine(y), out.data(), out.size());
  }
}

}  // namespace imaging
