#include "imaging/core/imgkitprocPixels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/ikutilsConvert.h"
#include "imaging/core/ikutilsSupport.h"

namespace imaging {

// ---- HSL ----

void RGBToHSL(double& hue, double& saturation, double& lightness, uint32_t color) {
  const double r = ((color >> 16) & 0xFF) / 255.0, g = ((color >> 8) & 0xFF) / 255.0, b = (color & 0xFF) / 255.0;
  const double mx = std::max({r, g, b}), mn = std::min({r, g, b});
  lightness = (mx + mn) / 2;
  hue = saturation = 0;
  if (mx == mn) return;
  const double d = mx - mn;
  saturation = lightness >= 0.5 ? d / (2 - mx - mn) : d / (mx + mn);
  double h;
  if (mx == r)
    h = (g - b) / d;
  else if (mx != g)
    h = (r - g) / d + 4;
  else
    h = (b - r) / d + 2;
  hue = h / 6;
  if (hue < 0) hue += 1;
}

double HueToChannel(double p, double q, double t) {
  if (t < 0) t += 1;
  if (t > 1) t -= 1;
  if (6 * t < 1) return p + (q - p) * 6 * t;
  if (2 * t < 1) return q;
  if (3 * t < 2) return p + (q - p) * (2.0 / 3 - t) * 6;
  return p;
}

void HSLToRGB(TRGB& color, double hue, double saturation, double lightness) {
  if (hue < 0) hue += 1;
  if (hue > 1) hue -= 1;
  saturation = std::clamp(saturation, 0.0, 1.0);
  lightness = std::clamp(lightness, 0.0, 1.0);
  double r = lightness, g = lightness, b = lightness;
  if (saturation != 0) {
    const double q = lightness > 0.5 ? lightness + saturation - lightness * saturation : lightness * (1 + saturation);
    const double p = 2 * lightness - q;
    r = HueToChannel(p, q, hue + 1.0 / 3);
    g = HueToChannel(p, q, hue);
    b = HueToChannel(p, q, hue - 1.0 / 3);
  }
  auto toByte = [](double v) { return ClampByte(static_cast<int32_t>(std::nearbyint(v * 255))); };
  color = CreateRGB(toByte(r), toByte(g), toByte(b));
}

// ---- mean colour and two-colour packing ----

void ImageMeanRGB(TIKBitmap* bitmap, int32_t& red, int32_t& green, int32_t& blue) {
  red = green = blue = 0;
  const int32_t width = bitmap->Width(), height = bitmap->Height();
  if (width <= 0 || height <= 0) return;
  std::vector<TRGB> row(static_cast<size_t>(width));
  int64_t tr = 0, tg = 0, tb = 0;
  for (int32_t y = 0; y < height; ++y) {
    ReadRowRGB(bitmap, y, row.data());
    int64_t sr = 0, sg = 0, sb = 0;
    for (const TRGB& c : row) {
      sr += c.r;
      sg += c.g;
      sb += c.b;
    }
    tr += sr / width;
    tg += sg / width;
    tb += sb / width;
  }
  red = static_cast<int32_t>(tr / height);
  green = static_cast<int32_t>(tg / height);
  blue = static_cast<int32_t>(tb / height);
}

void ReadRowRGB(TIKBitmap* bitmap, int32_t y, TRGB* out) {
  const int32_t width = bitmap->Width();
  const auto* row = static_cast<const uint8_t*>(bitmap->ScanLine(y));
  switch (bitmap->PixelFormat()) {
    case ikNoFormat: std::fill_n(out, width, TRGB{}); break;
    case ikMono1:
      for (int32_t x = 0; x < width; ++x)
        out[x] = GetBit(row, static_cast<uint32_t>(x)) ? CreateRGB(255, 255, 255) : TRGB{};
      break;
    case ikPalette8:
      for (int32_t x = 0; x < width; ++x) out[x] = bitmap->GetPaletteColor(row[x]);
      break;
    case ikGray8:
      for (int32_t x = 0; x < width; ++x) out[x] = CreateRGB(row[x], row[x], row[x]);
      break;
    case ikGray16:
      for (int32_t x = 0; x < width; ++x) {
        const auto v = static_cast<uint8_t>(IKLoad<uint16_t>(row + 2 * x) >> 8);
        out[x] = CreateRGB(v, v, v);
      }
      break;
    case ikRGB24: std::memcpy(out, row, static_cast<size_t>(width) * 3); break;
    case ik32f:
      for (int32_t x = 0; x < width; ++x) {
        const uint8_t v = FloatToByte(IKLoad<float>(row + 4 * x));
        out[x] = CreateRGB(v, v, v);
      }
      break;
    case ikCMYK:
      for (int32_t x = 0; x < width; ++x) out[x] = CMYKToRGB(IKLoad<TCMYK>(row + 4 * x));
      break;
    case ikRGB48:
      for (int32_t x = 0; x < width; ++x) {
        const auto c = IKLoad<TRGB48>(row + 6 * x);
        out[x] = CreateRGB(static_cast<uint8_t>(c.r >> 8), static_cast<uint8_t>(c.g >> 8),
                           static_cast<uint8_t>(c.b >> 8));
      }
      break;
    case ikCIELab:
      for (int32_t x = 0; x < width; ++x) out[x] = CIELabToRGB(PackCIELab(IKLoad<TCIELab>(row + 3 * x)));
      break;
  }
}

std::unique_ptr<TIKBitmap> ConvertTwoColorsTo1Bit(TIKBitmap* bitmap, TRGB& color1, TRGB& color2) {
  const int32_t width = bitmap->Width(), height = bitmap->Height();
  THash1 colors(13);
  auto result = std::make_unique<TIKBitmap>();
  result->Allocate(width, height, ikMono1);
  std::vector<TRGB> row(static_cast<size_t>(std::max(width, 1)));
  std::vector<uint8_t> bits(static_cast<size_t>(result->RowLength()));
  for (int32_t y = 0; y < height && colors.Count() <= 2; ++y) {
    ReadRowRGB(bitmap, y, row.data());
    std::fill(bits.begin(), bits.end(), 0);
    for (int32_t x = 0; x < width; ++x) {
      const TRGB c = row[static_cast<size_t>(x)];
      if (colors.Insert(static_cast<uint32_t>(PackRGB(c)))) {
        if (colors.Count() == 1)
          color1 = c;
        else
          color2 = c;
      }
      SetBit(bits.data(), static_cast<uint32_t>(x), !(c == color1));
    }
    std::memcpy(result->ScanLine(y), bits.data(), bits.size());
  }
  if (colors.Count() != 2) return nullptr;
  const int32_t w1 = color1.r * GrayWeightRed + color1.g * GrayWeightGreen + color1.b * GrayWeightBlue;
  const int32_t w2 = color2.r * GrayWeightRed + color2.g * GrayWeightGreen + color2.b * GrayWeightBlue;
  if (std::nearbyint(w2 / 100.0) < std::nearbyint(w1 / 100.0)) {
    InvertBits(result.get());
    std::swap(color1, color2);
  }
  return result;
}

int32_t FindNearestColor(const TRGB* palette, int32_t count, uint32_t color) {
  const int32_t r = (color >> 16) & 0xFF, g = (color >> 8) & 0xFF, b = color & 0xFF;
  int32_t best = 1000, index = 0;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t d = std::abs(r - palette[i].r) + std::abs(g - palette[i].g) + std::abs(b - palette[i].b);
    if (d < best) {
      best = d;
      index = i;
    }
  }
  return index;
}

// ---- bits ----

void CopyBits(uint8_t* dest, const uint8_t* source, int32_t destBit, int32_t sourceBit, int32_t count,
              int32_t sourceBytes) {
  if (count < 1 || destBit < 0 || sourceBit < 0) return;
  // The source run goes through a buffer first, so that overlapping
  // source and destination (a row shifted in place) read the old bits.
  const int64_t first = sourceBit / 8;
  const int64_t wanted = (static_cast<int64_t>(count) + sourceBit % 8 + 7) / 8 + 8;
  const int64_t available = std::max<int64_t>(0, sourceBytes - first);
  const int64_t n = std::min(wanted, available);
  std::vector<uint8_t> buffer(static_cast<size_t>(wanted), 0);
  if (n > 0) std::memcpy(buffer.data(), source + first, static_cast<size_t>(n));
  const int32_t offset = sourceBit % 8;
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t s = static_cast<uint32_t>(offset + i);
    SetBit(dest, static_cast<uint32_t>(destBit + i), GetBit(buffer.data(), s) != 0);
  }
}

void InvertBits(TIKBitmap* bitmap) {
  if (bitmap->PixelFormat() != ikMono1) return;
  const int32_t rowLength = bitmap->RowLength();
  for (int32_t y = 0; y < bitmap->Height(); ++y) {
    auto* row = static_cast<uint8_t*>(bitmap->ScanLine(y));
    for (int32_t i = 0; i < rowLength / 2 * 2; ++i) row[i] = static_cast<uint8_t>(~row[i]);
  }
}

// ---- swaps ----

void CopySwapRB24(uint8_t* dest, const uint8_t* source, int32_t count) {
  for (int32_t i = 0; i < count; ++i, dest += 3, source += 3) {
    const uint8_t a = source[0], b = source[1], c = source[2];
    dest[0] = c;
    dest[1] = b;
    dest[2] = a;
  }
}

void SwapRB24(uint8_t* buffer, int32_t count) {
  for (int32_t i = 0; i < count; ++i, buffer += 3) std::swap(buffer[0], buffer[2]);
}

void SwapRB48(uint8_t* buffer, int32_t count) {
  for (int32_t i = 0; i < count; ++i, buffer += 6) {
    std::swap(buffer[0], buffer[4]);
    std::swap(buffer[1], buffer[5]);
  }
}

void SwapRBTriples(TRGB* colors, int32_t count) {
  for (int32_t i = 0; i < count; ++i) std::swap(colors[i].r, colors[i].b);
}

// ---- 1-bit expansion and platform bitmaps ----

uint8_t ExpandBitsTable[256][24];

void BuildExpandTable() {
  for (int i = 0; i < 256; ++i)
    for (int j = 0; j < 8; ++j) std::memset(&ExpandBitsTable[i][j * 3], (i >> (7 - j)) & 1 ? 255 : 0, 3);
}

namespace {
const bool expandTableBuilt = (BuildExpandTable(), true);
}  // namespace

void Expand1BitTBitmapTo24(forms::TBitmap* source, forms::TBitmap* target, TProgressRec& progress) {
  (void)expandTableBuilt;
  target->SetSize(1, 1);
  target->SetPixelFormat(forms::pf24bit);
  const int width = source->Width(), height = source->Height();
  target->SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    const auto* in = static_cast<const uint8_t*>(source->ScanLine(y));
    auto* out = static_cast<uint8_t*>(target->ScanLine(y));
    const int full = width / 8;
    for (int i = 0; i < full; ++i) std::memcpy(out + 24 * i, ExpandBitsTable[in[i]], 24);
    if (width % 8) std::memcpy(out + 24 * full, ExpandBitsTable[in[full]], static_cast<size_t>(width % 8) * 3);
    if (progress.Callback)
      progress.Callback(progress.CallbackData, progress.Sender,
                        static_cast<int32_t>(100 / (height + 0.5) * (y + 1)));
  }
}

void CopyTBitmap(forms::TBitmap* source, forms::TBitmap* target) {
  if (source->Width() == 0 || source->Height() == 0) {
    target->SetSize(1, 1);
    target->SetPixelFormat(source->PixelFormat());
    return;
  }
  if (source->Width() != target->Width() || source->Height() != target->Height() ||
      source->PixelFormat() != target->PixelFormat()) {
    target->SetSize(1, 1);
    target->SetPixelFormat(source->PixelFormat());
    target->SetSize(source->Width(), source->Height());
  }
  // Row by row: the two bitmaps need not share a row order in memory.
  const int64_t rowBytes = TBitmapRowLength(target->Width(), target->PixelFormat());
  for (int y = 0; y < source->Height(); ++y)
    std::memcpy(target->ScanLine(y), source->ScanLine(y), static_cast<size_t>(rowBytes));
}

std::unique_ptr<forms::TBitmap> DuplicateTBitmap(forms::TBitmap* source) {
  auto copy = std::make_unique<forms::TBitmap>();
  CopyTBitmap(source, copy.get());
  return copy;
}

}  // namespace imaging
