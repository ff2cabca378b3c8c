// Editing and exchange of the image buffer: resizing, the canvas, typed
// pixel access, fills, rectangle copies and the imports from platform
// bitmaps, masks and DIB sections.
#include <algorithm>
#include <cstring>

#include "imaging/core/ikutils.h"
#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/ikutilsConvert.h"
#include "imaging/core/ikutilsDib.h"
#include "imaging/core/ikutilsMask.h"

namespace imaging {

namespace {

// Keeps a source's rows from being written back while it is only read.
class ReadOnlyScope {
public:
  explicit ReadOnlyScope(TIKBaseBitmap* bmp) : bmp_(bmp), access_(bmp->Access()) { bmp_->SetAccess(ikaRead); }
  ~ReadOnlyScope() { bmp_->SetAccess(access_); }
  ReadOnlyScope(const ReadOnlyScope&) = delete;
  ReadOnlyScope& operator=(const ReadOnlyScope&) = delete;

private:
  TIKBaseBitmap* bmp_;
  TIKDataAccess access_;
};

// Clips a copy of width x height pixels from (sx, sy) of a source to
// (dx, dy) of a destination against both. A start beyond either bitmap
// copies nothing; a negative start on either side cuts the same amount off
// both, so the pixels that remain keep their places.
bool ClipCopy(int32_t sourceWidth, int32_t sourceHeight, int32_t destWidth, int32_t destHeight, int32_t& sx,
              int32_t& sy, int32_t& dx, int32_t& dy, int32_t& width, int32_t& height) {
  auto clipAxis = [](int32_t sourceSize, int32_t destSize, int32_t& s, int32_t& d, int32_t& n) {
    int64_t s64 = s, d64 = d, n64 = n;
    if (d64 < 0) {
      s64 -= d64;
      n64 += d64;
      d64 = 0;
    }
    if (s64 < 0) {
      d64 -= s64;
      n64 += s64;
      s64 = 0;
    }
    if (s64 >= sourceSize || d64 >= destSize || n64 <= 0) return false;
    n64 = std::min({n64, sourceSize - s64, destSize - d64});
    s = static_cast<int32_t>(s64);
    d = static_cast<int32_t>(d64);
    n = static_cast<int32_t>(n64);
    return n > 0;
  };
  return clipAxis(sourceWidth, destWidth, sx, dx, width) && clipAxis(sourceHeight, destHeight, sy, dy, height);
}

TRGB ColorValueToRGB(int64_t v) {
  const win::COLORREF c = forms::ColorToRGB(static_cast<forms::TColor>(static_cast<uint32_t>(v)));
  return CreateRGB(static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c >> 16));
}

bool IsWhite(const TRGB& c) { return c.r == 255 && c.g == 255 && c.b == 255; }

}  // namespace

// ---- size ----

void TIKBitmap::SetWidth(int32_t value) {
  if (value == Width()) return;
  ResizeTo(value, height_);
}

void TIKBitmap::SetHeight(int32_t value) {
  if (value == Height()) return;
  ResizeTo(width_, value);
}

void TIKBitmap::ResizeTo(int32_t width, int32_t height) {
  if (alpha_) alpha_->ResizeTo(width, height);
  if (location_ == ikTBitmap) {
    if (!platformBitmap_) {
      ownedPlatformBitmap_ = std::make_unique<forms::TBitmap>();
      platformBitmap_ = ownedPlatformBitmap_.get();
    }
    // The platform bitmap keeps its top-left pixels through a resize, at
    // every depth.
    platformBitmap_->SetSize(std::max(width, 0), std::max(height, 0));
    SyncFromTBitmap();
    return;
  }
  const bool otherAboveZero = width != width_ ? height_ > 0 : width_ > 0;
  if (pixelFormat_ == ikNoFormat || !otherAboveZero) {
    width_ = width;
    height_ = height;
    return;
  }
  TIKBitmap held;
  TransferTo(&held);
  try {
    Allocate(width, height, held.pixelFormat_);
  } catch (...) {
    held.TransferTo(this);
    throw;
  }
  if (!IsEmpty() && !held.IsEmpty()) {
    ReadOnlyScope readOnly(&held);
    const int32_t rows = std::min(height_, held.height_);
    const size_t bytes = static_cast<size_t>(std::min(rowLength_, held.rowLength_));
    for (int32_t r = 0; r < rows; ++r) std::memcpy(ScanLine(r), held.ScanLine(r), bytes);
  }
  if (palette_ && held.palette_) std::copy_n(held.palette_.get(), std::min(paletteLength_, held.paletteLength_), palette_.get());
  alpha_ = std::move(held.alpha_);
  full_ = false;
}

void TIKBitmap::ShiftForCanvas(bool horizontal, int32_t oldSize, int32_t newSize, int32_t position,
                               double fillValue, bool growing) {
  const int32_t w = Width(), h = Height();
  if (growing) {
    if (horizontal)
      FillRect(oldSize, 0, newSize - 1, h - 1, fillValue);
    else
      FillRect(0, oldSize, w - 1, newSize - 1, fillValue);
    if (position != 1 && position != 2) return;
    const int32_t shift = position == 1 ? (newSize - oldSize) / 2 : newSize - oldSize;
    if (horizontal)
      MoveRect(0, 0, oldSize - 1, h - 1, shift, 0, fillValue);
    else
      MoveRect(0, 0, w - 1, oldSize - 1, 0, shift, fillValue);
  } else {
    if (position != 1 && position != 2) return;
    const int32_t start = position == 1 ? (oldSize - newSize) / 2 : oldSize - newSize;
    if (horizontal)
      MoveRect(start, 0, oldSize - 1, h - 1, 0, 0, fillValue);
    else
      MoveRect(0, start, w - 1, oldSize - 1, 0, 0, fillValue);
  }
}

void TIKBitmap::ResizeCanvas(int32_t newWidth, int32_t newHeight, double fillValue, double alphaFillValue,
                             int32_t horizontalPosition, int32_t verticalPosition) {
  const int32_t oldWidth = Width(), oldHeight = Height();
  auto both = [&](bool horizontal, int32_t oldSize, int32_t newSize, int32_t position, bool growing) {
    ShiftForCanvas(horizontal, oldSize, newSize, position, fillValue, growing);
    if (alpha_) alpha_->ShiftForCanvas(horizontal, oldSize, newSize, position, alphaFillValue, growing);
  };
  if (newWidth < oldWidth) both(true, oldWidth, newWidth, horizontalPosition, false);
  if (newHeight < oldHeight) both(false, oldHeight, newHeight, verticalPosition, false);
  SetWidth(newWidth);
  SetHeight(newHeight);
  if (newWidth > oldWidth) both(true, oldWidth, newWidth, horizontalPosition, true);
  if (newHeight > oldHeight) both(false, oldHeight, newHeight, verticalPosition, true);
}

void TIKBitmap::MoveRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t destX, int32_t destY,
                         double fillValue) {
  if (IsEmpty() || x2 < x1 || y2 < y1) return;
  const int64_t w = static_cast<int64_t>(x2) - x1 + 1, h = static_cast<int64_t>(y2) - y1 + 1;
  // Only the part inside the bitmap moves; the copy is never larger.
  const auto width = static_cast<int32_t>(std::min<int64_t>(w, Width()));
  const auto height = static_cast<int32_t>(std::min<int64_t>(h, Height()));
  TIKBitmap copy;
  copy.memoryThreshold_ = memoryThreshold_;
  copy.Allocate(width, height, PixelFormat());
  CopyRectTo(&copy, x1, y1, 0, 0, width, height);
  FillRect(x1, y1, x2, y2, fillValue);
  copy.CopyRectTo(this, 0, 0, destX, destY, width, height);
}

// ---- pixels ----

uint8_t TIKBitmap::GetPixelByte(int32_t x, int32_t y) { return *PixelAddress(x, y, 1); }
void TIKBitmap::SetPixelByte(int32_t x, int32_t y, uint8_t value) {
  *PixelAddress(x, y, 1) = value;
  if (value != 255) full_ = false;
}
uint16_t TIKBitmap::GetPixelWord(int32_t x, int32_t y) { return IKLoad<uint16_t>(PixelAddress(x, y, 2)); }
void TIKBitmap::SetPixelWord(int32_t x, int32_t y, uint16_t value) {
  IKStore(PixelAddress(x, y, 2), value);
  if (value != 65535) full_ = false;
}
float TIKBitmap::GetPixelFloat(int32_t x, int32_t y) { return IKLoad<float>(PixelAddress(x, y, 4)); }
void TIKBitmap::SetPixelFloat(int32_t x, int32_t y, float value) {
  IKStore(PixelAddress(x, y, 4), value);
  if (value < 1.0f) full_ = false;
}
uint32_t TIKBitmap::GetPixelCMYK(int32_t x, int32_t y) { return IKLoad<uint32_t>(PixelAddress(x, y, 4)); }
void TIKBitmap::SetPixelCMYK(int32_t x, int32_t y, uint32_t value) { IKStore(PixelAddress(x, y, 4), value); }
TRGB TIKBitmap::GetPixelRGB24(int32_t x, int32_t y) { return IKLoad<TRGB>(PixelAddress(x, y, 3)); }
void TIKBitmap::SetPixelRGB24(int32_t x, int32_t y, const TRGB& value) { IKStore(PixelAddress(x, y, 3), value); }
TRGB48 TIKBitmap::GetPixelRGB48(int32_t x, int32_t y) { return IKLoad<TRGB48>(PixelAddress(x, y, 6)); }
void TIKBitmap::SetPixelRGB48(int32_t x, int32_t y, const TRGB48& value) {
  IKStore(PixelAddress(x, y, 6), value);
  if (value.r < 65535 || value.g < 65535 || value.b < 65535) full_ = false;
}

TRGB TIKBitmap::GetPixelRGB(int32_t x, int32_t y) {
  switch (PixelFormat()) {
    case ikNoFormat: return TRGB{};
    case ikMono1: {
      const bool white = GetBit(static_cast<const uint8_t*>(ScanLine(y)), static_cast<uint32_t>(x)) != 0;
      return white ? CreateRGB(255, 255, 255) : TRGB{};
    }
    case ikPalette8: return GetPaletteColor(GetPixelByte(x, y));
    case ikGray8: {
      const uint8_t v = GetPixelByte(x, y);
      return CreateRGB(v, v, v);
    }
    case ikGray16: {
      const auto v = static_cast<uint8_t>(GetPixelWord(x, y) >> 8);
      return CreateRGB(v, v, v);
    }
    case ikRGB24: return GetPixelRGB24(x, y);
    case ik32f: {
      const uint8_t v = FloatToByte(GetPixelFloat(x, y));
      return CreateRGB(v, v, v);
    }
    case ikCMYK: return CMYKToRGB(IKLoad<TCMYK>(PixelAddress(x, y, 4)));
    case ikRGB48: {
      const TRGB48 c = GetPixelRGB48(x, y);
      return CreateRGB(static_cast<uint8_t>(c.r >> 8), static_cast<uint8_t>(c.g >> 8), static_cast<uint8_t>(c.b >> 8));
    }
    case ikCIELab: return CIELabToRGB(PackCIELab(IKLoad<TCIELab>(PixelAddress(x, y, 3))));
  }
  return TRGB{};
}

// ---- fills ----

void TIKBitmap::Fill(double value) {
  if (IsEmpty()) return;
  const int64_t v = TruncToInt64(value);
  const TIKPixelFormat format = PixelFormat();
  const int32_t rows = Height(), width = Width();
  const size_t rowBytes = static_cast<size_t>(RowLength());
  // Byte and sample fills cover whole rows, padding included.
  auto eachRow = [&](auto&& write) {
    for (int32_t r = 0; r < rows; ++r) write(static_cast<uint8_t*>(ScanLine(r)));
  };
  const TRGB c = ColorValueToRGB(v);
  switch (format) {
    case ikNoFormat: return;
    case ikMono1:
      eachRow([&](uint8_t* row) { std::memset(row, v == 0 ? 0 : 255, rowBytes); });
      full_ = v != 0;
      break;
    case ikPalette8:
    case ikGray8:
      eachRow([&](uint8_t* row) { std::memset(row, static_cast<uint8_t>(v), rowBytes); });
      full_ = static_cast<uint8_t>(v) == 255;
      break;
    case ikGray16:
      eachRow([&](uint8_t* row) {
        for (size_t i = 0; i + 1 < rowBytes; i += 2) IKStore(row + i, static_cast<uint16_t>(v));
      });
      full_ = static_cast<uint16_t>(v) == 65535;
      break;
    case ik32f: {
      const auto f = static_cast<float>(value);
      eachRow([&](uint8_t* row) {
        for (int32_t x = 0; x < width; ++x) IKStore(row + 4 * x, f);
      });
      full_ = value == 1.0;
      break;
    }
    case ikRGB24:
    case ikCMYK:
    case ikRGB48:
    case ikCIELab: {
      const int32_t bpp = IKPixelBytes(format);
      uint8_t pixel[6];
      if (format == ikRGB24) IKStore(pixel, c);
      if (format == ikCMYK) IKStore(pixel, RGBToCMYK(c));
      if (format == ikRGB48)
        IKStore(pixel, TRGB48{static_cast<uint16_t>(c.r * 257), static_cast<uint16_t>(c.g * 257),
                              static_cast<uint16_t>(c.b * 257)});
      if (format == ikCIELab) IKStore(pixel, RGBToCIELab(PackRGB(c)));
      eachRow([&](uint8_t* row) {
        for (int32_t x = 0; x < width; ++x) std::memcpy(row + static_cast<size_t>(x) * bpp, pixel, bpp);
      });
      full_ = IsWhite(c);
      break;
    }
  }
}

void TIKBitmap::FillRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, double value) {
  if (IsEmpty()) return;
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = std::min(x2, Width() - 1);
  y2 = std::min(y2, Height() - 1);
  if (x1 > x2 || y1 > y2) return;
  const int64_t v = TruncToInt64(value);
  const TIKPixelFormat format = PixelFormat();
  const TRGB c = ColorValueToRGB(v);
  uint8_t pixel[6] = {};
  switch (format) {
    case ikPalette8:
    case ikGray8: pixel[0] = static_cast<uint8_t>(v); break;
    case ikGray16: IKStore(pixel, static_cast<uint16_t>(v)); break;
    case ik32f: IKStore(pixel, static_cast<float>(v)); break;
    case ikRGB24: IKStore(pixel, c); break;
    case ikCMYK: IKStore(pixel, RGBToCMYK(c)); break;
    case ikRGB48:
      IKStore(pixel, TRGB48{static_cast<uint16_t>(c.r * 257), static_cast<uint16_t>(c.g * 257),
                            static_cast<uint16_t>(c.b * 257)});
      break;
    case ikCIELab: IKStore(pixel, RGBToCIELab(PackRGB(c))); break;
    default: break;
  }
  const int32_t bpp = IKPixelBytes(format);
  for (int32_t y = y1; y <= y2; ++y) {
    auto* row = static_cast<uint8_t*>(ScanLine(y));
    for (int32_t x = x1; x <= x2; ++x) {
      if (format == ikMono1)
        SetBit(row, static_cast<uint32_t>(x), v != 0);
      else if (bpp > 0)
        std::memcpy(row + static_cast<size_t>(x) * bpp, pixel, bpp);
    }
  }
}

// ---- rectangle copies ----

void TIKBitmap::CopyRectTo(TIKBitmap* destination, int32_t sourceX, int32_t sourceY, int32_t destX, int32_t destY,
                           int32_t width, int32_t height) {
  if (!destination || IsEmpty() || destination->IsEmpty()) return;
  if (!ClipCopy(Width(), Height(), destination->Width(), destination->Height(), sourceX, sourceY, destX, destY, width,
                height)) {
    return;
  }
  const TIKPixelFormat from = PixelFormat(), to = destination->PixelFormat();
  const bool sameFormat = from == to && from != ikNoFormat;
  if (!sameFormat && !(from == ikMono1 && to == ikRGB24)) return;
  if (destination == this) {
    // A file-backed bitmap maps one row at a time, so a copy within one
    // bitmap goes through a separate one.
    TIKBitmap copy;
    copy.memoryThreshold_ = memoryThreshold_;
    copy.Allocate(width, height, from);
    CopyRectTo(&copy, sourceX, sourceY, 0, 0, width, height);
    copy.CopyRectTo(this, 0, 0, destX, destY, width, height);
    return;
  }
  ReadOnlyScope readOnly(this);
  const int32_t bpp = IKPixelBytes(from);
  for (int32_t r = 0; r < height; ++r) {
    const auto* in = static_cast<const uint8_t*>(ScanLine(sourceY + r));
    auto* out = static_cast<uint8_t*>(destination->ScanLine(destY + r));
    if (from == ikMono1 && to == ikMono1) {
      for (int32_t i = 0; i < width; ++i)
        SetBit(out, static_cast<uint32_t>(destX + i), GetBit(in, static_cast<uint32_t>(sourceX + i)) != 0);
    } else if (from == ikMono1) {
      for (int32_t i = 0; i < width; ++i) {
        const uint8_t v = GetBit(in, static_cast<uint32_t>(sourceX + i)) ? 255 : 0;
        IKStore(out + static_cast<size_t>(destX + i) * 3, CreateRGB(v, v, v));
      }
    } else {
      std::memcpy(out + static_cast<size_t>(destX) * bpp, in + static_cast<size_t>(sourceX) * bpp,
                  static_cast<size_t>(width) * bpp);
    }
  }
}

void TIKBitmap::MergeAlphaRectTo(TIKBitmap* destination, int32_t sourceX, int32_t sourceY, int32_t destX,
                                 int32_t destY, int32_t width, int32_t height) {
  if (!destination || destination == this) return;
  TIKBitmap* from = GetAlphaChannel();
  TIKBitmap* to = destination->GetAlphaChannel();
  if (!from || !to || from->PixelFormat() != ikGray8 || to->PixelFormat() != ikGray8) return;
  if (!ClipCopy(from->Width(), from->Height(), to->Width(), to->Height(), sourceX, sourceY, destX, destY, width,
                height)) {
    return;
  }
  // Taking the larger value never lowers a sample, so the destination
  // plane's Full flag stays true.
  ReadOnlyScope readOnly(from);
  for (int32_t r = 0; r < height; ++r) {
    const auto* in = static_cast<const uint8_t*>(from->ScanLine(sourceY + r)) + sourceX;
    auto* out = static_cast<uint8_t*>(to->ScanLine(destY + r)) + destX;
    for (int32_t i = 0; i < width; ++i) out[i] = std::max(out[i], in[i]);
  }
}

// ---- imports and exports ----

void TIKBitmap::CopyFromTBitmap(forms::TBitmap* bitmap) {
  if (!bitmap) return;
  if (location_ == ikTBitmap) {
    if (!platformBitmap_) {
      ownedPlatformBitmap_ = std::make_unique<forms::TBitmap>();
      platformBitmap_ = ownedPlatformBitmap_.get();
    }
    platformBitmap_->Assign(bitmap);
    SyncFromTBitmap();
    full_ = false;
    return;
  }
  const int32_t width = bitmap->Width(), height = bitmap->Height();
  const forms::TPixelFormat depth = bitmap->PixelFormat();
  TIKPixelFormat format = ikNoFormat;
  switch (depth) {
    case forms::pf1bit: format = bitmap->Monochrome() ? ikMono1 : ikPalette8; break;
    case forms::pf4bit:
    case forms::pf8bit: format = ikPalette8; break;
    case forms::pf15bit:
    case forms::pf16bit:
    case forms::pf24bit:
    case forms::pf32bit: format = ikRGB24; break;
    default: return;
  }
  Allocate(width, height, format);
  if (IsEmpty()) return;
  if (format == ikPalette8) {
    const auto table = bitmap->ColorTable();
    for (size_t i = 0; i < table.size() && i < 256; ++i) {
      SetPaletteColor(static_cast<int32_t>(i), CreateRGB(static_cast<uint8_t>(table[i] >> 16),
                                                         static_cast<uint8_t>(table[i] >> 8),
                                                         static_cast<uint8_t>(table[i])));
    }
  }
  const auto sourceRow = static_cast<size_t>(TBitmapRowLength(width, depth));
  const size_t same = std::min(sourceRow, static_cast<size_t>(rowLength_));
  for (int32_t y = 0; y < height; ++y) {
    const auto* in = static_cast<const uint8_t*>(bitmap->ScanLine(y));
    auto* out = static_cast<uint8_t*>(ScanLine(y));
    switch (depth) {
      case forms::pf1bit:
        if (format == ikMono1) {
          std::memcpy(out, in, same);
        } else {
          for (int32_t x = 0; x < width; ++x) out[x] = GetBit(in, static_cast<uint32_t>(x)) ? 1 : 0;
        }
        break;
      case forms::pf4bit:
        for (int32_t x = 0; x < width; ++x) out[x] = x % 2 == 0 ? in[x / 2] >> 4 : in[x / 2] & 15;
        break;
      case forms::pf8bit:
      case forms::pf24bit: std::memcpy(out, in, same); break;
      case forms::pf15bit:
        for (int32_t x = 0; x < width; ++x) {
          const uint16_t v = IKLoad<uint16_t>(in + 2 * x);
          IKStore(out + 3 * x, CreateRGB(static_cast<uint8_t>(((v >> 10) & 31) << 3),
                                         static_cast<uint8_t>(((v >> 5) & 31) << 3),
                                         static_cast<uint8_t>((v & 31) << 3)));
        }
        break;
      case forms::pf16bit:
        for (int32_t x = 0; x < width; ++x) {
          const uint16_t v = IKLoad<uint16_t>(in + 2 * x);
          IKStore(out + 3 * x, CreateRGB(static_cast<uint8_t>((v >> 11) << 3), static_cast<uint8_t>(((v >> 5) & 63) << 2),
                                         static_cast<uint8_t>((v & 31) << 3)));
        }
        break;
      case forms::pf32bit:
        for (int32_t x = 0; x < width; ++x) std::memcpy(out + 3 * x, in + 4 * x, 3);
        break;
      default: break;
    }
  }
  full_ = false;
}

void TIKBitmap::CopyFromTIKMask(TIKMask* mask) {
  if (!mask) {
    Fill(255);
    return;
  }
  if (mask->BitCount() != 1 && mask->BitCount() != 8) return;
  Allocate(mask->Width(), mask->Height(), mask->BitCount() == 1 ? ikMono1 : ikGray8);
  if (IsEmpty()) return;
  const size_t bytes = static_cast<size_t>(std::min(rowLength_, mask->RowLength()));
  for (int32_t y = 0; y < height_; ++y) std::memcpy(ScanLine(y), mask->ScanLine(y), bytes);
  full_ = mask->Full();
}

void TIKBitmap::CopyToTIKMask(TIKMask* mask) {
  if (!mask || IsEmpty()) return;
  const TIKPixelFormat format = PixelFormat();
  if (format != ikMono1 && format != ikGray8) return;
  mask->AllocateBits(width_, height_, format == ikMono1 ? 1 : 8);
  ReadOnlyScope readOnly(this);
  const size_t bytes = static_cast<size_t>(std::min(rowLength_, mask->RowLength()));
  for (int32_t y = 0; y < height_; ++y) std::memcpy(mask->ScanLine(y), ScanLine(y), bytes);
  // A box left empty would hide every selected pixel from the mask's
  // box-limited operations.
  mask->RecalcBox();
  mask->SetFull(full_);
}

void TIKBitmap::CopyFromDibBitmap(TIKDibbitmap* dib) {
  if (!dib || !dib->Bits()) return;
  const int32_t bits = dib->BitCount();
  if (location_ == ikTBitmap) {
    if (bits != 1 && bits != 24) return;
    if (!platformBitmap_) {
      ownedPlatformBitmap_ = std::make_unique<forms::TBitmap>();
      platformBitmap_ = ownedPlatformBitmap_.get();
    }
    platformBitmap_->SetSize(1, 1);
    platformBitmap_->SetPixelFormat(bits == 1 ? forms::pf1bit : forms::pf24bit);
    platformBitmap_->SetSize(dib->Width(), dib->Height());
    SyncFromTBitmap();
  } else {
    if (bits != 1 && bits != 8 && bits != 24) return;
    Allocate(dib->Width(), dib->Height(), bits == 1 ? ikMono1 : bits == 8 ? ikGray8 : ikRGB24);
  }
  if (IsEmpty()) return;
  const size_t bytes = static_cast<size_t>(std::min(RowLength(), dib->RowLength()));
  const int32_t rows = std::min(Height(), dib->Height());
  for (int32_t y = 0; y < rows; ++y) std::memcpy(ScanLine(y), dib->ScanLine(y), bytes);
}

// ---- tests ----

bool TIKBitmap::IsAllZero() {
  ReadOnlyScope readOnly(this);
  const int32_t rows = Height();
  const auto bytes = static_cast<size_t>(RowLength());
  for (int32_t y = 0; y < rows; ++y) {
    const auto* row = static_cast<const uint8_t*>(ScanLine(y));
    if (std::any_of(row, row + bytes, [](uint8_t b) { return b != 0; })) return false;
  }
  return true;
}

bool TIKBitmap::IsGrayscale() {
  const TIKPixelFormat format = PixelFormat();
  if (format == ikPalette8) {
    for (int32_t i = 0; i < paletteLength_; ++i) {
      const TRGB c = palette_[i];
      if (c.r != c.g || c.g != c.b) return false;
    }
    return true;
  }
  if (format != ikRGB24) return true;
  ReadOnlyScope readOnly(this);
  for (int32_t y = 0; y < height_; ++y) {
    const auto* row = static_cast<const uint8_t*>(ScanLine(y));
    for (int32_t x = 0; x < width_; ++x) {
      if (row[3 * x] != row[3 * x + 1] || row[3 * x + 1] != row[3 * x + 2]) return false;
    }
  }
  return true;
}

}  // namespace imaging
