#include "imaging/core/imgkitprocGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/core/ikutils.h"
#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/ikutilsSupport.h"
#include "imaging/core/imgkitprocPixels.h"

namespace imaging {

namespace {

// A whole raster as top-down rows of RowLength bytes, so that bitmaps in
// the file location (one row mapped at a time) work the same.
struct TRaster {
  int32_t width = 0, height = 0, rowLength = 0, bpp = 0;
  TIKPixelFormat format = ikNoFormat;
  std::vector<uint8_t> bytes;
  uint8_t* Row(int32_t y) { return bytes.data() + static_cast<size_t>(y) * rowLength; }
  const uint8_t* Row(int32_t y) const { return bytes.data() + static_cast<size_t>(y) * rowLength; }
};

TRaster ReadRaster(TIKBitmap* b) {
  TRaster r;
  r.width = b->Width();
  r.height = b->Height();
  r.rowLength = b->RowLength();
  r.format = b->PixelFormat();
  r.bpp = IKPixelBytes(r.format);
  r.bytes.resize(static_cast<size_t>(r.rowLength) * std::max(r.height, 0));
  for (int32_t y = 0; y < r.height; ++y) std::memcpy(r.Row(y), b->ScanLine(y), static_cast<size_t>(r.rowLength));
  return r;
}

TRaster EmptyLike(const TRaster& s, int32_t width, int32_t height) {
  TRaster r;
  r.width = width;
  r.height = height;
  r.format = s.format;
  r.bpp = s.bpp;
  r.rowLength = static_cast<int32_t>(BitmapRowLength(width, s.format == ikMono1 ? 1 : s.bpp * 8, 32));
  r.bytes.assign(static_cast<size_t>(r.rowLength) * height, 0);
  return r;
}

// Writes the raster into `b`, which is reallocated when its size differs.
void WriteRaster(TIKBitmap* b, const TRaster& r) {
  if (b->Width() != r.width || b->Height() != r.height || b->PixelFormat() != r.format) {
    TIKBitmap sized;
    sized.SetLocation(ikMemory);
    sized.Allocate(r.width, r.height, r.format);
    if (r.format == ikPalette8)
      for (int32_t i = 0; i < b->PaletteLength(); ++i) sized.SetPaletteColor(i, b->GetPaletteColor(i));
    b->AssignImage(&sized);
  }
  const auto n = static_cast<size_t>(std::min(b->RowLength(), r.rowLength));
  for (int32_t y = 0; y < r.height; ++y) std::memcpy(b->ScanLine(y), r.Row(y), n);
}

inline void CopyPixel(uint8_t* dst, int32_t dx, const uint8_t* src, int32_t sx, int32_t bpp) {
  if (bpp == 0)
    SetBit(dst, static_cast<uint32_t>(dx), GetBit(src, static_cast<uint32_t>(sx)) != 0);
  else
    std::memcpy(dst + static_cast<size_t>(dx) * bpp, src + static_cast<size_t>(sx) * bpp, static_cast<size_t>(bpp));
}

TRaster FlipRaster(const TRaster& s, int32_t direction) {
  TRaster r = EmptyLike(s, s.width, s.height);
  for (int32_t y = 0; y < s.height; ++y) {
    if (direction == 1) {
      std::memcpy(r.Row(y), s.Row(s.height - 1 - y), static_cast<size_t>(s.rowLength));
    } else {
      for (int32_t x = 0; x < s.width; ++x) CopyPixel(r.Row(y), s.width - 1 - x, s.Row(y), x, s.bpp);
    }
  }
  return r;
}

// clockwise: (x, y) -> (H - 1 - y, x); otherwise (x, y) -> (y, W - 1 - x).
TRaster QuarterTurn(const TRaster& s, bool clockwise) {
  TRaster r = EmptyLike(s, s.height, s.width);
  for (int32_t y = 0; y < s.height; ++y)
    for (int32_t x = 0; x < s.width; ++x) {
      if (clockwise)
        CopyPixel(r.Row(x), s.height - 1 - y, s.Row(y), x, s.bpp);
      else
        CopyPixel(r.Row(s.width - 1 - x), y, s.Row(y), x, s.bpp);
    }
  return r;
}

TRaster HalfTurn(const TRaster& s) { return FlipRaster(FlipRaster(s, 1), 0); }

void Notify(const TIKProgressEvent& progress, forms::TObject* sender, int32_t percent) {
  if (progress) progress(sender, percent);
}

}  // namespace

// ---- dispatch ----

void FillTransparentWithColor(TIKBitmap* bitmap, uint32_t color) {
  if (bitmap->PixelFormat() != ikRGB24 || !bitmap->HasAlphaChannel()) return;
  TIKBitmap* alpha = bitmap->GetAlphaChannel();
  const TRGB fill = CreateRGB(static_cast<uint8_t>(color >> 16), static_cast<uint8_t>(color >> 8),
                              static_cast<uint8_t>(color));
  const int32_t width = bitmap->Width();
  std::vector<uint8_t> a(static_cast<size_t>(width));
  for (int32_t y = 0; y < bitmap->Height(); ++y) {
    std::memcpy(a.data(), alpha->ScanLine(y), a.size());
    auto* row = static_cast<uint8_t*>(bitmap->ScanLine(y));
    for (int32_t x = 0; x < width; ++x)
      if (a[static_cast<size_t>(x)] == 0) std::memcpy(row + 3 * x, &fill, 3);
  }
}

namespace {
void ForwardProgress(void* data, forms::TObject* sender, int32_t percent) {
  (*static_cast<const TIKProgressEvent*>(data))(sender, percent);
}
}  // namespace

void ResampleImage(TIKBitmap* source, TIKBitmap* target, TResampleFilter filter, const TIKProgressEvent& progress,
                   forms::TObject* sender) {
  if (source->HasAlphaChannel()) FillTransparentWithColor(source, 0x808080);
  const int32_t W = target->Width(), H = target->Height();
  if (filter == rfNone) {
    StretchIKBitmap(source, target, sender, progress);
  } else if (source->PixelFormat() == ikMono1) {
    const TIKPixelFormat format = filter == rfProjectBW || filter == rfProjectWB ? ikMono1 : ikRGB24;
    if (target->PixelFormat() != format) target->Allocate(W, H, format);
    Resample1Bit(source, target, filter);
  } else {
    Resample24(source, target, filter, sender, progress ? ForwardProgress : nullptr,
               const_cast<TIKProgressEvent*>(&progress));
  }
  if (source->HasAlphaChannel()) {
    TIKBitmap* sourceAlpha = source->GetAlphaChannel();
    TIKBitmap* targetAlpha = target->GetAlphaChannel();
    if (filter == rfNone)
      StretchIKBitmap(sourceAlpha, targetAlpha, nullptr, nullptr);
    else
      ResampleGray8(sourceAlpha, targetAlpha, filter);
    targetAlpha->SetFull(sourceAlpha->Full());
  }
}

TIKBitmap* StretchIKBitmap(TIKBitmap* source, TIKBitmap* target, forms::TObject* sender,
                           const TIKProgressEvent& progress) {
  const int32_t sw = source->Width(), sh = source->Height(), tw = target->Width(), th = target->Height();
  if (sw <= 0 || sh <= 0 || tw <= 0 || th <= 0 || source->PixelFormat() != target->PixelFormat()) return target;
  TIKAccessScope scope(source, target);
  const int32_t bpp = IKPixelBytes(source->PixelFormat());
  std::vector<int32_t> columns(static_cast<size_t>(tw));
  const double ratio = static_cast<double>(sw) / tw;
  for (int32_t x = 0; x < tw; ++x) columns[static_cast<size_t>(x)] = std::min(static_cast<int32_t>(x * ratio), sw - 1);
  std::vector<uint8_t> in(static_cast<size_t>(source->RowLength())), out(static_cast<size_t>(target->RowLength()));
  int32_t loaded = -1;
  for (int32_t y = 0; y < th; ++y) {
    const int32_t sy = std::min(static_cast<int32_t>(y * static_cast<double>(sh) / th), sh - 1);
    if (sy != loaded) {
      std::memcpy(in.data(), source->ScanLine(sy), in.size());
      loaded = sy;
    }
    std::fill(out.begin(), out.end(), 0);
    for (int32_t x = 0; x < tw; ++x) CopyPixel(out.data(), x, in.data(), columns[static_cast<size_t>(x)], bpp);
    std::memcpy(target->ScanLine(y), out.data(), out.size());
    Notify(progress, sender, static_cast<int32_t>(100 / (th + 0.5) * y));
  }
  return target;
}

void FlipIKBitmap(TIKBitmap* bitmap, int32_t direction) {
  if (bitmap->IsEmpty() || (direction != 0 && direction != 1)) return;
  WriteRaster(bitmap, FlipRaster(ReadRaster(bitmap), direction));
  if (bitmap->HasAlphaChannel()) {
    TIKBitmap* alpha = bitmap->GetAlphaChannel();
    WriteRaster(alpha, FlipRaster(ReadRaster(alpha), direction));
  }
}

void Rotate90CW(TIKBitmap* source, TIKBitmap* target) {
  if (source->IsEmpty()) return;
  target->Allocate(source->Height(), source->Width(), source->PixelFormat());
  if (source->PixelFormat() == ikPalette8)
    for (int32_t i = 0; i < source->PaletteLength(); ++i) target->SetPaletteColor(i, source->GetPaletteColor(i));
  WriteRaster(target, QuarterTurn(ReadRaster(source), true));
}

void Rotate90CCW(TIKBitmap* source, TIKBitmap* target) {
  if (source->IsEmpty()) return;
  target->Allocate(source->Height(), source->Width(), source->PixelFormat());
  if (source->PixelFormat() == ikPalette8)
    for (int32_t i = 0; i < source->PaletteLength(); ++i) target->SetPaletteColor(i, source->GetPaletteColor(i));
  WriteRaster(target, QuarterTurn(ReadRaster(source), false));
}

// ---- rotation by any angle ----

namespace {

// Quarter and half turns of any pixel format, alpha plane included.
bool RotateByQuarters(TIKBitmap* bitmap, double angle) {
  const double a = std::fmod(angle, 360.0);
  int32_t quarters;
  if (a == 0)
    quarters = 0;
  else if (a == 90 || a == -270)
    quarters = 1;
  else if (a == 180 || a == -180)
    quarters = 2;
  else if (a == 270 || a == -90)
    quarters = 3;
  else
    return false;
  auto turn = [quarters](TIKBitmap* b) {
    const TRaster s = ReadRaster(b);
    if (quarters == 1)
      WriteRaster(b, QuarterTurn(s, false));
    else if (quarters == 2)
      WriteRaster(b, HalfTurn(s));
    else if (quarters == 3)
      WriteRaster(b, QuarterTurn(s, true));
  };
  if (quarters == 0) return true;
  turn(bitmap);
  if (bitmap->HasAlphaChannel()) turn(bitmap->GetAlphaChannel());
  return true;
}

using TRGBRows = std::vector<std::vector<TRGB>>;

inline uint8_t Blend(int32_t previous, int32_t pixel, int32_t b, int32_t c) {
  return ClampByte(static_cast<int32_t>(std::nearbyint((previous * b + pixel * c + 2048) / 4096.0)));
}
inline TRGB BlendRGB(const TRGB& previous, const TRGB& pixel, int32_t b, int32_t c) {
  return TRGB{Blend(previous.b, pixel.b, b, c), Blend(previous.g, pixel.g, b, c), Blend(previous.r, pixel.r, b, c)};
}
inline int32_t Round(double v) { return static_cast<int32_t>(std::nearbyint(v)); }

}  // namespace

void RotateIKBitmap(TIKBitmap* bitmap, bool antiAlias, forms::TObject* sender, double angle, uint32_t background,
                    const TIKProgressEvent& progress) {
  if (angle == 0 || bitmap->IsEmpty()) return;
  const TIKPixelFormat format = bitmap->PixelFormat();
  if (format != ikRGB24) {
    if (format == ikMono1) {
      TProgressRec rec;
      const bool set = (background & 0xFF) && (background & 0xFF00) && (background & 0xFF0000);
      Rotate1Bit(bitmap, set, rec, angle);
    } else {
      // Other formats turn by whole quarters without loss; they have no
      // shear path, and reading them as 1-bit rows would scramble them.
      RotateByQuarters(bitmap, angle);
    }
    return;
  }
  double a = static_cast<double>(static_cast<int64_t>(angle * 1000) % 360000) / 1000;
  if (a == 0) return;
  // Whole quarter turns go straight to the lossless path, alpha included.
  if (std::fmod(a, 90.0) == 0) {
    RotateByQuarters(bitmap, a);
    return;
  }
  TIKBitmap t;
  t.SetLocation(ikMemory);
  if (a >= -45 && a <= 45) {
    t.Assign(bitmap);
  } else {
    while (a > 45) {
      Rotate90CCW(bitmap, &t);
      a -= 90;
      if (a > 45) bitmap->AssignImage(&t);
    }
    while (a < -45) {
      Rotate90CW(bitmap, &t);
      a += 90;
      if (a < -45) bitmap->AssignImage(&t);
    }
  }
  // The shears cannot carry an alpha plane of the old size along.
  bitmap->RemoveAlphaChannel();
  if (a == 0) {
    bitmap->AssignImage(&t);
    return;
  }
  const TRGB bg = CreateRGB(static_cast<uint8_t>(background >> 16), static_cast<uint8_t>(background >> 8),
                            static_cast<uint8_t>(background));
  const int32_t W = t.Width(), H = t.Height();
  const double r = a * M_PI / 180;
  const double tn = std::fabs(std::sin(r / 2) / std::cos(r / 2)), s = std::fabs(std::sin(r));
  const int32_t W1 = Round(H * tn + W + 1);
  const int32_t d = Round((W1 - W) * s);
  const int32_t H2p = Round(s * W1 + H + 1);
  const int32_t e = Round(tn * (H2p - H - d));
  const int32_t H2 = H2p - 2 * d;
  const int32_t W3 = Round(tn * H2 + W1 + 1 - 2 * e);
  if (W1 <= 0 || H2 <= 0 || W3 <= 0) return;
  const double total = H + W1 + H2;

  // Pass 1: rows into W1 x H.
  TRGBRows pass1(static_cast<size_t>(H), std::vector<TRGB>(static_cast<size_t>(W1), bg));
  std::vector<TRGB> line(static_cast<size_t>(W));
  for (int32_t y = 0; y < H; ++y) {
    std::memcpy(line.data(), t.ScanLine(y), static_cast<size_t>(W) * 3);
    const double dist = (a > 0 ? y : H - y) * tn;
    const int32_t n = Round(dist);
    auto& out = pass1[static_cast<size_t>(y)];
    if (!antiAlias) {
      for (int32_t i = 0; i < W; ++i)
        if (n + i >= 0 && n + i < W1) out[static_cast<size_t>(n + i)] = line[static_cast<size_t>(i)];
    } else {
      const auto B = static_cast<int32_t>((dist - n) * 4096);
      const auto C = static_cast<int32_t>(4096 - B);
      TRGB prev = bg;
      for (int32_t i = 0; i < W; ++i) {
        const TRGB p = line[static_cast<size_t>(i)];
        if (n + i >= 0 && n + i < W1) out[static_cast<size_t>(n + i)] = BlendRGB(prev, p, B, C);
        prev = p;
      }
      if (B > 0 && n + W < W1) {
        out[static_cast<size_t>(n + W)] = TRGB{static_cast<uint8_t>((prev.b * B + bg.b * C + 2048) / 4096),
                                               static_cast<uint8_t>((prev.g * B + bg.g * C + 2048) / 4096),
                                               static_cast<uint8_t>((prev.r * B + bg.r * C + 2048) / 4096)};
      }
    }
    Notify(progress, sender, static_cast<int32_t>((y + 1) * 100 / total));
  }

  // Pass 2: columns into W1 x H2.
  TRGBRows pass2(static_cast<size_t>(H2), std::vector<TRGB>(static_cast<size_t>(W1), bg));
  for (int32_t x = 0; x < W1; ++x) {
    const double dist = (a > 0 ? W1 - x : x) * s;
    const int32_t n = Round(dist);
    const int32_t B = Round((dist - n) * 4096), C = 4096 - B;
    const int32_t shift = n - d;
    TRGB prev = bg;
    for (int32_t y = 0; y < H; ++y) {
      const int32_t to = y + shift;
      if (to < 0 || to >= H2) continue;
      const TRGB p = pass1[static_cast<size_t>(y)][static_cast<size_t>(x)];
      pass2[static_cast<size_t>(to)][static_cast<size_t>(x)] = antiAlias ? BlendRGB(prev, p, B, C) : p;
      prev = p;
    }
    if (antiAlias && B > 0 && shift + H >= 0 && shift + H < H2)
      pass2[static_cast<size_t>(shift + H)][static_cast<size_t>(x)] = BlendRGB(prev, bg, B, C);
    Notify(progress, sender, static_cast<int32_t>((H + x + 1) * 100 / total));
  }

  // Pass 3: rows of pass 2 into the image, W3 x H2.
  TRaster result;
  result.width = W3;
  result.height = H2;
  result.format = ikRGB24;
  result.bpp = 3;
  result.rowLength = static_cast<int32_t>(BitmapRowLength(W3, 24, 32));
  result.bytes.assign(static_cast<size_t>(result.rowLength) * H2, 0);
  std::vector<TRGB> out(static_cast<size_t>(W3));
  for (int32_t y = 0; y < H2; ++y) {
    std::fill(out.begin(), out.end(), bg);
    const double dist = (a > 0 ? y : H2 - y) * tn;
    const int32_t n = Round(dist);
    const int32_t B = Round((dist - n) * 4096), C = 4096 - B;
    const int32_t shift = n - e;
    TRGB prev = bg;
    const auto& in = pass2[static_cast<size_t>(y)];
    for (int32_t x = 0; x < W1; ++x) {
      const int32_t to = x + shift;
      if (to < 0 || to >= W3) continue;
      const TRGB p = in[static_cast<size_t>(x)];
      out[static_cast<size_t>(to)] = antiAlias ? BlendRGB(prev, p, B, C) : p;
      prev = p;
    }
    if (antiAlias && B > 0 && shift + W1 >= 0 && shift + W1 < W3)
      out[static_cast<size_t>(shift + W1)] = BlendRGB(prev, bg, B, C);
    std::memcpy(result.Row(y), out.data(), static_cast<size_t>(W3) * 3);
    Notify(progress, sender, static_cast<int32_t>((H + W1 + y + 1) * 100 / total));
  }
  WriteRaster(bitmap, result);
}

void Rotate1Bit(TIKBitmap* bitmap, bool background, TProgressRec& progress, double angle) {
  if (bitmap->IsEmpty() || bitmap->PixelFormat() != ikMono1) {
    // Only 1-bit rows are read here; other formats turn by quarters.
    if (!bitmap->IsEmpty()) RotateByQuarters(bitmap, angle);
    return;
  }
  const TRaster s = ReadRaster(bitmap);
  const int32_t W = s.width, H = s.height;
  if (angle == 90) {
    WriteRaster(bitmap, QuarterTurn(s, false));
    return;
  }
  if (angle == -90 || angle == 270) {
    WriteRaster(bitmap, QuarterTurn(s, true));
    return;
  }
  if (angle == 180 || angle == -180) {
    WriteRaster(bitmap, HalfTurn(s));
    return;
  }
  const double r = -angle * M_PI / 180;
  const double c = std::trunc(std::cos(r) * 10000) / 10000, sn = std::trunc(std::sin(r) * 10000) / 10000;
  const auto W2 = static_cast<int32_t>(std::fabs(W * c) + std::fabs(H * sn));
  const auto H2 = static_cast<int32_t>(std::fabs(W * sn) + std::fabs(H * c));
  if (W2 <= 0 || H2 <= 0) return;
  TRaster result = EmptyLike(s, W2, H2);
  std::vector<int32_t> cx(static_cast<size_t>(W2)), sx(static_cast<size_t>(W2));
  for (int32_t x = 0; x < W2; ++x) {
    const double v = x - (W2 / 2.0 - 0.5);
    cx[static_cast<size_t>(x)] = static_cast<int32_t>(c * v);
    sx[static_cast<size_t>(x)] = static_cast<int32_t>(-sn * v);
  }
  for (int32_t y = 0; y < H2; ++y) {
    const double u = y - (H2 / 2.0 - 0.5);
    const auto baseX = static_cast<int32_t>((W / 2.0 - 0.5) + sn * u);
    const auto baseY = static_cast<int32_t>((H / 2.0 - 0.5) + c * u);
    uint8_t* out = result.Row(y);
    for (int32_t x = 0; x < W2; ++x) {
      const int32_t px = baseX + cx[static_cast<size_t>(x)], py = baseY + sx[static_cast<size_t>(x)];
      const bool value =
          px >= 0 && px < W && py >= 0 && py < H ? GetBit(s.Row(py), static_cast<uint32_t>(px)) != 0 : background;
      if (value) SetBit(out, static_cast<uint32_t>(x), true);
    }
    if (progress.Callback)
      progress.Callback(progress.CallbackData, progress.Sender, static_cast<int32_t>(y * 100.0 / H2));
  }
  WriteRaster(bitmap, result);
}

}  // namespace imaging
