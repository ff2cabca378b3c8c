// Block transfers. Every transfer works on whole destination rows: the
// source row is fetched (converted between colour and monochrome,
// stretched, mirrored) into a buffer, then combined with the pattern and
// the destination by the raster operation.
#include "platform/win/Blit.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "platform/win/Dc.h"
#include "platform/win/GdiInternal.h"
#include "platform/win/PixelOps.h"

namespace win {

using namespace gdi;

namespace gdi {

uint32_t Rop3(uint8_t code, uint32_t p, uint32_t s, uint32_t d) {
  switch (code) {
    case 0x00: return 0;
    case 0x11: return ~(s | d);
    case 0x33: return ~s;
    case 0x44: return s & ~d;
    case 0x55: return ~d;
    case 0x5A: return p ^ d;
    case 0x66: return s ^ d;
    case 0x88: return s & d;
    case 0xAA: return d;
    case 0xBB: return ~s | d;
    case 0xC0: return p & s;
    case 0xCC: return s;
    case 0xEE: return s | d;
    case 0xF0: return p;
    case 0xFB: return p | ~s | d;
    case 0xFF: return 0xFFFFFFFFu;
    default: {
      // Any other code: its byte is the truth table over (P, S, D).
      uint32_t r = 0;
      for (int i = 0; i < 8; ++i)
        if (code & (1 << i)) r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
      return r;
    }
  }
}

bool RopUsesSource(uint8_t code) { return ((code >> 2) & 0x33) != (code & 0x33); }
bool RopUsesPattern(uint8_t code) { return ((code >> 4) & 0x0F) != (code & 0x0F); }

}  // namespace gdi

namespace {

// The destination row combined with a source row and a pattern row.
void CombineRow(uint8_t code, uint32_t* d, const uint32_t* s, const uint32_t* p, int n) {
  constexpr uint32_t kRgb = 0xFFFFFF;
  switch (code) {
    case 0xCC: std::memmove(d, s, static_cast<size_t>(n) * 4); return;  // alpha travels with the copy
    case 0x88: for (int i = 0; i < n; ++i) d[i] = (s[i] & d[i]) & kRgb; return;
    case 0xEE: for (int i = 0; i < n; ++i) d[i] = (s[i] | d[i]) & kRgb; return;
    case 0x66: for (int i = 0; i < n; ++i) d[i] = (s[i] ^ d[i]) & kRgb; return;
    case 0x33: for (int i = 0; i < n; ++i) d[i] = ~s[i] & kRgb; return;
    case 0xF0: for (int i = 0; i < n; ++i) d[i] = p[i] & kRgb; return;
    case 0x00: std::fill(d, d + n, 0u); return;
    case 0xFF: std::fill(d, d + n, kRgb); return;
    case 0x55: for (int i = 0; i < n; ++i) d[i] = ~d[i] & kRgb; return;
    case 0x5A: for (int i = 0; i < n; ++i) d[i] = (p[i] ^ d[i]) & kRgb; return;
    case 0xAA: return;
    default:
      for (int i = 0; i < n; ++i) d[i] = Rop3(code, p ? p[i] : 0, s ? s[i] : 0, d[i]) & kRgb;
  }
}

// One row of a 2:1 reduction: each output pixel is the rounded mean of a
// 2x2 block of rows `a` and `b` ((sum + 2) / 4 per channel).
void Quarter(const uint32_t* a, const uint32_t* b, uint32_t* out, int w) {
  int x = 0;
#ifdef __SSE2__
  const __m128i zero = _mm_setzero_si128(), two = _mm_set1_epi16(2);
  // Four output pixels from two rows of eight.
  auto half = [&](__m128i p, __m128i q) {
    const __m128i lo = _mm_add_epi16(_mm_unpacklo_epi8(p, zero), _mm_unpacklo_epi8(q, zero));
    const __m128i hi = _mm_add_epi16(_mm_unpackhi_epi8(p, zero), _mm_unpackhi_epi8(q, zero));
    const __m128i sum = _mm_add_epi16(_mm_unpacklo_epi64(lo, hi), _mm_unpackhi_epi64(lo, hi));
    return _mm_srli_epi16(_mm_add_epi16(sum, two), 2);
  };
  for (; x + 4 <= w; x += 4) {
    const __m128i* pa = reinterpret_cast<const __m128i*>(a + 2 * x);
    const __m128i* pb = reinterpret_cast<const __m128i*>(b + 2 * x);
    const __m128i r0 = half(_mm_loadu_si128(pa), _mm_loadu_si128(pb));
    const __m128i r1 = half(_mm_loadu_si128(pa + 1), _mm_loadu_si128(pb + 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(r0, r1));
  }
#endif
  for (; x < w; ++x) {
    const uint32_t p[4] = {a[2 * x], a[2 * x + 1], b[2 * x], b[2 * x + 1]};
    uint32_t rb = 0x00020002u, ag = 0x00020002u;
    for (uint32_t v : p) {
      rb += v & 0x00FF00FFu;
      ag += (v >> 8) & 0x00FF00FFu;
    }
    out[x] = ((rb >> 2) & 0x00FF00FFu) | (((ag >> 2) & 0x00FF00FFu) << 8);
  }
}

// Source pixels in the source DC's device space, converted to what the
// destination holds.
class Source {
public:
  // Reads the device rectangle `area` of `dc` (clamped reads outside the
  // surface give black) into a private copy when it must: several pieces,
  // the destination's own surface, or a format conversion.
  Source(DeviceContext& src, const RECT& area, const std::vector<Piece>& destPieces, bool destMono,
         const DeviceContext& dest) {
    area_ = area;
    const std::vector<Piece> pieces = src.Pieces();
    const bool srcMono = src.Monochrome();
    if (srcMono != destMono) {
      convert_ = srcMono ? Convert::MonoToColour : Convert::ColourToMono;
      srcBk_ = ToPixel(PlainColor(src.s.bkColor));
      destText_ = ToPixel(PlainColor(dest.s.textColor));
      destBk_ = ToPixel(PlainColor(dest.s.bkColor));
    }
    bool shared = false;
    for (const Piece& d : destPieces)
      for (const Piece& p : pieces) shared |= d.surface == p.surface;
    // Memory DCs read their whole bitmap; window DCs read what their
    // surface holds under the DC's own area.
    // Section rows the transfer reads come in from the caller's bits.
    for (const Piece& p : pieces)
      if (p.sync) p.sync->EnsureRows(area.top + p.origin.y, area.bottom + p.origin.y);
    if (pieces.size() == 1 && !shared && convert_ == Convert::None) {
      surface_ = pieces[0].surface.get();
      ox_ = pieces[0].origin.x;
      oy_ = pieces[0].origin.y;
      return;
    }
    owned_ = std::make_unique<Surface>(std::max(1, area.right - area.left), std::max(1, area.bottom - area.top));
    for (auto it = pieces.rbegin(); it != pieces.rend(); ++it) {
      const Piece& p = *it;
      const RECT onSurface = Intersect(Offset(area, p.origin.x, p.origin.y), {0, 0, p.surface->Width(), p.surface->Height()});
      RectList parts = src.type == DeviceContext::Type::Screen ? IntersectList(p.visible, onSurface) : RectList{onSurface};
      for (const RECT& r : parts)
        for (int y = r.top; y < r.bottom; ++y) {
          const uint32_t* in = p.surface->Row(y) + r.left;
          uint32_t* out = owned_->Row(y - p.origin.y - area.top) + (r.left - p.origin.x - area.left);
          std::memcpy(out, in, static_cast<size_t>(r.right - r.left) * 4);
        }
    }
    for (int y = 0; y < owned_->Height(); ++y) ConvertRow(owned_->Row(y), owned_->Width());
    surface_ = owned_.get();
    ox_ = -area.left;
    oy_ = -area.top;
  }

  // Pixel at source device (x, y); black outside.
  uint32_t At(int x, int y) const {
    const int sx = x + ox_, sy = y + oy_;
    if (sx < 0 || sy < 0 || sx >= surface_->Width() || sy >= surface_->Height()) return 0;
    return surface_->Row(sy)[sx];
  }
  // A pointer to `count` pixels from (x, y) when they all lie inside.
  const uint32_t* Run(int x, int y, int count) const {
    const int sx = x + ox_, sy = y + oy_;
    if (sx < 0 || sy < 0 || sx + count > surface_->Width() || sy >= surface_->Height()) return nullptr;
    return surface_->Row(sy) + sx;
  }

  // The surface holding the `w` x `h` source pixels from device (x, y) and
  // where they start on it, when all of them lie inside.
  const Surface* Direct(int x, int y, int w, int h, POINT* at) const {
    const int sx = x + ox_, sy = y + oy_;
    if (sx < 0 || sy < 0 || sx + w > surface_->Width() || sy + h > surface_->Height()) return nullptr;
    *at = {sx, sy};
    return surface_;
  }

  // Replaces the source by its HALFTONE resample to `w` x `h`, addressed
  // from (0, 0).
  void Resample(int w, int h) {
    const int sw = area_.right - area_.left, sh = area_.bottom - area_.top;
    auto out = std::make_unique<Surface>(w, h);
    if (FastPathsEnabled() && ReducePowerOfTwo(w, h, *out)) {
      owned_ = std::move(out);
      surface_ = owned_.get();
      ox_ = oy_ = 0;
      area_ = {0, 0, w, h};
      return;
    }
    // Area averaging: each destination pixel covers a rectangle of the
    // source; every source pixel counts by the area it shares.
    auto weights = [](int dstSize, int srcSize) {
      std::vector<std::vector<std::pair<int, double>>> w(static_cast<size_t>(dstSize));
      const double scale = static_cast<double>(srcSize) / dstSize;
      for (int i = 0; i < dstSize; ++i) {
        double a = i * scale, b = (i + 1) * scale;
        if (scale < 1) {  // enlarging: behave like nearest with soft edges
          const double c = (i + 0.5) * scale;
          a = c - 0.5, b = c + 0.5;
        }
        for (int s = static_cast<int>(std::floor(a)); s < static_cast<int>(std::ceil(b)); ++s) {
          const double wgt = std::min<double>(b, s + 1) - std::max<double>(a, s);
          if (wgt > 1e-9) w[static_cast<size_t>(i)].push_back({std::clamp(s, 0, srcSize - 1), wgt});
        }
      }
      return w;
    };
    const auto wx = weights(w, sw), wy = weights(h, sh);
    // Separable: each source row is first reduced across, once, then the
    // rows are mixed down. Rows a destination row needs are cached.
    std::unique_ptr<float[]> across(new float[static_cast<size_t>(sh) * static_cast<size_t>(w) * 4]);
    std::vector<uint8_t> done(static_cast<size_t>(sh), 0);
    std::vector<uint32_t> line(static_cast<size_t>(sw));
    auto rowAcross = [&](int sy) -> const float* {
      float* out = &across[static_cast<size_t>(sy) * static_cast<size_t>(w) * 4];
      if (done[static_cast<size_t>(sy)]) return out;
      const uint32_t* src = Run(area_.left, area_.top + sy, sw);
      if (!src) {
        for (int sx = 0; sx < sw; ++sx) line[static_cast<size_t>(sx)] = At(area_.left + sx, area_.top + sy);
        src = line.data();
      }
      for (int x = 0; x < w; ++x) {
        float a0 = 0, a1 = 0, a2 = 0, a3 = 0, total = 0;
        for (const auto& [sx, k] : wx[static_cast<size_t>(x)]) {
          const uint32_t p = src[sx];
          const float kf = static_cast<float>(k);
          a0 += kf * static_cast<float>(p & 0xFF);
          a1 += kf * static_cast<float>((p >> 8) & 0xFF);
          a2 += kf * static_cast<float>((p >> 16) & 0xFF);
          a3 += kf * static_cast<float>(p >> 24);
          total += kf;
        }
        float* o = out + 4 * x;
        o[0] = a0 / total, o[1] = a1 / total, o[2] = a2 / total, o[3] = a3 / total;
      }
      done[static_cast<size_t>(sy)] = 1;
      return out;
    };
    std::vector<float> acc(static_cast<size_t>(w) * 4);
    for (int y = 0; y < h; ++y) {
      std::fill(acc.begin(), acc.end(), 0.0f);
      float total = 0;
      for (const auto& [sy, k] : wy[static_cast<size_t>(y)]) {
        const float* r = rowAcross(sy);
        const float kf = static_cast<float>(k);
        for (size_t i = 0; i < acc.size(); ++i) acc[i] += kf * r[i];
        total += kf;
      }
      uint32_t* row = out->Row(y);
      for (int x = 0; x < w; ++x) {
        const float* a = &acc[static_cast<size_t>(x) * 4];
        auto ch = [&](int i) { return static_cast<uint32_t>(std::clamp(std::lround(a[i] / total), 0L, 255L)); };
        row[x] = ch(0) | (ch(1) << 8) | (ch(2) << 16) | (ch(3) << 24);
      }
    }
    owned_ = std::move(out);
    surface_ = owned_.get();
    ox_ = oy_ = 0;
    area_ = {0, 0, w, h};
  }

  // Shrinks by combining every source pixel a destination pixel covers
  // with AND (keeping black: BLACKONWHITE) or OR (keeping white:
  // WHITEONBLACK); enlarged axes repeat pixels. Addressed from (0, 0).
  void Combine(int w, int h, bool useAnd) {
    const int sw = area_.right - area_.left, sh = area_.bottom - area_.top;
    auto ranges = [](int dstSize, int srcSize) {
      std::vector<std::pair<int, int>> r(static_cast<size_t>(dstSize));
      for (int i = 0; i < dstSize; ++i) {
        int a = static_cast<int>(static_cast<int64_t>(i) * srcSize / dstSize);
        int b = static_cast<int>(static_cast<int64_t>(i + 1) * srcSize / dstSize);
        if (b <= a) b = a + 1;
        r[static_cast<size_t>(i)] = {a, std::min(b, srcSize)};
      }
      return r;
    };
    const auto rx = ranges(w, sw), ry = ranges(h, sh);
    auto out = std::make_unique<Surface>(w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint32_t v = useAnd ? 0xFFFFFFFFu : 0u;
        for (int sy = ry[static_cast<size_t>(y)].first; sy < ry[static_cast<size_t>(y)].second; ++sy)
          for (int sx = rx[static_cast<size_t>(x)].first; sx < rx[static_cast<size_t>(x)].second; ++sx) {
            const uint32_t p = At(area_.left + sx, area_.top + sy);
            v = useAnd ? (v & p) : (v | p);
          }
        out->Row(y)[x] = v;
      }
    owned_ = std::move(out);
    surface_ = owned_.get();
    ox_ = oy_ = 0;
    area_ = {0, 0, w, h};
  }

private:
  // Reductions by a power of two on each axis (2:1 thumbnails, previews):
  // every weight is one, so the area average is the block's sum divided
  // by its size, rounded half up, exactly what the float path computes.
  // Sums run two channels to a 32-bit word.
  bool ReducePowerOfTwo(int w, int h, Surface& out) const {
    const int sw = area_.right - area_.left, sh = area_.bottom - area_.top;
    if (w <= 0 || h <= 0 || sw % w != 0 || sh % h != 0) return false;
    const int kx = sw / w, ky = sh / h;
    const int n = kx * ky;
    if ((kx & (kx - 1)) != 0 || (ky & (ky - 1)) != 0 || n > 256 || n < 2) return false;
    int shift = 0;
    while ((1 << shift) < n) ++shift;
    const uint32_t half = static_cast<uint32_t>(n / 2) * 0x00010001u;
    std::vector<uint32_t> rb(static_cast<size_t>(w)), ag(static_cast<size_t>(w)), line(static_cast<size_t>(sw));
    if (kx == 2 && ky == 2) {
      std::vector<uint32_t> line2(static_cast<size_t>(sw));
      for (int y = 0; y < h; ++y) {
        const uint32_t* a = Run(area_.left, area_.top + 2 * y, sw);
        const uint32_t* b = Run(area_.left, area_.top + 2 * y + 1, sw);
        if (!a) {
          for (int sx = 0; sx < sw; ++sx) line[static_cast<size_t>(sx)] = At(area_.left + sx, area_.top + 2 * y);
          a = line.data();
        }
        if (!b) {
          for (int sx = 0; sx < sw; ++sx) line2[static_cast<size_t>(sx)] = At(area_.left + sx, area_.top + 2 * y + 1);
          b = line2.data();
        }
        Quarter(a, b, out.Row(y), w);
      }
      return true;
    }
    for (int y = 0; y < h; ++y) {
      std::fill(rb.begin(), rb.end(), half);
      std::fill(ag.begin(), ag.end(), half);
      for (int k = 0; k < ky; ++k) {
        const int sy = area_.top + y * ky + k;
        const uint32_t* src = Run(area_.left, sy, sw);
        if (!src) {
          for (int sx = 0; sx < sw; ++sx) line[static_cast<size_t>(sx)] = At(area_.left + sx, sy);
          src = line.data();
        }
        if (kx == 2) {
          for (int x = 0; x < w; ++x) {
            const uint32_t a = src[2 * x], b = src[2 * x + 1];
            rb[static_cast<size_t>(x)] += (a & 0x00FF00FFu) + (b & 0x00FF00FFu);
            ag[static_cast<size_t>(x)] += ((a >> 8) & 0x00FF00FFu) + ((b >> 8) & 0x00FF00FFu);
          }
        } else {
          for (int x = 0; x < w; ++x) {
            uint32_t r = 0, g = 0;
            for (const uint32_t* p = src + x * kx; p != src + (x + 1) * kx; ++p) {
              r += *p & 0x00FF00FFu;
              g += (*p >> 8) & 0x00FF00FFu;
            }
            rb[static_cast<size_t>(x)] += r;
            ag[static_cast<size_t>(x)] += g;
          }
        }
      }
      uint32_t* row = out.Row(y);
      for (int x = 0; x < w; ++x)
        row[x] = ((rb[static_cast<size_t>(x)] >> shift) & 0x00FF00FFu) | (((ag[static_cast<size_t>(x)] >> shift) & 0x00FF00FFu) << 8);
    }
    return true;
  }

  enum class Convert { None, MonoToColour, ColourToMono };
  void ConvertRow(uint32_t* row, int n) const {
    if (convert_ == Convert::MonoToColour)
      for (int i = 0; i < n; ++i) row[i] = (row[i] & 0xFFFFFF) ? destBk_ : destText_;
    else if (convert_ == Convert::ColourToMono)
      for (int i = 0; i < n; ++i) row[i] = (row[i] & 0xFFFFFF) == srcBk_ ? 0xFFFFFFu : 0u;
  }

  RECT area_{};
  const Surface* surface_ = nullptr;
  std::unique_ptr<Surface> owned_;
  int ox_ = 0, oy_ = 0;
  Convert convert_ = Convert::None;
  uint32_t srcBk_ = 0, destText_ = 0, destBk_ = 0;
};

// Folds a negative extent into a positive one and says whether it flips.
void Normalize(int& pos, int& extent, bool& flip) {
  if (extent < 0) {
    pos += extent;
    extent = -extent;
    flip = !flip;
  }
}

// One mapping from destination offsets to source offsets along an axis.
std::vector<int> AxisMap(int dstSize, int srcSize, bool flip) {
  std::vector<int> map(static_cast<size_t>(dstSize));
  for (int i = 0; i < dstSize; ++i) {
    const int k = flip ? dstSize - 1 - i : i;
    map[static_cast<size_t>(i)] = static_cast<int>((static_cast<int64_t>(2 * k + 1) * srcSize) / (2 * static_cast<int64_t>(dstSize)));
  }
  return map;
}

struct MaskSource {
  const Surface* surface = nullptr;
  int x = 0, y = 0;
  uint8_t back = 0;
};

// The whole transfer. `dst*` are logical coordinates of dest, `src*` of
// src. A null src is fine for pattern-only operations.
BOOL Transfer(HDC destDc, int xd, int yd, int wd, int hd, HDC srcDc, int xs, int ys, int ws, int hs, DWORD rop,
              const MaskSource* mask, const uint32_t* transparentKey) {
  auto dest = FindDC(destDc);
  if (!dest) return FALSE;
  const uint8_t code = static_cast<uint8_t>(rop >> 16);
  const bool needSource = RopUsesSource(code) || mask || transparentKey ||
                          (mask && RopUsesSource(mask->back));
  std::shared_ptr<DeviceContext> src;
  if (needSource) {
    src = FindDC(srcDc);
    if (!src) return FALSE;
  }
  bool flipX = false, flipY = false;
  Normalize(xd, wd, flipX);
  Normalize(yd, hd, flipY);
  Normalize(xs, ws, flipX);
  Normalize(ys, hs, flipY);
  if (wd == 0 || hd == 0 || (needSource && (ws == 0 || hs == 0))) return TRUE;

  DrawScope scope(*dest, true);
  std::optional<DrawScope> srcScope;
  if (src && src != dest) srcScope.emplace(*src, false);
  Raster raster(scope);
  const POINT d0 = dest->ToDevice(xd, yd);
  const bool destMono = dest->Monochrome();

  std::optional<Source> source;
  std::vector<int> mapX, mapY;
  POINT s0{};
  if (src) {
    s0 = src->ToDevice(xs, ys);
    source.emplace(*src, RECT{s0.x, s0.y, s0.x + ws, s0.y + hs}, scope.Pieces(), destMono, *dest);
    const bool stretched = ws != wd || hs != hd;
    const int mode = dest->s.stretchMode;
    const bool shrinks = ws > wd || hs > hd;
    if (stretched && mode == HALFTONE && !destMono) {
      source->Resample(wd, hd);
      s0 = {0, 0};
      ws = wd;
      hs = hd;
    } else if (shrinks && (mode == BLACKONWHITE || mode == WHITEONBLACK)) {
      source->Combine(wd, hd, mode == BLACKONWHITE);
      s0 = {0, 0};
      ws = wd;
      hs = hd;
    }
    mapX = AxisMap(wd, ws, flipX);
    mapY = AxisMap(hd, hs, flipY);
  }
  const bool identityX = src && !flipX && ws == wd;
  std::optional<Paint> pattern;
  if (RopUsesPattern(code) || (mask && RopUsesPattern(mask->back))) {
    pattern = BrushPaint(*dest);
    if (!pattern) pattern = SolidPaint(*dest, 0);  // a hollow brush blits as black
  }

  std::vector<uint32_t> sbuf, pbuf, dbuf;
  int gatheredY = 0, gatheredOff = 0, gatheredN = -1;
  for (int row = 0; row < hd; ++row) {
    const int y = d0.y + row;
    raster.ForEachSpan(y, d0.x, d0.x + wd, [&](uint32_t* d, int n, int x, int dy) {
      const int off = x - d0.x;
      const uint32_t* s = nullptr;
      if (source) {
        const int sy = s0.y + mapY[static_cast<size_t>(row)];
        if (identityX) s = source->Run(s0.x + off, sy, n);
        // Enlarging repeats source rows: a row gathered for the same
        // span is used again.
        if (!s && sy == gatheredY && off == gatheredOff && n == gatheredN) s = sbuf.data();
        if (!s) {
          gatheredY = sy, gatheredOff = off, gatheredN = n;
          sbuf.resize(static_cast<size_t>(n));
          const int* mx = mapX.data() + off;
          // The whole source row is readable when the map's ends are.
          const uint32_t* row = source->Run(s0.x, sy, ws);
          if (row) {
            for (int i = 0; i < n; ++i) sbuf[static_cast<size_t>(i)] = row[mx[i]];
          } else {
            for (int i = 0; i < n; ++i) sbuf[static_cast<size_t>(i)] = source->At(s0.x + mx[i], sy);
          }
          s = sbuf.data();
        }
      }
      const uint32_t* p = nullptr;
      if (pattern) {
        pbuf.resize(static_cast<size_t>(n));
        auto resolve = [&](uint32_t c) {
          if (c & 0x80000000u) c = pattern->back;
          return destMono ? ToMono(c) : c & 0xFFFFFF;
        };
        if (pattern->pattern) {
          for (int i = 0; i < n; ++i) pbuf[static_cast<size_t>(i)] = resolve(pattern->PatternAt(x + i, dy));
        } else {
          std::fill(pbuf.begin(), pbuf.begin() + n, resolve(pattern->color));  // a solid brush
        }
        p = pbuf.data();
      }
      if (transparentKey) {
        for (int i = 0; i < n; ++i)
          if ((s[i] & 0xFFFFFF) != *transparentKey) d[i] = s[i] & 0xFFFFFF;
        return;
      }
      if (mask) {
        for (int i = 0; i < n; ++i) {
          const int mx = mask->x + off + i, my = mask->y + row;
          const bool bit = mx >= 0 && my >= 0 && mx < mask->surface->Width() && my < mask->surface->Height() &&
                           (mask->surface->Row(my)[mx] & 0xFFFFFF);
          const uint8_t c = bit ? code : mask->back;
          const uint32_t sv = s ? s[i] : 0, pv = p ? p[i] : 0;
          d[i] = c == 0xCC ? sv : Rop3(c, pv, sv, d[i]) & 0xFFFFFF;
        }
        return;
      }
      CombineRow(code, d, s, p, n);
    });
  }
  return TRUE;
}

}  // namespace

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, DWORD rop) {
  return Transfer(dest, x, y, width, height, src, xSrc, ySrc, width, height, rop, nullptr, nullptr);
}

BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int srcWidth, int srcHeight,
                DWORD rop) {
  // A negative extent mirrors and counts from the origin pixel itself:
  // (x, -w) covers x down to x - w + 1, which is why mirroring code passes
  // x + w - 1. PatBlt keeps the plain (x - w .. x - 1) rule.
  if (width < 0) ++x;
  if (height < 0) ++y;
  if (srcWidth < 0) ++xSrc;
  if (srcHeight < 0) ++ySrc;
  return Transfer(dest, x, y, width, height, src, xSrc, ySrc, srcWidth, srcHeight, rop, nullptr, nullptr);
}

BOOL PatBlt(HDC dest, int x, int y, int width, int height, DWORD rop) {
  const uint8_t code = static_cast<uint8_t>(rop >> 16);
  if (RopUsesSource(code)) return FALSE;
  return Transfer(dest, x, y, width, height, nullptr, 0, 0, width, height, rop, nullptr, nullptr);
}

BOOL MaskBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, HBITMAP mask, int xMask,
             int yMask, DWORD rop) {
  if (!mask) return Transfer(dest, x, y, width, height, src, xSrc, ySrc, width, height, rop & 0xFFFFFF, nullptr, nullptr);
  auto m = FindGdiObject<Bitmap>(mask);
  if (!m || !m->Monochrome()) return FALSE;
  MaskSource ms{m->surface.get(), xMask, yMask, static_cast<uint8_t>(rop >> 24)};
  return Transfer(dest, x, y, width, height, src, xSrc, ySrc, width, height, rop & 0xFFFFFF, &ms, nullptr);
}

BOOL TransparentBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int srcWidth,
                    int srcHeight, UINT transparentColor) {
  if (width < 0 || height < 0 || srcWidth < 0 || srcHeight < 0) return FALSE;
  const uint32_t key = ToPixel(PlainColor(transparentColor));
  return Transfer(dest, x, y, width, height, src, xSrc, ySrc, srcWidth, srcHeight, SRCCOPY, nullptr, &key);
}

BOOL PlgBlt(HDC dest, const POINT* points, HDC src, int xSrc, int ySrc, int width, int height, HBITMAP mask, int xMask,
            int yMask) {
  auto d = FindDC(dest);
  auto s = FindDC(src);
  if (!d || !s || !points || width <= 0 || height <= 0) return FALSE;
  std::shared_ptr<Bitmap> m = mask ? FindGdiObject<Bitmap>(mask) : nullptr;
  // Inverse-map every destination pixel of the parallelogram's bounds.
  const double ax = points[1].x - points[0].x, ay = points[1].y - points[0].y;
  const double bx = points[2].x - points[0].x, by = points[2].y - points[0].y;
  const double det = ax * by - ay * bx;
  if (det == 0) return FALSE;
  const int minX = std::min({points[0].x, points[1].x, points[2].x, points[1].x + points[2].x - points[0].x});
  const int maxX = std::max({points[0].x, points[1].x, points[2].x, points[1].x + points[2].x - points[0].x});
  const int minY = std::min({points[0].y, points[1].y, points[2].y, points[1].y + points[2].y - points[0].y});
  const int maxY = std::max({points[0].y, points[1].y, points[2].y, points[1].y + points[2].y - points[0].y});
  DrawScope scope(*d, true);
  std::optional<DrawScope> srcScope;
  if (s != d) srcScope.emplace(*s, false);
  Source source(*s, Offset(RECT{xSrc, ySrc, xSrc + width, ySrc + height}, s->DX(), s->DY()), scope.Pieces(),
                d->Monochrome(), *d);
  Raster raster(scope);
  for (int y = minY; y < maxY; ++y) {
    const POINT dev = d->ToDevice(minX, y);
    raster.ForEachSpan(dev.y, dev.x, dev.x + (maxX - minX), [&](uint32_t* row, int n, int x, int) {
      for (int i = 0; i < n; ++i) {
        const double px = x + i - d->DX() + 0.5 - points[0].x, py = y + 0.5 - points[0].y;
        const double u = (px * by - py * bx) / det, v = (ax * py - ay * px) / det;
        if (u < 0 || v < 0 || u >= 1 || v >= 1) continue;
        const int sx = static_cast<int>(u * width), sy = static_cast<int>(v * height);
        if (m) {
          const int mx = xMask + sx, my = yMask + sy;
          if (mx < 0 || my < 0 || mx >= m->Width() || my >= m->Height() || !(m->surface->Row(my)[mx] & 0xFFFFFF)) continue;
        }
        row[i] = source.At(xSrc + sx + s->DX(), ySrc + sy + s->DY());
      }
    });
  }
  return TRUE;
}

namespace {

// s + d * keep / 255 on all four channels at once, two per 32-bit lane
// pair, rounding as the per-channel formula does and saturating at 255.
inline uint32_t OverPremultiplied(uint32_t s, uint32_t d, uint32_t keep) {
  uint32_t rb = (d & 0x00FF00FFu) * keep + 0x00800080u;
  rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
  uint32_t ag = ((d >> 8) & 0x00FF00FFu) * keep + 0x00800080u;
  ag = ((ag + ((ag >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
  uint32_t lo = (s & 0x00FF00FFu) + rb, hi = ((s >> 8) & 0x00FF00FFu) + ag;
  const uint32_t loOver = lo & 0x01000100u, hiOver = hi & 0x01000100u;
  lo = (lo | (loOver - (loOver >> 8))) & 0x00FF00FFu;
  hi = (hi | (hiOver - (hiOver >> 8))) & 0x00FF00FFu;
  return lo | (hi << 8);
}

}  // namespace

BOOL AlphaBlend(HDC destDc, int x, int y, int width, int height, HDC srcDc, int xSrc, int ySrc, int srcWidth,
                int srcHeight, BLENDFUNCTION blend) {
  auto dest = FindDC(destDc);
  auto src = FindDC(srcDc);
  if (!dest || !src || blend.BlendOp != AC_SRC_OVER) return FALSE;
  if (width < 0 || height < 0 || srcWidth < 0 || srcHeight < 0) return FALSE;
  const POINT s0 = src->ToDevice(xSrc, ySrc);
  if (src->type == DeviceContext::Type::Memory) {
    if (!src->s.bitmap) return FALSE;
    if (s0.x < 0 || s0.y < 0 || s0.x + srcWidth > src->s.bitmap->Width() || s0.y + srcHeight > src->s.bitmap->Height())
      return FALSE;
  }
  if (width == 0 || height == 0 || srcWidth == 0 || srcHeight == 0) return TRUE;
  DrawScope scope(*dest, true);
  std::optional<DrawScope> srcScope;
  if (src != dest) srcScope.emplace(*src, false);
  Source source(*src, RECT{s0.x, s0.y, s0.x + srcWidth, s0.y + srcHeight}, scope.Pieces(), false, *dest);
  const std::vector<int> mapX = AxisMap(width, srcWidth, false), mapY = AxisMap(height, srcHeight, false);
  const uint32_t sca = blend.SourceConstantAlpha;
  const bool perPixel = blend.AlphaFormat & AC_SRC_ALPHA;
  // v * a / 255, rounded, without a division.
  auto mul = [](uint32_t v, uint32_t a) {
    const uint32_t t = v * a + 128;
    return (t + (t >> 8)) >> 8;
  };
  Raster raster(scope);
  const POINT d0 = dest->ToDevice(x, y);
  POINT at{};
  const Surface* direct = perPixel && srcWidth == width && srcHeight == height && FastPathsEnabled()
                              ? source.Direct(s0.x, s0.y, width, height, &at)
                              : nullptr;
  if (direct) {
    raster.ForEachRect(RECT{d0.x, d0.y, d0.x + width, d0.y + height}, [&](Surface& surface, const RECT& r, int dx, int dy) {
      CompositeOver(*direct, at.x + dx - d0.x, at.y + dy - d0.y, surface, r.left, r.top, r.right - r.left,
                    r.bottom - r.top, static_cast<uint8_t>(sca));
    });
    return TRUE;
  }
  std::vector<uint32_t> sbuf;
  for (int row = 0; row < height; ++row) {
    const int sy = s0.y + mapY[static_cast<size_t>(row)];
    raster.ForEachSpan(d0.y + row, d0.x, d0.x + width, [&](uint32_t* d, int n, int dx, int) {
      const int off = dx - d0.x;
      const uint32_t* srow = srcWidth == width ? source.Run(s0.x + off, sy, n) : nullptr;
      if (!srow) {
        sbuf.resize(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) sbuf[static_cast<size_t>(i)] = source.At(s0.x + mapX[static_cast<size_t>(off + i)], sy);
        srow = sbuf.data();
      }
      if (perPixel) {
        for (int i = 0; i < n; ++i) {
          uint32_t s = srow[i];
          if (sca != 255) s = (mul(s >> 24, sca) << 24) | (mul((s >> 16) & 0xFF, sca) << 16) | (mul((s >> 8) & 0xFF, sca) << 8) | mul(s & 0xFF, sca);
          const uint32_t sa = s >> 24;
          if (sa == 255) {
            d[i] = s;
            continue;
          }
          d[i] = OverPremultiplied(s, d[i], 255 - sa);
        }
      } else {
        for (int i = 0; i < n; ++i) {
          const uint32_t s = srow[i], dv = d[i];
          uint32_t out = 0;
          for (int c = 0; c < 32; c += 8) out |= (mul((s >> c) & 0xFF, sca) + mul((dv >> c) & 0xFF, 255 - sca)) << c;
          d[i] = out;
        }
      }
    });
  }
  return TRUE;
}

namespace {

// A DIB handed to a blit: decoded into a temporary memory DC.
struct DibSource {
  std::shared_ptr<DeviceContext> dc;
  int height = 0;
  bool topDown = false;
  HDC handle = nullptr;
};

}  // namespace

namespace gdi {
HDC NewDC(std::shared_ptr<DeviceContext> dc);
std::shared_ptr<DeviceContext> RemoveDC(HDC hdc);
std::shared_ptr<Bitmap> NewDeviceBitmap(int32_t width, int32_t height, bool mono);
}  // namespace gdi

namespace {

bool MakeDibSource(const void* bits, const BITMAPINFO* info, UINT usage, DibSource* out) {
  DibFormat f;
  if (!bits || !info || !f.Parse(info, 40 + 256 * 4 + 12, usage)) return false;
  auto bitmap = NewDeviceBitmap(f.width, f.height, false);
  const size_t size = info->bmiHeader.biSizeImage ? info->bmiHeader.biSizeImage : f.ImageSize();
  if (!DibToSurface(f, static_cast<const uint8_t*>(bits), std::max(size, f.ImageSize()), bitmap->surface.get()))
    return false;
  out->dc = std::make_shared<DeviceContext>();
  out->handle = NewDC(out->dc);
  out->dc->s.bitmap = bitmap;
  out->height = f.height;
  out->topDown = f.topDown;
  return true;
}

}  // namespace

int StretchDIBits(HDC dest, int x, int y, int width, int height, int xSrc, int ySrc, int srcWidth, int srcHeight,
                  const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) {
  if (!FindDC(dest)) return 0;
  DibSource ds;
  if (!MakeDibSource(bits, info, usage, &ds)) return 0;
  // Bottom-up DIBs count ySrc from the bottom row.
  const int top = ds.topDown ? ySrc : ds.height - ySrc - srcHeight;
  const BOOL ok = StretchBlt(dest, x, y, width, height, ds.handle, xSrc, top, srcWidth, srcHeight, rop);
  RemoveDC(ds.handle);
  return ok ? std::abs(srcHeight) : 0;
}

int SetDIBitsToDevice(HDC dest, int x, int y, DWORD width, DWORD height, int xSrc, int ySrc, UINT startScan,
                      UINT scanLines, const void* bits, const BITMAPINFO* info, UINT usage) {
  if (!FindDC(dest) || !info) return 0;
  DibFormat f;
  if (!f.Parse(info, 40 + 256 * 4 + 12, usage)) return 0;
  // `bits` holds scan lines [startScan, startScan + scanLines) only; give
  // the decoder a full-size image with them in place.
  const UINT lines = std::min<UINT>(scanLines, static_cast<UINT>(f.height) > startScan ? static_cast<UINT>(f.height) - startScan : 0);
  if (lines == 0) return 0;
  std::vector<uint8_t> full(f.ImageSize(), 0);
  const size_t offset = f.stride * startScan;
  std::memcpy(full.data() + offset, bits, std::min(f.stride * lines, full.size() - offset));
  DibSource ds;
  if (!MakeDibSource(full.data(), info, usage, &ds)) return 0;
  const int top = ds.topDown ? ySrc : ds.height - ySrc - static_cast<int>(height);
  const BOOL ok = BitBlt(dest, x, y, static_cast<int>(width), static_cast<int>(height), ds.handle, xSrc, top, SRCCOPY);
  RemoveDC(ds.handle);
  return ok ? static_cast<int>(lines) : 0;
}

}  // namespace win
