// Pixel-format conversion of the image buffer: every pair of the ten
// formats, row by row, so that both bitmaps may live in temporary files.
#include "imaging/core/ikutilsConvert.h"

#include <algorithm>
#include <cstring>

#include "imaging/core/ikutils.h"
#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/ikquantizer.h"
#include "imaging/core/imgkitprocThreshold.h"

namespace imaging {

namespace {

bool HoldableInTBitmap(TIKPixelFormat format) {
  return format == ikMono1 || format == ikPalette8 || format == ikGray8 || format == ikGray16 || format == ikRGB24;
}

// Luma of the float and 16-bit conversions, weights summing to 1000.
uint16_t Luma16(int32_t r, int32_t g, int32_t b) {
  return static_cast<uint16_t>((r * 257 * 212 + g * 257 * 713 + b * 257 * 75) / 1000);
}
float Luma32f(int32_t r, int32_t g, int32_t b) {
  return static_cast<float>((r * 0.2126 + g * 0.7152 + b * 0.0722) / 255);
}

// A conversion that takes the source to ikRGB24 first.
bool GoesViaRGB24(TIKPixelFormat from, TIKPixelFormat to, uint8_t ditherMethod) {
  if (from == to) return false;
  if (from == ikCMYK || from == ikCIELab) return to != ikRGB24;
  if (to == ikCMYK || to == ikCIELab) return from != ikRGB24;
  if (from == ikRGB48) return to == ikPalette8 || (to == ikMono1 && ditherMethod != 0);
  return false;
}

// Ordered dither of one pixel by its 8-bit level.
void PutDithered(uint8_t* row, int32_t x, int32_t y, int32_t level) {
  if (BayerMatrix[x & 7][y & 7] < level / 4) SetBit(row, static_cast<uint32_t>(x), true);
}

void SetGrayRamp(TIKBitmap* bmp) {
  for (int32_t i = 0; i < bmp->PaletteLength(); ++i) {
    const auto v = static_cast<uint8_t>(i);
    bmp->SetPaletteColor(i, CreateRGB(v, v, v));
  }
}

// Writes one pixel of an 8-bit-per-channel colour into any format but
// ikMono1, ikPalette8, ikCMYK and ikCIELab (those are handled apart).
void PutColorFromRGB(TIKPixelFormat to, uint8_t* out, int32_t x, const TRGB& c) {
  switch (to) {
    case ikGray8: out[x] = static_cast<uint8_t>(GrayLevel(c)); break;
    case ikGray16: IKStore<uint16_t>(out + 2 * x, Luma16(c.r, c.g, c.b)); break;
    case ikRGB24: IKStore<TRGB>(out + 3 * x, c); break;
    case ik32f: IKStore<float>(out + 4 * x, Luma32f(c.r, c.g, c.b)); break;
    case ikCMYK: IKStore<TCMYK>(out + 4 * x, RGBToCMYK(c)); break;
    case ikRGB48:
      IKStore<TRGB48>(out + 6 * x, TRGB48{static_cast<uint16_t>(c.r * 257), static_cast<uint16_t>(c.g * 257),
                                        static_cast<uint16_t>(c.b * 257)});
      break;
    case ikCIELab: IKStore<TCIELab>(out + 3 * x, RGBToCIELab(PackRGB(c))); break;
    default: break;
  }
}

// Writes a gray sample given at 8 and 16 bits and as a float.
void PutGray(TIKPixelFormat to, uint8_t* out, int32_t x, int32_t y, uint8_t v8, uint16_t v16, float vf) {
  switch (to) {
    case ikMono1: PutDithered(out, x, y, v8); break;
    case ikPalette8:
    case ikGray8: out[x] = v8; break;
    case ikGray16: IKStore<uint16_t>(out + 2 * x, v16); break;
    case ikRGB24: IKStore<TRGB>(out + 3 * x, CreateRGB(v8, v8, v8)); break;
    case ik32f: IKStore<float>(out + 4 * x, vf); break;
    case ikRGB48: IKStore<TRGB48>(out + 6 * x, TRGB48{v16, v16, v16}); break;
    default: break;
  }
}

void ConvertRow(TIKPixelFormat from, const uint8_t* in, const TRGB* palette, TIKPixelFormat to, uint8_t* out,
                int32_t width, int32_t y) {
  for (int32_t x = 0; x < width; ++x) {
    switch (from) {
      case ikMono1: {
        const bool white = GetBit(in, static_cast<uint32_t>(x)) != 0;
        if (to == ikPalette8) {
          out[x] = white ? 1 : 0;
        } else {
          PutGray(to, out, x, y, white ? 255 : 0, white ? 65535 : 0, white ? 1.0f : 0.0f);
        }
        break;
      }
      case ikPalette8: {
        const TRGB c = palette ? palette[in[x]] : TRGB{};
        if (to == ikMono1)
          PutDithered(out, x, y, GrayLevel(c));
        else if (to == ikRGB48 || to == ikGray16 || to == ik32f || to == ikRGB24 || to == ikGray8)
          PutColorFromRGB(to, out, x, c);
        break;
      }
      case ikGray8: {
        const uint8_t v = in[x];
        PutGray(to, out, x, y, v, static_cast<uint16_t>(v * 257), static_cast<float>(v / 255.0));
        break;
      }
      case ikGray16: {
        const uint16_t v = IKLoad<uint16_t>(in + 2 * x);
        if (to == ikMono1) {
          // Compared at the matrix's own 6-bit scale.
          if (BayerMatrix[x & 7][y & 7] < (v >> 10)) SetBit(out, static_cast<uint32_t>(x), true);
        } else {
          PutGray(to, out, x, y, static_cast<uint8_t>(v >> 8), v, static_cast<float>(v / 65535.0));
        }
        break;
      }
      case ikRGB24: {
        const TRGB c = IKLoad<TRGB>(in + 3 * x);
        if (to == ikMono1)
          PutDithered(out, x, y, GrayLevel(c));
        else
          PutColorFromRGB(to, out, x, c);
        break;
      }
      case ik32f: {
        const float v = IKLoad<float>(in + 4 * x);
        PutGray(to, out, x, y, FloatToByte(v), FloatToWord(v), v);
        break;
      }
      case ikCMYK:
        if (to == ikRGB24) IKStore<TRGB>(out + 3 * x, CMYKToRGB(IKLoad<TCMYK>(in + 4 * x)));
        break;
      case ikCIELab:
        if (to == ikRGB24) IKStore<TRGB>(out + 3 * x, CIELabToRGB(PackCIELab(IKLoad<TCIELab>(in + 3 * x))));
        break;
      case ikRGB48: {
        const TRGB48 c = IKLoad<TRGB48>(in + 6 * x);
        const int32_t r8 = c.r >> 8, g8 = c.g >> 8, b8 = c.b >> 8;
        switch (to) {
          case ikMono1: PutDithered(out, x, y, GrayLevel(r8, g8, b8)); break;
          case ikGray8: out[x] = static_cast<uint8_t>(GrayLevel(r8, g8, b8)); break;
          case ikGray16: IKStore<uint16_t>(out + 2 * x, static_cast<uint16_t>((c.r * 212 + c.g * 713 + c.b * 75) / 1000)); break;
          case ikRGB24: IKStore<TRGB>(out + 3 * x, CreateRGB(static_cast<uint8_t>(r8), static_cast<uint8_t>(g8), static_cast<uint8_t>(b8))); break;
          case ik32f:
            IKStore<float>(out + 4 * x,
                         static_cast<float>((c.r * 0.2126 / 256 + c.g * 0.7152 / 256 + c.b * 0.0722 / 256) / 255));
            break;
          default: break;
        }
        break;
      }
      case ikNoFormat: break;
    }
  }
}

}  // namespace

void TIKBitmap::SetPixelFormat(TIKPixelFormat format) {
  if (format == PixelFormat()) return;
  ConvertPixelFormat(format);
}

void TIKBitmap::ConvertPixelFormat(TIKPixelFormat format) {
  if (location_ == ikTBitmap) {
    if (!HoldableInTBitmap(format)) {
      throw EIKError(String(IKPixelFormatInfo(format).Name) + " pixel format not allowed when Location=ikTBitmap");
    }
    if (IsEmpty() || !platformBitmap_) {
      if (platformBitmap_ && format == ikMono1) platformBitmap_->SetPixelFormat(forms::pf1bit);
      if (platformBitmap_ && format == ikRGB24) platformBitmap_->SetPixelFormat(forms::pf24bit);
      pixelFormat_ = format;
      return;
    }
    // The wrapped bitmap may be the caller's: it is converted through a
    // buffer in memory and filled again, so it stays the same object.
    TIKBitmap work;
    work.location_ = ikMemory;
    work.memoryThreshold_ = memoryThreshold_;
    work.AssignImage(this);
    work.ditherMethod_ = ditherMethod_;
    work.paletteCapacity_ = paletteCapacity_;
    work.ConvertPixelFormat(format);
    AssignImage(&work);
    return;
  }
  TIKBitmap held;
  TransferTo(&held);
  try {
    Allocate(held.width_, held.height_, format);
    if (held.pixelFormat_ != ikNoFormat) ConvertCopy(&held, ditherMethod_, paletteCapacity_);
  } catch (...) {
    FreeImage(true);
    held.TransferTo(this);
    throw;
  }
}

void TIKBitmap::ConvertPixelFormatCopy(TIKBitmap* destination, TIKBitmap* source) {
  if (!destination || !source || destination == source) return;
  destination->ConvertCopy(source, source->ditherMethod_, source->paletteCapacity_);
}

void TIKBitmap::ConvertCopy(TIKBitmap* source, uint8_t ditherMethod, int32_t paletteCapacity) {
  if (location_ == ikTBitmap || Width() != source->Width() || Height() != source->Height()) return;
  TIKPixelFormat from = source->PixelFormat();
  const TIKPixelFormat to = pixelFormat_;
  if (from != ikNoFormat && to != ikNoFormat && !IsEmpty()) {
    if (GoesViaRGB24(from, to, ditherMethod)) {
      source->ConvertPixelFormat(ikRGB24);
      from = ikRGB24;
    }
    if (to == ikMono1 && from != ikMono1 && ditherMethod != 0) {
      TProgressRec progress;
      ThresholdToBW(source, this, -1, progress);
    } else if (to == ikPalette8 && from == ikRGB24) {
      QuantizeToPalette(source, this, paletteCapacity);
    } else {
      if (to == ikPalette8) {
        if (from == ikMono1) {
          SetPaletteColor(0, CreateRGB(0, 0, 0));
          SetPaletteColor(1, CreateRGB(255, 255, 255));
        } else if (from == ikPalette8) {
          const int32_t colors = std::min(paletteLength_, source->PaletteLength());
          if (colors > 0) std::copy_n(source->palette_.get(), colors, palette_.get());
        } else {
          SetGrayRamp(this);
        }
      }
      TIKAccessScope access(source, this);
      const int32_t width = width_;
      const size_t rowBytes = static_cast<size_t>(rowLength_);
      const size_t sameBytes = static_cast<size_t>(std::min(rowLength_, source->rowLength_));
      for (int32_t y = 0; y < height_; ++y) {
        const auto* in = static_cast<const uint8_t*>(source->ScanLine(y));
        auto* out = static_cast<uint8_t*>(ScanLine(y));
        if (from == to) {
          std::memcpy(out, in, sameBytes);
          continue;
        }
        // Dithered rows only set bits, and a file-backed row mapped for
        // writing starts undefined, padding included.
        std::memset(out, 0, rowBytes);
        ConvertRow(from, in, source->palette_.get(), to, out, width, y);
      }
    }
  }
  if (source->alpha_ && !isAlphaPlane_) alpha_ = std::move(source->alpha_);
}

}  // namespace imaging
