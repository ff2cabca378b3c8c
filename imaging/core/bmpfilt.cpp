#include "imaging/core/bmpfilt.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "imaging/core/ikquantizer.h"
#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/ikutilsMask.h"
#include "imaging/core/imgkitio.h"
#include "imaging/core/imgkitioRegistry.h"
#include "imaging/core/imgkitprocPixels.h"

namespace imaging {

namespace {

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}

int64_t ReadSome(rtl::TStream& s, void* to, int64_t count) {
  if (count <= 0) return 0;
  try {
    return std::max<int64_t>(0, s.Read(to, count));
  } catch (...) {
    return 0;
  }
}

int64_t RowSize(int64_t width, int32_t bits) { return ((width * bits + 31) / 32) * 4; }

// A header can claim any size; an image is only believed as far as the
// bytes behind it could describe it (RLE packets cover up to 255 pixels in
// two bytes), with a floor so small truncated files still load.
bool PlausibleSize(int64_t width, int64_t height, int64_t bytesLeft) {
  const int64_t pixels = width * height;
  return width <= 0x7FFFFFF && height <= 0x7FFFFFF && pixels <= std::max<int64_t>(int64_t{1} << 24, bytesLeft * 1024);
}

// The width and lowest bit of a bit-field mask.
struct MaskField {
  uint32_t mask = 0;
  int shift = 0;
  int width = 0;
  explicit MaskField(uint32_t m) : mask(m) {
    if (!m) return;
    while (!(m >> shift & 1)) ++shift;
    while (shift + width < 32 && (m >> (shift + width) & 1)) ++width;
  }
  uint8_t Extract(uint32_t px) const {
    if (!width) return 0;
    const uint32_t v = (px & mask) >> shift;
    return static_cast<uint8_t>(width >= 8 ? v >> (width - 8) : v << (8 - width));
  }
};

struct PixelSink {
  TIKBitmap* bitmap;
  bool native;
  const TRGB* palette;
  int32_t paletteCount;
  int32_t width;
  void Put(uint8_t* row, int32_t x, uint8_t index) const {
    if (native) {
      row[x] = index;
      return;
    }
    // An index beyond the colour table is black, not whatever lies after it.
    const TRGB c = index < paletteCount ? palette[index] : TRGB{0, 0, 0};
    std::memcpy(row + 3 * x, &c, 3);
  }
};

void Report(TProgressRec& pr, int32_t n, double step) {
  if (pr.Callback) pr.Callback(pr.CallbackData, pr.Sender, static_cast<int32_t>(n * step));
}

// RLE4 and RLE8. Rows and columns are bounded: a delta or a literal run
// that leaves the picture ends the decoding instead of writing past it.
void DecodeBmpRle(const uint8_t* data, int64_t size, bool rle8, const PixelSink& sink, int32_t height, bool topDown,
                  TProgressRec& pr, double step) {
  int32_t x = 0, fileRow = 0;
  int64_t i = 0;
  const int32_t w = sink.width;
  auto rowPtr = [&]() {
    return static_cast<uint8_t*>(sink.bitmap->ScanLine(topDown ? fileRow : height - 1 - fileRow));
  };
  // Pixels past the width are dropped. Writers that encode the padded row
  // (ImageMagick does) would otherwise leave their padding on the last
  // column.
  auto put = [&](uint8_t index) {
    if (fileRow >= height) return;
    if (x < w) sink.Put(rowPtr(), x, index);
    ++x;
  };
  Report(pr, 0, step);
  while (i + 1 < size && fileRow < height) {
    const uint8_t count = data[i], value = data[i + 1];
    i += 2;
    if (count > 0) {
      for (int k = 0; k < count; ++k) put(rle8 ? value : (k % 2 == 0 ? value >> 4 : value & 15));
      continue;
    }
    if (value == 0) {
      ++fileRow;
      x = 0;
      Report(pr, fileRow, step);
      if (pr.AbortFlag && *pr.AbortFlag) return;
    } else if (value == 1) {
      return;
    } else if (value == 2) {
      if (i + 1 >= size) return;
      x += data[i];
      fileRow += data[i + 1];
      i += 2;
    } else {
      const int64_t bytes = rle8 ? value : (value + 1) / 2;
      for (int k = 0; k < value && i + (rle8 ? k : k / 2) < size; ++k) {
        const uint8_t b = data[i + (rle8 ? k : k / 2)];
        put(rle8 ? b : (k % 2 == 0 ? b >> 4 : b & 15));
      }
      i += bytes + (bytes & 1);
    }
  }
}

bool WriteChecked(rtl::TStream& s, const void* data, int64_t count, TProgressRec& pr) {
  int64_t n = -1;
  try {
    n = s.Write(data, count);
  } catch (...) {
  }
  if (n != count) {
    if (pr.AbortFlag) *pr.AbortFlag = true;
    return false;
  }
  return true;
}

void FlushLiterals(const uint8_t* px, int32_t from, int32_t to, bool rle4, std::vector<uint8_t>& out) {
  while (from < to) {
    const int32_t k = std::min(to - from, 255);
    const uint8_t* p = px + from;
    if (k == 1) {
      out.push_back(1);
      out.push_back(rle4 ? static_cast<uint8_t>(p[0] << 4) : p[0]);
    } else if (k == 2) {
      if (rle4) {
        out.push_back(2);
        out.push_back(static_cast<uint8_t>(p[0] << 4 | (p[1] & 15)));
      } else {
        out.insert(out.end(), {1, p[0], 1, p[1]});
      }
    } else {
      out.push_back(0);
      out.push_back(static_cast<uint8_t>(k));
      int32_t bytes = 0;
      if (rle4) {
        for (int32_t j = 0; j < k; j += 2, ++bytes)
          out.push_back(static_cast<uint8_t>(p[j] << 4 | (j + 1 < k ? p[j + 1] & 15 : 0)));
      } else {
        out.insert(out.end(), p, p + k);
        bytes = k;
      }
      if (bytes & 1) out.push_back(0);
    }
    from += k;
  }
}

void EncodeRle(const uint8_t* px, int32_t n, bool rle4, std::vector<uint8_t>& out) {
  int32_t p = 0, literalStart = 0;
  while (p < n) {
    if (p - literalStart > 255) {
      FlushLiterals(px, literalStart, p, rle4, out);
      literalStart = p;
    }
    if (p + 1 < n && px[p] == px[p + 1]) {
      FlushLiterals(px, literalStart, p, rle4, out);
      int32_t run = 1;
      while (p + run < n && run < 255 && px[p + run] == px[p]) ++run;
      out.push_back(static_cast<uint8_t>(run));
      out.push_back(rle4 ? static_cast<uint8_t>(px[p] << 4 | (px[p] & 15)) : px[p]);
      p += run;
      literalStart = p;
    } else {
      ++p;
    }
  }
  FlushLiterals(px, literalStart, n, rle4, out);
  out.push_back(0);
  out.push_back(0);
}

int32_t DpiToPpm(int32_t dpi) { return static_cast<int32_t>(std::nearbyint(dpi / 2.54 * 100)); }
int32_t PpmToDpi(int32_t ppm) { return static_cast<int32_t>(std::nearbyint(ppm * 2.54 / 100)); }

}  // namespace

void EncodeBmpRle8(const uint8_t* row, int32_t count, std::vector<uint8_t>& out) { EncodeRle(row, count, false, out); }
void EncodeBmpRle4(const uint8_t* row, int32_t count, std::vector<uint8_t>& out) { EncodeRle(row, count, true, out); }

void ReadBmpImage(rtl::TStream& stream, TIKBitmap* bitmap, int32_t dataLength, TIOParamsVals& params,
                  TProgressRec& progress, bool paramsOnly, bool noFileHeader, std::unique_ptr<TIKMask>& alphaMask,
                  bool ignoreAlpha) {
  std::atomic<bool> localAbort{false};
  std::atomic<bool>& abort = progress.AbortFlag ? *progress.AbortFlag : localAbort;
  const int64_t start = stream.Position();
  const int64_t streamSize = stream.Size();
  uint8_t fh[14] = {};
  if (noFileHeader) {
    fh[0] = 'B';
    fh[1] = 'M';
    Put32(fh + 2, static_cast<uint32_t>(streamSize));
  } else if (ReadSome(stream, fh, 14) != 14) {
    abort = true;
    return;
  }
  if (fh[0] != 'B' || fh[1] != 'M') {
    abort = true;
    return;
  }
  const uint32_t fileSize = U32(fh + 2);
  const uint32_t pixelOffset = U32(fh + 10);
  if (dataLength < 1 && fileSize > 0) dataLength = static_cast<int32_t>(std::min<uint32_t>(fileSize, INT32_MAX));

  uint8_t hs[4] = {};
  const int64_t headerAt = stream.Position();
  ReadSome(stream, hs, 4);
  stream.SetPosition(headerAt);
  const uint32_t headerSize = U32(hs);
  params.SetPalette(nullptr, 0);

  int64_t width = 0, height = 0;
  int32_t bits = 0;
  uint32_t compression = 0, imageSize = 0;
  bool topDown = false;
  std::vector<TRGB> palette;
  uint32_t masks[3] = {0, 0, 0};
  bool masksFromHeader = false;

  if (headerSize == 12) {
    uint8_t h[12] = {};
    ReadSome(stream, h, 12);
    params.BmpVersion = 2;
    width = U16(h + 4);
    height = U16(h + 6);
    bits = U16(h + 10);
    params.SetDpiX(DefaultDpiX.load());
    params.SetDpiY(DefaultDpiY.load());
    if (bits <= 8) {
      palette.resize(size_t{1} << bits);
      std::vector<uint8_t> t(palette.size() * 3);
      ReadSome(stream, t.data(), static_cast<int64_t>(t.size()));
      std::memcpy(palette.data(), t.data(), t.size());
    }
  } else {
    uint8_t h[64] = {};
    ReadSome(stream, h, std::min<int64_t>(64, headerSize));
    if (headerSize > 64) stream.Seek(static_cast<int64_t>(headerSize) - 64, rtl::soCurrent);
    params.BmpVersion = headerSize == 40 ? 1 : headerSize == 64 ? 3 : 0;
    width = static_cast<int32_t>(U32(h + 4));
    const int32_t sh = static_cast<int32_t>(U32(h + 8));
    topDown = sh < 0;
    height = std::abs(static_cast<int64_t>(sh));
    bits = U16(h + 14);
    compression = U32(h + 16);
    imageSize = U32(h + 20);
    const int32_t ppmX = static_cast<int32_t>(U32(h + 24)), ppmY = static_cast<int32_t>(U32(h + 28));
    params.SetDpiX(ppmX ? PpmToDpi(ppmX) : DefaultDpiX.load());
    params.SetDpiY(ppmY ? PpmToDpi(ppmY) : DefaultDpiY.load());
    uint32_t colors = U32(h + 32);
    if (colors > 256) colors = 0;
    if (colors == 0 && bits <= 8) colors = 1u << bits;
    // Headers of 52 bytes and more carry the bit-field masks themselves;
    // the bytes after the colour table are then already pixels.
    if (headerSize >= 52) {
      masksFromHeader = true;
      for (int k = 0; k < 3; ++k) masks[k] = U32(h + 40 + 4 * k);
    }
    if (colors > 0) {
      palette.resize(colors);
      std::vector<uint8_t> t(colors * 4);
      const int64_t got = ReadSome(stream, t.data(), static_cast<int64_t>(t.size()));
      palette.resize(static_cast<size_t>(got / 4));
      for (size_t k = 0; k < palette.size(); ++k) palette[k] = TRGB{t[4 * k], t[4 * k + 1], t[4 * k + 2]};
    }
    if (compression == 3 && !masksFromHeader) {
      uint8_t m[12] = {};
      ReadSome(stream, m, 12);
      for (int k = 0; k < 3; ++k) masks[k] = U32(m + 4 * k);
    }
    if (width < 0) {
      abort = true;
      return;
    }
  }
  if (compression == 0 || compression == 3) params.BmpCompression = 0;
  if (compression == 1 || compression == 2) params.BmpCompression = 1;
  if (!palette.empty()) params.SetPalette(palette.data(), static_cast<int32_t>(palette.size()));
  params.Width = static_cast<int32_t>(std::min<int64_t>(width, INT32_MAX));
  params.Height = static_cast<int32_t>(std::min<int64_t>(height, INT32_MAX));
  switch (bits) {
    case 1: params.BitsPerSample = 1; params.SamplesPerPixel = 1; break;
    case 4: params.BitsPerSample = 4; params.SamplesPerPixel = 1; break;
    case 8: params.BitsPerSample = 8; params.SamplesPerPixel = 1; break;
    case 16: params.BitsPerSample = 5; params.SamplesPerPixel = 3; break;
    case 24: params.BitsPerSample = 8; params.SamplesPerPixel = 3; break;
    case 32: params.BitsPerSample = 8; params.SamplesPerPixel = 4; break;
    default: break;
  }

  if (pixelOffset > 0) stream.SetPosition(start + pixelOffset);
  const int64_t here = stream.Position();
  int64_t compressedLength = dataLength >= 1 ? start + dataLength - here : imageSize;
  compressedLength = std::clamp<int64_t>(compressedLength, 0, std::max<int64_t>(0, streamSize - here));

  if (paramsOnly || width == 0 || height == 0) return;
  if (!PlausibleSize(width, height, std::max<int64_t>(0, streamSize - here))) {
    abort = true;
    return;
  }
  const int32_t w = static_cast<int32_t>(width), h = static_cast<int32_t>(height);
  const bool native = params.NativePixelFormat && (bits == 4 || bits == 8);
  const TIKPixelFormat pf = bits == 1 ? ikMono1 : native ? ikPalette8 : ikRGB24;
  bitmap->Allocate(w, h, pf);
  if (native) {
    for (size_t k = 0; k < 256; ++k) bitmap->SetPaletteColor(static_cast<int32_t>(k), k < palette.size() ? palette[k] : TRGB{0, 0, 0});
  }
  const double step = 100.0 / h;
  const int64_t rowSize = RowSize(w, bits);
  const PixelSink sink{bitmap, native, palette.data(), static_cast<int32_t>(palette.size()), w};
  auto bufferRow = [&](int32_t n) { return static_cast<uint8_t*>(bitmap->ScanLine(topDown ? n : h - 1 - n)); };

  if ((bits == 8 && compression == 1) || (bits == 4 && compression == 2)) {
    std::vector<uint8_t> data(static_cast<size_t>(compressedLength));
    data.resize(static_cast<size_t>(ReadSome(stream, data.data(), compressedLength)));
    DecodeBmpRle(data.data(), static_cast<int64_t>(data.size()), bits == 8, sink, h, topDown, progress, step);
    return;
  }
  const bool plain = compression == 0 || (compression == 3 && (bits == 16 || bits == 32));
  if (!plain || !(bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32)) return;

  std::vector<uint8_t> row(static_cast<size_t>(rowSize));
  std::unique_ptr<TIKMask>& mask = alphaMask;
  bool anyAlpha = false;
  if (bits == 32 && !ignoreAlpha) {
    if (!mask) mask = std::make_unique<TIKMask>();
    mask->AllocateBits(w, h, 8);
    mask->Fill(255);
  }
  const bool bitFields = compression == 3 || bits == 16;
  uint32_t m16[3] = {0x7C00, 0x3E0, 0x1F};
  if (compression == 3) std::copy(masks, masks + 3, m16);
  const MaskField red(m16[0]), green(m16[1]), blue(m16[2]);

  for (int32_t n = 0; n < h; ++n) {
    Report(progress, n, step);
    if (abort) break;
    std::fill(row.begin(), row.end(), 0);
    if (ReadSome(stream, row.data(), rowSize) <= 0) break;
    uint8_t* dst = bufferRow(n);
    switch (bits) {
      case 1: std::memcpy(dst, row.data(), static_cast<size_t>(std::min<int64_t>(rowSize, bitmap->RowLength()))); break;
      case 4:
        for (int32_t x = 0; x < w; ++x) sink.Put(dst, x, x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 15);
        break;
      case 8:
        for (int32_t x = 0; x < w; ++x) sink.Put(dst, x, row[x]);
        break;
      case 16:
        for (int32_t x = 0; x < w; ++x) {
          const uint32_t px = U16(&row[2 * x]);
          dst[3 * x] = blue.Extract(px);
          dst[3 * x + 1] = green.Extract(px);
          dst[3 * x + 2] = red.Extract(px);
        }
        break;
      case 24: std::memcpy(dst, row.data(), static_cast<size_t>(w) * 3); break;
      case 32: {
        uint8_t* m = mask && !ignoreAlpha ? mask->ScanLine(topDown ? n : h - 1 - n) : nullptr;
        for (int32_t x = 0; x < w; ++x) {
          const uint8_t* s = &row[4 * x];
          if (bitFields) {
            const uint32_t px = U32(s);
            dst[3 * x] = blue.Extract(px);
            dst[3 * x + 1] = green.Extract(px);
            dst[3 * x + 2] = red.Extract(px);
          } else {
            std::memcpy(dst + 3 * x, s, 3);
          }
          if (m) {
            m[x] = s[3];
            anyAlpha |= s[3] != 0;
          }
        }
        break;
      }
      default: break;
    }
  }
  if (bits == 1 && palette.size() == 2 && palette[0] == TRGB{255, 255, 255} && palette[1] == TRGB{0, 0, 0})
    InvertBits(bitmap);
  if (mask && bits == 32) {
    bool full = true;
    for (int32_t y = 0; y < h && full; ++y) {
      const uint8_t* m = mask->ScanLine(y);
      full = std::all_of(m, m + w, [](uint8_t v) { return v == 255; });
    }
    if (!anyAlpha || full) mask.reset();
  }
}

void WriteBmpImage(rtl::TStream& stream, TIKBitmap* bitmap, TIOParamsVals& params, TProgressRec& progress) {
  std::atomic<bool> localAbort{false};
  std::atomic<bool>& abort = progress.AbortFlag ? *progress.AbortFlag : localAbort;
  int32_t bits = params.BitsPerSample == 1 || params.BitsPerSample == 4 ? params.BitsPerSample
                 : params.SamplesPerPixel == 1                         ? 8
                 : bitmap->HasAlphaChannel()                           ? 32
                                                                       : 24;
  // Rows are taken as they are; other layouts go through a 24-bit copy.
  TIKBitmap* src = bitmap;
  std::unique_ptr<TIKBitmap> copy;
  const TIKPixelFormat pf = bitmap->PixelFormat();
  const bool keepAsIs = pf == ikRGB24 || (pf == ikMono1 && bits == 1) || (pf == ikPalette8 && (bits == 4 || bits == 8));
  if (!keepAsIs) {
    copy = std::make_unique<TIKBitmap>();
    TIKBitmap::ConvertPixelFormatCopy(copy.get(), bitmap);
    if (copy->PixelFormat() != ikRGB24) copy->SetPixelFormat(ikRGB24);
    src = copy.get();
  }
  const int32_t w = src->Width(), h = src->Height();
  const bool os2 = params.BmpVersion == 2;
  const bool rle = !os2 && params.BmpCompression == 1 && (bits == 4 || bits == 8);
  const int64_t start = stream.Position();
  uint8_t fh[14] = {'B', 'M'};
  if (!WriteChecked(stream, fh, 14, progress)) return;
  const uint32_t headerSize = os2 ? 12 : params.BmpVersion == 3 ? 64 : 40;
  std::vector<uint8_t> ih(headerSize, 0);
  Put32(ih.data(), headerSize);
  if (os2) {
    Put16(&ih[4], static_cast<uint32_t>(w));
    Put16(&ih[6], static_cast<uint32_t>(h));
    Put16(&ih[8], 1);
  } else {
    Put32(&ih[4], static_cast<uint32_t>(w));
    Put32(&ih[8], static_cast<uint32_t>(h));
    Put16(&ih[12], 1);
    Put32(&ih[16], rle ? (bits == 4 ? 2 : 1) : 0);
    Put32(&ih[24], static_cast<uint32_t>(DpiToPpm(params.DpiX())));
    Put32(&ih[28], static_cast<uint32_t>(DpiToPpm(params.DpiY())));
    Put32(&ih[32], bits <= 8 ? 1u << bits : 0);
    Put32(&ih[36], 1u << (bits % 32));
  }
  const int64_t headerAt = stream.Position();
  if (!WriteChecked(stream, ih.data(), headerSize, progress)) return;

  auto writeTable = [&](const std::vector<TRGB>& pal) {
    std::vector<uint8_t> t;
    for (const TRGB& c : pal) {
      t.insert(t.end(), {c.b, c.g, c.r});
      if (!os2) t.push_back(0);
    }
    params.SetPalette(pal.data(), static_cast<int32_t>(pal.size()));
    return WriteChecked(stream, t.data(), static_cast<int64_t>(t.size()), progress);
  };
  const int64_t rowSize = RowSize(w, bits);
  std::vector<uint8_t> out(static_cast<size_t>(rowSize));
  std::vector<uint8_t> indices(static_cast<size_t>(w));
  int64_t pixelsAt = 0;
  const double step = h > 0 ? 100.0 / h : 0;

  if (bits == 4 || bits == 8) {
    const int32_t colors = 1 << bits;
    std::vector<TRGB> pal(static_cast<size_t>(colors));
    std::unique_ptr<TIKQuantizer> q;
    if (src->PixelFormat() == ikPalette8) {
      for (int32_t k = 0; k < colors; ++k) pal[static_cast<size_t>(k)] = src->GetPaletteColor(k);
    } else {
      q = std::make_unique<TIKQuantizer>(src, colors, pal.data());
    }
    if (!writeTable(pal)) return;
    pixelsAt = stream.Position();
    for (int32_t n = 0; n < h && !abort; ++n) {
      Report(progress, n, step);
      if (abort) break;
      const auto* s = static_cast<const uint8_t*>(src->ScanLine(h - 1 - n));
      for (int32_t x = 0; x < w; ++x) {
        const int32_t i = q ? q->ColorIndex(reinterpret_cast<const TRGB*>(s)[x]) : s[x];
        indices[static_cast<size_t>(x)] = static_cast<uint8_t>(std::clamp(i, 0, colors - 1));
      }
      if (rle) {
        std::vector<uint8_t> enc;
        EncodeRle(indices.data(), w, bits == 4, enc);
        WriteChecked(stream, enc.data(), static_cast<int64_t>(enc.size()), progress);
        continue;
      }
      std::fill(out.begin(), out.end(), 0);
      for (int32_t x = 0; x < w; ++x) {
        if (bits == 8)
          out[static_cast<size_t>(x)] = indices[static_cast<size_t>(x)];
        else
          out[static_cast<size_t>(x / 2)] |= static_cast<uint8_t>(x % 2 == 0 ? indices[x] << 4 : indices[x]);
      }
      WriteChecked(stream, out.data(), rowSize, progress);
    }
    if (rle && !abort) {
      const uint8_t eob[2] = {0, 1};
      WriteChecked(stream, eob, 2, progress);
    }
  } else if (bits == 1) {
    std::unique_ptr<TIKBitmap> mono;
    TIKBitmap* m = src;
    std::vector<TRGB> pal = {TRGB{0, 0, 0}, TRGB{255, 255, 255}};
    if (src->PixelFormat() != ikMono1) {
      TRGB c1{}, c2{};
      mono = ConvertTwoColorsTo1Bit(src, c1, c2);
      if (mono) {
        pal = {c1, c2};
      } else {
        mono = std::make_unique<TIKBitmap>();
        TIKBitmap::ConvertPixelFormatCopy(mono.get(), src);
        if (mono->PixelFormat() != ikMono1) mono->SetPixelFormat(ikMono1);
      }
      m = mono.get();
    }
    if (!writeTable(pal)) return;
    pixelsAt = stream.Position();
    for (int32_t n = 0; n < h; ++n) {
      Report(progress, n, step);
      if (abort) break;
      std::fill(out.begin(), out.end(), 0);
      std::memcpy(out.data(), m->ScanLine(h - 1 - n), static_cast<size_t>(std::min<int64_t>(rowSize, m->RowLength())));
      WriteChecked(stream, out.data(), rowSize, progress);
    }
  } else {
    pixelsAt = stream.Position();
    const bool alpha = bits == 32 && src->HasAlphaChannel();
    for (int32_t n = 0; n < h; ++n) {
      Report(progress, n, step);
      if (abort) break;
      const int32_t y = h - 1 - n;
      const auto* s = static_cast<const uint8_t*>(src->ScanLine(y));
      std::fill(out.begin(), out.end(), 0);
      if (bits == 24) {
        std::memcpy(out.data(), s, static_cast<size_t>(w) * 3);
      } else {
        for (int32_t x = 0; x < w; ++x) {
          std::memcpy(&out[4 * static_cast<size_t>(x)], s + 3 * x, 3);
          out[4 * static_cast<size_t>(x) + 3] = alpha ? src->GetAlphaPixel(x, y) : 255;
        }
      }
      WriteChecked(stream, out.data(), rowSize, progress);
    }
  }
  if (abort) return;
  const int64_t end = stream.Position();
  Put32(fh + 2, static_cast<uint32_t>(end - start));
  Put32(fh + 10, static_cast<uint32_t>(pixelsAt - start));
  if (os2) {
    Put16(&ih[10], static_cast<uint32_t>(bits));
  } else {
    Put16(&ih[14], static_cast<uint32_t>(bits));
    Put32(&ih[20], static_cast<uint32_t>(end - pixelsAt));
  }
  stream.SetPosition(start);
  WriteChecked(stream, fh, 14, progress);
  stream.SetPosition(headerAt);
  WriteChecked(stream, ih.data(), headerSize, progress);
  stream.SetPosition(end);
}

namespace {

void FilterRead(TIKFilterReadArgs& a) {
  const int32_t length = a.ParamsOnly ? static_cast<int32_t>(std::min<int64_t>(a.Stream->Size(), INT32_MAX)) : 0;
  ReadBmpImage(*a.Stream, a.Bitmap, length, *a.Params, *a.Progress, a.ParamsOnly, false, a.Mask, a.ParamsOnly);
  a.ImageCount = 1;
}

void FilterWrite(TIKFilterWriteArgs& a) { WriteBmpImage(*a.Stream, a.Bitmap, *a.Params, *a.Progress); }

}  // namespace

void InstallBmpFilter() { InstallFormatFilter(ioBMP, FilterRead, FilterWrite); }

}  // namespace imaging
