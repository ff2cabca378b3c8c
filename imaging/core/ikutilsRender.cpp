// Drawing a rectangle of an image buffer, scaled, into a 24-bit buffer:
// clipping, the column and row tables, the per-format row renderers,
// alpha blending and the combine operations.
#include "imaging/core/ikutilsRender.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "imaging/core/ikutils.h"
#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/ikutilsConvert.h"
#include "imaging/core/imgkitprocPixels.h"

namespace imaging {

namespace {

// Entry i: round(64 - 64 cos(i pi / 255)), the curve of operation 29.
const std::array<int32_t, 256>& CosineTable() {
  static const std::array<int32_t, 256> table = [] {
    std::array<int32_t, 256> t{};
    for (int i = 0; i < 256; ++i) t[i] = static_cast<int32_t>(std::nearbyint(64 - 64 * std::cos(i * M_PI / 255)));
    return t;
  }();
  return table;
}

struct THSL {
  double h, s, l;
};

// The combine operations mix hue, saturation and lightness through the
// processing unit's HSL conversion.
THSL ToHSL(const TRGB& c) {
  THSL out{};
  RGBToHSL(out.h, out.s, out.l, static_cast<uint32_t>(PackRGB(c)));
  return out;
}

TRGB FromHSL(double h, double s, double l) {
  TRGB out;
  HSLToRGB(out, h, s, l);
  return out;
}

int32_t Clamp255(int32_t v) { return std::clamp(v, 0, 255); }

// One channel of the operations 1..30; the result's low 8 bits count.
int32_t CombineChannel(int32_t s, int32_t d, uint8_t op) {
  switch (op) {
    case 1: return Clamp255(d + s);
    case 2: return std::abs(d - s);
    case 3: return d / std::max(s, 1);
    case 4: return (s * d) >> 8;
    case 5: return d | s;
    case 6: return d & s;
    case 7: return d ^ s;
    case 8: return std::max(d, s);
    case 9: return std::min(d, s);
    case 10: return (d + s) >> 1;
    case 11: return 255 - (((255 - d) * (255 - s)) >> 8);
    case 12: return 255 - std::abs(255 - s - d);
    case 13: return d + s - (s * d) / 128;
    case 14: return d >= 128 ? 255 - (((255 - d) * (255 - s)) >> 7) : (s * d) >> 7;
    case 15: return s >= 128 ? 255 - (((255 - d) * (255 - s)) >> 7) : (s * d) >> 7;
    case 16: {
      const double c = s / 255.0, e = d / 255.0;
      const double v = c >= 0.5 ? std::sqrt(e) * (2 * c - 1) + 2 * e * (1 - c) : e * e * (1 - 2 * c) + 2 * c * e;
      return static_cast<int32_t>(255 * v);
    }
    case 17: {
      const int32_t k = 255 - (((255 - d) * (255 - s)) >> 8) - ((s * d) >> 8);
      return ((s * d) >> 8) + ((d * k) >> 8);
    }
    case 18: return s == 255 ? 255 : std::min((d * 256) / (255 - s), 255);
    case 19: return s == 0 ? 0 : std::max(255 - ((255 - d) * 256) / s, 0);
    case 20: return d == 255 ? 255 : std::min((s * 256) / (255 - d), 255);
    case 21: return d == 0 ? 0 : std::max(255 - ((255 - s) * 256) / d, 0);
    case 22:
      if (s + d < 256) return s == 255 ? 255 : std::min((d * 128) / (255 - s), 255);
      return std::max(255 - ((255 - s) * 128) / d, 0);
    case 23:
      if (s + d < 256) return d == 255 ? 255 : std::min((s * 128) / (255 - d), 255);
      return std::max(255 - ((255 - d) * 128) / s, 0);
    case 24: return s == 255 ? 255 : std::min((d * d) / (255 - s), 255);
    case 25: return d == 255 ? 255 : std::min((s * s) / (255 - d), 255);
    case 26: return s == 0 ? 0 : std::max(255 - ((255 - d) * (255 - d)) / s, 0);
    case 27: return d == 0 ? 0 : std::max(255 - ((255 - s) * (255 - s)) / d, 0);
    case 28: return Clamp255(d + s - 256);
    case 29: return std::min(CosineTable()[s] + CosineTable()[d], 255);
    case 30: return Clamp255(d + 2 * s - 256);
    default: return s;
  }
}

// What one drawing call renders: the drawn destination range, the tables
// and the blending inputs.
struct RenderJob {
  uint8_t* const* rows;
  int32_t destRowLength;
  bool repeatRows;
  int32_t x1, x2, y1, y2;
  int32_t destX, destY;
  const int32_t* xTable;  // indexed by destination column - destX
  const int32_t* yTable;  // indexed by destination row - destY
  int32_t opacity;
  TIKBitmap* alphaPlane;  // when blending by the source's alpha plane
  uint8_t operation;
};

// The row renderer of one source format: `fetch` reads the colour of
// source column c from a source row. Plain renderers draw opaquely (and
// combine for the operations); the blending renderer mixes by
// min(opacity, alpha).
template <bool Blend, bool Combine, bool CanRepeat, class Fetch>
void RenderRows(TIKBitmap* source, const RenderJob& job, Fetch fetch) {
  int32_t previous = -1;
  for (int32_t y = job.y1; y <= job.y2; ++y) {
    const int32_t s = job.yTable[y - job.destY];
    uint8_t* out = job.rows[y];
    if (CanRepeat && !Blend && job.repeatRows && y > job.y1 && s == previous) {
      std::memcpy(out, job.rows[y - 1], static_cast<size_t>(job.destRowLength));
      continue;
    }
    previous = s;
    const auto* in = static_cast<const uint8_t*>(source->ScanLine(s));
    const uint8_t* alpha = Blend && job.alphaPlane ? static_cast<const uint8_t*>(job.alphaPlane->ScanLine(s)) : nullptr;
    for (int32_t x = job.x1; x <= job.x2; ++x) {
      const int32_t c = job.xTable[x - job.destX];
      TRGB t = fetch(in, c);
      uint8_t* px = out + static_cast<size_t>(x) * 3;
      TRGB d = IKLoad<TRGB>(px);
      if (Combine && job.operation != 0) {
        TRGB combined = d;
        CombinePixel(t, combined, job.operation);
        t = combined;
      }
      if (Blend) {
        const int32_t a = alpha ? std::min<int32_t>(job.opacity, alpha[c]) : job.opacity;
        auto mix = [a](uint8_t dv, uint8_t tv) { return static_cast<uint8_t>(dv + ((a * (tv - dv)) >> 8)); };
        d = CreateRGB(mix(d.r, t.r), mix(d.g, t.g), mix(d.b, t.b));
        IKStore(px, d);
      } else {
        IKStore(px, t);
      }
    }
  }
}

template <bool Combine, bool CanRepeat, class Fetch>
void RenderFormat(TIKBitmap* source, const RenderJob& job, bool blend, Fetch fetch) {
  if (blend)
    RenderRows<true, Combine, CanRepeat>(source, job, fetch);
  else
    RenderRows<false, Combine, CanRepeat>(source, job, fetch);
}

TRGB Gray(uint8_t v) { return CreateRGB(v, v, v); }

void RenderAnyFormat(TIKBitmap* source, const RenderJob& job, bool blend) {
  switch (source->PixelFormat()) {
    case ikMono1:
      RenderFormat<false, true>(source, job, blend, [](const uint8_t* in, int32_t c) {
        return Gray(GetBit(in, static_cast<uint32_t>(c)) ? 255 : 0);
      });
      break;
    case ikPalette8: {
      const TRGB* palette = source->PaletteLength() > 0 ? source->Palette() : nullptr;
      if (!palette) return;
      RenderFormat<false, false>(source, job, blend, [palette](const uint8_t* in, int32_t c) { return palette[in[c]]; });
      break;
    }
    case ikGray8:
      RenderFormat<false, false>(source, job, blend, [](const uint8_t* in, int32_t c) { return Gray(in[c]); });
      break;
    case ikGray16:
      RenderFormat<false, false>(source, job, blend, [](const uint8_t* in, int32_t c) {
        return Gray(static_cast<uint8_t>(IKLoad<uint16_t>(in + 2 * c) >> 8));
      });
      break;
    case ikRGB24:
      RenderFormat<true, true>(source, job, blend,
                               [](const uint8_t* in, int32_t c) { return IKLoad<TRGB>(in + 3 * c); });
      break;
    case ik32f:
      RenderFormat<false, false>(source, job, blend, [](const uint8_t* in, int32_t c) {
        return Gray(FloatToByte(IKLoad<float>(in + 4 * c)));
      });
      break;
    case ikCMYK:
      RenderFormat<false, false>(source, job, blend,
                                 [](const uint8_t* in, int32_t c) { return CMYKToRGB(IKLoad<TCMYK>(in + 4 * c)); });
      break;
    case ikCIELab:
      RenderFormat<false, false>(source, job, blend, [](const uint8_t* in, int32_t c) {
        return CIELabToRGB(PackCIELab(IKLoad<TCIELab>(in + 3 * c)));
      });
      break;
    case ikRGB48:
      RenderFormat<true, false>(source, job, blend, [](const uint8_t* in, int32_t c) {
        const TRGB48 p = IKLoad<TRGB48>(in + 6 * c);
        return CreateRGB(static_cast<uint8_t>(p.r >> 8), static_cast<uint8_t>(p.g >> 8), static_cast<uint8_t>(p.b >> 8));
      });
      break;
    case ikNoFormat: break;
  }
}

// Builds a table of `count` entries: origin + trunc(i x ratio).
std::vector<int32_t> BuildTable(int32_t count, double ratio, int32_t origin) {
  std::vector<int32_t> table(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    const double v = std::trunc(i * ratio + origin);
    table[i] = v >= INT32_MAX ? INT32_MAX : static_cast<int32_t>(v);
  }
  return table;
}

// Cuts the drawn range [first, last] so that every table entry it uses
// names a column (or row) of the source: from the end while the last
// entry is beyond the source, and the whole range when any other entry
// is. Returns false when nothing is left.
bool FitRange(const std::vector<int32_t>& table, int32_t origin, int32_t& first, int32_t& last, int32_t sourceSize) {
  if (first - origin < 0 || last - origin >= static_cast<int32_t>(table.size())) return false;
  while (last >= first && (table[last - origin] >= sourceSize || table[last - origin] < 0)) --last;
  for (int32_t i = first; i <= last; ++i) {
    if (table[i - origin] < 0 || table[i - origin] >= sourceSize) return false;
  }
  return last >= first;
}

class ReadOnlyDuring {
public:
  explicit ReadOnlyDuring(TIKBaseBitmap* bmp) : bmp_(bmp), access_(bmp->Access()) { bmp_->SetAccess(ikaRead); }
  ~ReadOnlyDuring() { bmp_->SetAccess(access_); }
  ReadOnlyDuring(const ReadOnlyDuring&) = delete;
  ReadOnlyDuring& operator=(const ReadOnlyDuring&) = delete;

private:
  TIKBaseBitmap* bmp_;
  TIKDataAccess access_;
};

}  // namespace

void CombinePixel(const TRGB& source, TRGB& destination, uint8_t operation) {
  if (operation > 37) return;
  switch (operation) {
    case 31: destination.r = source.r; return;
    case 32: destination.g = source.g; return;
    case 33: destination.b = source.b; return;
    case 34:
    case 35:
    case 36:
    case 37: {
      const THSL s = ToHSL(source), d = ToHSL(destination);
      if (operation == 34) destination = FromHSL(s.h, d.s, d.l);
      if (operation == 35) destination = FromHSL(d.h, s.s, d.l);
      if (operation == 36) destination = FromHSL(s.h, s.s, d.l);
      if (operation == 37) destination = FromHSL(s.h, d.s, s.l);
      return;
    }
    default: break;
  }
  destination.r = static_cast<uint8_t>(CombineChannel(source.r, destination.r, operation));
  destination.g = static_cast<uint8_t>(CombineChannel(source.g, destination.g, operation));
  destination.b = static_cast<uint8_t>(CombineChannel(source.b, destination.b, operation));
}

void TIKBitmap::RenderBitmapRect(TIKBitmap* destination, TIKRenderCache* cache, const forms::TRect* clip,
                                 int32_t destX, int32_t destY, int32_t destWidth, int32_t destHeight, int32_t sourceX,
                                 int32_t sourceY, int32_t sourceWidth, int32_t sourceHeight, bool useAlpha,
                                 bool repeatRows, int32_t opacity, TResampleFilter filter, bool freeTables,
                                 uint8_t operation) {
  if (!destination || destination == this) return;
  if (destination->PixelFormat() != ikRGB24 || destination->Location() == ikFile) {
    throw EIKError("RenderBitmapRect draws only into an ikRGB24 bitmap held in memory or in a TBitmap");
  }
  ReadOnlyDuring readOnly(this);
  const int32_t dw = destination->Width(), dh = destination->Height();
  const int32_t sw = Width(), sh = Height();
  const TIKPixelFormat format = PixelFormat();
  if (destWidth == 0 || destHeight == 0 || sourceWidth == 0 || sourceHeight == 0) return;
  if (destY > dh - 1 || destX > dw - 1 || IsEmpty() || destination->IsEmpty()) return;
  opacity = std::clamp(opacity, 0, 255);

  // All clipping in 64 bits: the rectangles come from callers' arithmetic.
  const double ry = static_cast<double>(sourceHeight) / destHeight;
  const double rx = static_cast<double>(sourceWidth) / destWidth;
  int64_t dx = destX, dy = destY, w = destWidth, h = destHeight, sx = sourceX, sy = sourceY, swid = sourceWidth,
          shei = sourceHeight;
  if (dy < 0) {
    const auto cut = static_cast<int64_t>(std::trunc(-dy * ry));
    h += dy;
    sy += cut;
    shei -= cut;
    dy = 0;
  }
  if (dx < 0) {
    const auto cut = static_cast<int64_t>(std::trunc(-dx * rx));
    w += dx;
    sx += cut;
    swid -= cut;
    dx = 0;
  }
  if (dy + h > dh) {
    const int64_t over = dy + h - dh;
    h -= over;
    shei -= static_cast<int64_t>(std::trunc(over * ry));
  }
  if (dx + w > dw) {
    const int64_t over = dx + w - dw;
    w -= over;
    swid -= static_cast<int64_t>(std::trunc(over * rx));
  }
  dx = std::clamp<int64_t>(dx, 0, dw - 1);
  dy = std::clamp<int64_t>(dy, 0, dh - 1);
  w = std::clamp<int64_t>(w, 0, dw - dx);
  h = std::clamp<int64_t>(h, 0, dh - dy);
  sx = std::clamp<int64_t>(sx, 0, sw - 1);
  sy = std::clamp<int64_t>(sy, 0, sh - 1);
  // The source rectangle ends inside the source, not only starts there.
  swid = std::clamp<int64_t>(swid, 0, sw - sx);
  shei = std::clamp<int64_t>(shei, 0, sh - sy);

  const bool alphaPresent = useAlpha && alpha_ != nullptr;
  if (filter != rfNone && (swid != w || shei != h) && (format == ikMono1 || format == ikRGB24)) {
    const bool projection = filter == rfProjectBW || filter == rfProjectWB;
    TIKRenderCache own;
    if (cache) own.DestRows = cache->DestRows;
    TIKBitmap sized;
    sized.memoryThreshold_ = memoryThreshold_;
    sized.location_ = ikMemory;
    if (swid < w || format != ikMono1 || alphaPresent || projection) {
      if (swid < 1 || shei < 1 || w < 1 || h < 1) return;
      TIKBitmap part;
      part.memoryThreshold_ = memoryThreshold_;
      part.Allocate(static_cast<int32_t>(swid), static_cast<int32_t>(shei), format);
      CopyRectTo(&part, static_cast<int32_t>(sx), static_cast<int32_t>(sy), 0, 0, static_cast<int32_t>(swid),
                 static_cast<int32_t>(shei));
      if (alphaPresent) {
        TIKBitmap* partAlpha = part.GetAlphaChannel();
        alpha_->CopyRectTo(partAlpha, static_cast<int32_t>(sx), static_cast<int32_t>(sy), 0, 0,
                           static_cast<int32_t>(swid), static_cast<int32_t>(shei));
        partAlpha->full_ = alpha_->full_;
      }
      sized.Allocate(static_cast<int32_t>(w), static_cast<int32_t>(h),
                     format == ikMono1 && projection ? ikMono1 : ikRGB24);
      if (format == ikMono1)
        Resample1Bit(&part, &sized, filter);
      else
        Resample24(&part, &sized, filter);
      if (alphaPresent) {
        TIKBitmap* sizedAlpha = sized.GetAlphaChannel();
        ResampleGray8(part.alpha_.get(), sizedAlpha, filter);
        sizedAlpha->full_ = part.alpha_->full_;
      }
    } else {
      if (w < 1 || h < 1) return;
      sized.Allocate(static_cast<int32_t>(w), static_cast<int32_t>(h), ikRGB24);
      Stretch1BitRect(this, static_cast<int32_t>(sx), static_cast<int32_t>(sy), &sized,
                      static_cast<int32_t>(sy + shei - 1), static_cast<int32_t>(sx + swid - 1));
    }
    sized.RenderBitmapRect(destination, &own, clip, static_cast<int32_t>(dx), static_cast<int32_t>(dy),
                           static_cast<int32_t>(w), static_cast<int32_t>(h), 0, 0, static_cast<int32_t>(w),
                           static_cast<int32_t>(h), useAlpha, repeatRows, opacity, rfNone, true, operation);
    return;
  }
  if (w <= 0 || h <= 0 || swid <= 0 || shei <= 0) return;

  TIKRenderCache local;
  TIKRenderCache& tables = cache ? *cache : local;
  bool builtRows = false, builtX = false, builtY = false;
  // Row addresses kept from another bitmap, or from before this one was
  // reallocated, would be written through: they are checked at both ends.
  if (tables.DestRows.size() != static_cast<size_t>(dh) || tables.DestRows.front() != destination->ScanLine(0) ||
      tables.DestRows.back() != destination->ScanLine(dh - 1)) {
    tables.DestRows.resize(static_cast<size_t>(dh));
    for (int32_t r = 0; r < dh; ++r) tables.DestRows[r] = static_cast<uint8_t*>(destination->ScanLine(r));
    builtRows = true;
  }
  const int64_t yStep = static_cast<int64_t>(static_cast<double>(shei) / h * 16384);
  const int64_t xStep = static_cast<int64_t>(static_cast<double>(swid) / w * 16384);
  int32_t y1 = static_cast<int32_t>(dy), y2 = static_cast<int32_t>(dy + h - 1);
  int32_t x1 = static_cast<int32_t>(dx), x2 = static_cast<int32_t>(dx + w - 1);
  if (clip) {
    y1 = std::max<int32_t>(y1, clip->top);
    y2 = std::min<int32_t>(y2, clip->bottom);
    x1 = std::max<int32_t>(x1, clip->left);
    x2 = std::min<int32_t>(x2, clip->right);
  }
  y1 = std::max(y1, 0);
  x1 = std::max(x1, 0);
  y2 = std::min(y2, dh - 1);
  x2 = std::min(x2, dw - 1);
  const bool alphaUsed = alphaPresent && !alpha_->full_;
  const bool fastCopy =
      xStep == 16384 && yStep == 16384 && format == ikRGB24 && opacity >= 255 && !alphaUsed && operation == 0;

  if (y1 <= y2 && x1 <= x2) {
    try {
      if (fastCopy) {
        const auto bytes = static_cast<size_t>(x2 - x1 + 1) * 3;
        for (int32_t y = y1; y <= y2; ++y) {
          const auto* in = static_cast<const uint8_t*>(ScanLine(static_cast<int32_t>(y + sy - dy)));
          std::memcpy(tables.DestRows[y] + static_cast<size_t>(x1) * 3, in + (x1 + sx - dx) * 3, bytes);
        }
      } else {
        // Tables of another rectangle's size are rebuilt, never read past
        // their end.
        if (tables.XTable.size() != static_cast<size_t>(w)) {
          tables.XTable = BuildTable(static_cast<int32_t>(w), rx, static_cast<int32_t>(sx));
          builtX = true;
        }
        if (tables.YTable.size() != static_cast<size_t>(h)) {
          tables.YTable = BuildTable(static_cast<int32_t>(h), ry, static_cast<int32_t>(sy));
          builtY = true;
        }
        const bool fits = FitRange(tables.XTable, static_cast<int32_t>(dx), x1, x2, sw) &&
                          FitRange(tables.YTable, static_cast<int32_t>(dy), y1, y2, sh);
        if (fits) {
          RenderJob job{tables.DestRows.data(),
                        destination->RowLength(),
                        repeatRows,
                        x1,
                        x2,
                        y1,
                        y2,
                        static_cast<int32_t>(dx),
                        static_cast<int32_t>(dy),
                        tables.XTable.data(),
                        tables.YTable.data(),
                        opacity,
                        alphaUsed ? alpha_.get() : nullptr,
                        operation};
          // The alpha plane is read alongside the source; it is only
          // read.
          std::unique_ptr<ReadOnlyDuring> alphaReadOnly;
          if (alphaUsed) alphaReadOnly = std::make_unique<ReadOnlyDuring>(alpha_.get());
          RenderAnyFormat(this, job, opacity < 255 || alphaUsed);
        }
      }
    } catch (const std::exception&) {
      // A paint never fails: what could not be drawn stays as it was.
    }
  }
  if (cache && freeTables) {
    if (builtRows) cache->DestRows.clear();
    if (builtX) cache->XTable.clear();
    if (builtY) cache->YTable.clear();
  }
}

void TIKBitmap::RenderToTIKBitmap(TIKBitmap* destination, int32_t destX, int32_t destY, int32_t destWidth,
                                  int32_t destHeight, int32_t sourceX, int32_t sourceY, int32_t sourceWidth,
                                  int32_t sourceHeight, int32_t opacity, TResampleFilter filter, uint8_t operation) {
  RenderBitmapRect(destination, nullptr, nullptr, destX, destY, destWidth, destHeight, sourceX, sourceY, sourceWidth,
                   sourceHeight, true, false, opacity, filter, true, operation);
}

void TIKBitmap::RenderToTBitmapEx(forms::TBitmap* bitmap, TIKRenderCache* cache, const forms::TRect* clip,
                                  int32_t destX, int32_t destY, int32_t destWidth, int32_t destHeight,
                                  int32_t sourceX, int32_t sourceY, int32_t sourceWidth, int32_t sourceHeight,
                                  bool useAlpha, bool repeatRows, int32_t opacity, TResampleFilter filter,
                                  bool freeTables, uint8_t operation) {
  if (!bitmap) return;
  if (bitmap->PixelFormat() != forms::pf24bit) {
    throw EIKError("RenderToTBitmap draws only into a 24-bit TBitmap");
  }
  TIKBitmap wrapper;
  wrapper.EncapsulateTBitmap(bitmap, false);
  RenderBitmapRect(&wrapper, cache, clip, destX, destY, destWidth, destHeight, sourceX, sourceY, sourceWidth,
                   sourceHeight, useAlpha, repeatRows, opacity, filter, freeTables, operation);
}

void TIKBitmap::RenderToTBitmap(forms::TBitmap* bitmap, int32_t destX, int32_t destY, int32_t destWidth,
                                int32_t destHeight, int32_t sourceX, int32_t sourceY, int32_t sourceWidth,
                                int32_t sourceHeight, int32_t opacity, TResampleFilter filter, uint8_t operation) {
  RenderToTBitmapEx(bitmap, nullptr, nullptr, destX, destY, destWidth, destHeight, sourceX, sourceY, sourceWidth,
                    sourceHeight, true, false, opacity, filter, true, operation);
}

}  // namespace imaging
