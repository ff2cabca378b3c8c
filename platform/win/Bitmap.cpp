#include "platform/win/Bitmap.h"

#include <algorithm>
#include <cstring>

#include "platform/win/Dc.h"
#include "platform/win/GdiInternal.h"
#include "platform/win/PenBrush.h"

namespace win {

namespace gdi {

void Bitmap::PullBits() {
  if (!NeedsSync()) return;
  for (int32_t y = 0; y < format.height; ++y)
    DibRowTo32(format, bits.get() + format.stride * static_cast<size_t>(format.MemoryRow(y)), surface->Row(y),
               format.width);
}

void Bitmap::PushBits() {
  if (!NeedsSync()) return;
  SurfaceToDib(*surface, format, bits.get());
}

void Bitmap::BeginSync() {
  if (!NeedsSync()) return;
  // The row states stay allocated and all stale between scopes, so a scope
  // costs only the rows it touches: a GetPixel loop over a skin picture
  // opens one scope per pixel.
  if (syncDepth_++ == 0 && rowState_.size() != static_cast<size_t>(format.height))
    rowState_.assign(static_cast<size_t>(format.height), 0);
}

void Bitmap::EnsureRow(int32_t y) {
  if (!NeedsSync() || syncDepth_ == 0 || y < 0 || y >= format.height) return;
  uint8_t& state = rowState_[static_cast<size_t>(y)];
  if (state) return;
  DibRowTo32(format, bits.get() + format.stride * static_cast<size_t>(format.MemoryRow(y)), surface->Row(y), format.width);
  state = 1;
  touchedRows_.push_back(y);
}

void Bitmap::EnsureRows(int32_t top, int32_t bottom) {
  for (int32_t y = std::max(top, 0); y < std::min(bottom, format.height); ++y) EnsureRow(y);
}

bool Bitmap::ReadBitsPixel(int32_t x, int32_t y, uint32_t* pixel) const {
  if (!NeedsSync() || syncDepth_ == 0 || x < 0 || y < 0 || x >= format.width || y >= format.height) return false;
  if (rowState_[static_cast<size_t>(y)] != 0) return false;
  // One pixel straight from the bits; packed formats start at the byte
  // that holds it.
  const uint8_t* row = bits.get() + format.stride * static_cast<size_t>(format.MemoryRow(y));
  uint32_t out[8];
  switch (format.bitCount) {
    case 1: DibRowTo32(format, row + (x >> 3), out, 8); *pixel = out[x & 7]; return true;
    case 4: DibRowTo32(format, row + (x >> 1), out, 2); *pixel = out[x & 1]; return true;
    default:
      DibRowTo32(format, row + static_cast<size_t>(x) * static_cast<size_t>(format.bitCount / 8), out, 1);
      *pixel = out[0];
      return true;
  }
}

void Bitmap::MarkDirty(int32_t y) {
  if (!NeedsSync() || syncDepth_ == 0 || y < 0 || y >= format.height) return;
  uint8_t& state = rowState_[static_cast<size_t>(y)];
  if (state == 0) touchedRows_.push_back(y);
  state = 2;
}

void Bitmap::EndSync() {
  if (!NeedsSync() || syncDepth_ == 0 || --syncDepth_ > 0) return;
  for (const int32_t y : touchedRows_) {
    uint8_t& state = rowState_[static_cast<size_t>(y)];
    if (state == 2)
      DibRowFrom32(format, surface->Row(y), bits.get() + format.stride * static_cast<size_t>(format.MemoryRow(y)),
                   format.width);
    state = 0;
  }
  touchedRows_.clear();
}

std::shared_ptr<Bitmap> NewDeviceBitmap(int32_t width, int32_t height, bool mono) {
  auto b = std::make_shared<Bitmap>();
  b->surface = std::make_shared<Surface>(width, height);
  b->bitCount = mono ? 1 : 32;
  return b;
}

}  // namespace gdi

using namespace gdi;

namespace {

HBITMAP Register(std::shared_ptr<Bitmap> b) { return static_cast<HBITMAP>(AddGdiObject(std::move(b))); }

size_t MonoStride(int32_t width) { return ((static_cast<size_t>(width) + 15) / 16) * 2; }

// The DC's selected bitmap when it is the one asked about, so its bits are
// current for DIB sections in use.
std::shared_ptr<Bitmap> FindBitmap(HBITMAP h) { return FindGdiObject<Bitmap>(h); }

}  // namespace

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitCount, const void* bits) {
  if (width < 0 || height < 0 || planes != 1 || bitCount > 32) return nullptr;
  if (width == 0 || height == 0) return static_cast<HBITMAP>(GetStockObject(VORIX_DEFAULT_BITMAP));
  const bool mono = bitCount <= 1;
  auto b = NewDeviceBitmap(width, height, mono);
  if (bits) {
    const auto* src = static_cast<const uint8_t*>(bits);
    if (mono) {
      const size_t stride = MonoStride(width);
      for (int32_t y = 0; y < height; ++y) {
        uint32_t* row = b->surface->Row(y);
        const uint8_t* s = src + stride * static_cast<size_t>(y);
        for (int32_t x = 0; x < width; ++x) row[x] = ((s[x >> 3] >> (7 - (x & 7))) & 1) ? 0xFFFFFFu : 0u;
      }
    } else if (bitCount == 32) {
      for (int32_t y = 0; y < height; ++y)
        std::memcpy(b->surface->Row(y), src + static_cast<size_t>(width) * 4 * static_cast<size_t>(y),
                    static_cast<size_t>(width) * 4);
    } else if (bitCount == 24 || bitCount == 16) {
      DibFormat f;
      f.width = width;
      f.height = height;
      f.topDown = true;
      f.bitCount = static_cast<int>(bitCount);
      if (bitCount == 16) f.redMask = 0xF800, f.greenMask = 0x07E0, f.blueMask = 0x001F;
      const size_t stride = ((static_cast<size_t>(width) * bitCount + 15) / 16) * 2;
      for (int32_t y = 0; y < height; ++y) DibRowTo32(f, src + stride * static_cast<size_t>(y), b->surface->Row(y), width);
    }
  }
  return Register(std::move(b));
}

HBITMAP CreateBitmapIndirect(const BITMAP* bm) {
  if (!bm) return nullptr;
  return CreateBitmap(bm->bmWidth, bm->bmHeight, bm->bmPlanes, bm->bmBitsPixel, bm->bmBits);
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height) {
  auto dc = FindDC(hdc);
  if (!dc || width < 0 || height < 0) return nullptr;
  if (width == 0 || height == 0) return static_cast<HBITMAP>(GetStockObject(VORIX_DEFAULT_BITMAP));
  return Register(NewDeviceBitmap(width, height, dc->Monochrome()));
}

HBITMAP CreateDiscardableBitmap(HDC hdc, int width, int height) { return CreateCompatibleBitmap(hdc, width, height); }

HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE, DWORD) {
  if (bits) *bits = nullptr;
  if (hdc && !FindDC(hdc)) return nullptr;
  DibFormat f;
  if (!info || !f.Parse(info, 40 + 256 * 4 + 12, usage)) return nullptr;
  if (f.compression != BI_RGB && f.compression != BI_BITFIELDS) return nullptr;
  auto b = std::make_shared<Bitmap>();
  b->dib = true;
  b->bitCount = f.bitCount;
  b->format = f;
  const size_t size = f.ImageSize();
  b->bits = std::make_unique<uint8_t[]>(size);  // value-initialised: zero
  std::memset(b->bits.get(), 0, size);
  if (f.bitCount == 32) {
    uint8_t* first = f.topDown ? b->bits.get() : b->bits.get() + f.stride * static_cast<size_t>(f.height - 1);
    const ptrdiff_t stride = f.topDown ? static_cast<ptrdiff_t>(f.stride) : -static_cast<ptrdiff_t>(f.stride);
    b->surface = std::make_shared<Surface>(f.width, f.height, first, stride);
  } else {
    b->surface = std::make_shared<Surface>(f.width, f.height);
    b->PullBits();
  }
  if (bits) *bits = b->bits.get();
  return Register(std::move(b));
}

HBITMAP CreateDIBitmap(HDC hdc, const BITMAPINFOHEADER* header, DWORD init, const void* bits, const BITMAPINFO* info,
                       UINT usage) {
  if (!header) return nullptr;
  const int32_t width = header->biWidth;
  const int32_t height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
  HBITMAP h = CreateCompatibleBitmap(hdc, width, height);
  if (h && (init & CBM_INIT) && bits && info) SetDIBits(hdc, h, 0, static_cast<UINT>(height), bits, info, usage);
  return h;
}

namespace {

// The rows [first, first + count) in picture order (0 = top) that DIB
// scan lines [start, start + lines) map to.
bool ScanRange(const DibFormat& f, int32_t bitmapHeight, UINT start, UINT lines, int32_t* first, int32_t* count) {
  const int32_t h = std::min(f.height, bitmapHeight);
  if (start >= static_cast<UINT>(h)) return false;
  const int32_t n = static_cast<int32_t>(std::min<UINT>(lines, static_cast<UINT>(h) - start));
  // Bottom-up scan 0 is the bottom row; top-down scan 0 the top row.
  *first = f.topDown ? static_cast<int32_t>(start) : h - static_cast<int32_t>(start) - n;
  *count = n;
  return n > 0;
}

}  // namespace

int GetDIBits(HDC hdc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT usage) {
  auto b = FindBitmap(bitmap);
  if (!FindDC(hdc) || !b || !info) return 0;
  b->PullBits();
  BITMAPINFOHEADER& h = info->bmiHeader;
  if (!bits && h.biBitCount == 0) {
    const int bpp = b->dib ? b->bitCount : (b->Monochrome() ? 1 : 32);
    h.biWidth = b->Width();
    h.biHeight = b->dib && b->format.topDown ? -b->Height() : b->Height();
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(bpp);
    h.biCompression = BI_RGB;
    h.biSizeImage = static_cast<DWORD>(DibStride(b->Width(), bpp) * static_cast<size_t>(b->Height()));
    return 1;
  }
  // Depths up to 8 get a colour table: the bitmap's own when it has one,
  // else black/white for monochrome or a uniform grey ramp.
  const bool wantsTable = h.biBitCount <= 8;
  if (wantsTable) {
    const int entries = 1 << h.biBitCount;
    std::vector<uint32_t> table;
    if (b->dib && b->bitCount == h.biBitCount && !b->format.palette.empty()) {
      table = b->format.palette;
    } else if (h.biBitCount == 1) {
      table = b->Monochrome() ? std::vector<uint32_t>{0, 0xFFFFFF} : std::vector<uint32_t>{0, 0xFFFFFF};
    } else {
      for (int i = 0; i < entries; ++i) {
        const uint32_t v = static_cast<uint32_t>(i * 255 / (entries - 1));
        table.push_back((v << 16) | (v << 8) | v);
      }
    }
    table.resize(static_cast<size_t>(entries), 0);
    for (int i = 0; i < entries; ++i)
      info->bmiColors[i] = {static_cast<BYTE>(table[static_cast<size_t>(i)]), static_cast<BYTE>(table[static_cast<size_t>(i)] >> 8),
                            static_cast<BYTE>(table[static_cast<size_t>(i)] >> 16), 0};
  }
  DibFormat f;
  if (!f.Parse(info, 40 + 256 * 4 + 12, usage)) return 0;
  if (f.compression != BI_RGB && f.compression != BI_BITFIELDS) return 0;
  if (f.bitCount == 16 && f.compression == BI_BITFIELDS) {
    // Callers may ask for 5-6-5 without filling the masks in.
    if (!f.redMask && !f.greenMask && !f.blueMask) f.redMask = 0x7C00, f.greenMask = 0x03E0, f.blueMask = 0x1F;
  }
  int32_t first = 0, count = 0;
  if (!ScanRange(f, b->Height(), start, lines, &first, &count)) return 0;
  if (!bits) return count;
  const int32_t w = std::min(f.width, b->Width());
  auto* out = static_cast<uint8_t*>(bits);
  std::vector<uint32_t> row(static_cast<size_t>(f.width), 0);
  for (int32_t i = 0; i < count; ++i) {
    const int32_t y = first + i;  // picture row
    std::memcpy(row.data(), b->surface->Row(y), static_cast<size_t>(w) * 4);
    // Scan line index relative to `start` in memory order.
    const int32_t scan = f.topDown ? y - static_cast<int32_t>(start) : (f.height - 1 - y) - static_cast<int32_t>(start);
    DibRowFrom32(f, row.data(), out + f.stride * static_cast<size_t>(scan), f.width);
  }
  return count;
}

int SetDIBits(HDC, HBITMAP bitmap, UINT start, UINT lines, const void* bits, const BITMAPINFO* info, UINT usage) {
  auto b = FindBitmap(bitmap);
  if (!b || !bits || !info) return 0;
  DibFormat f;
  if (!f.Parse(info, 40 + 256 * 4 + 12, usage)) return 0;
  Surface decoded;
  const auto* in = static_cast<const uint8_t*>(bits);
  if (f.compression == BI_RLE4 || f.compression == BI_RLE8) {
    if (!DibToSurface(f, in, info->bmiHeader.biSizeImage ? info->bmiHeader.biSizeImage : f.ImageSize() * 2, &decoded))
      return 0;
  }
  int32_t first = 0, count = 0;
  if (!ScanRange(f, b->Height(), start, lines, &first, &count)) return 0;
  b->PullBits();
  const int32_t w = std::min(f.width, b->Width());
  std::vector<uint32_t> row(static_cast<size_t>(f.width));
  for (int32_t i = 0; i < count; ++i) {
    const int32_t y = first + i;
    if (!decoded.Empty()) {
      std::memcpy(row.data(), decoded.Row(y), static_cast<size_t>(f.width) * 4);
    } else {
      const int32_t scan = f.topDown ? y - static_cast<int32_t>(start) : (f.height - 1 - y) - static_cast<int32_t>(start);
      DibRowTo32(f, in + f.stride * static_cast<size_t>(scan), row.data(), f.width);
    }
    uint32_t* dst = b->surface->Row(y);
    if (b->Monochrome()) {
      for (int32_t x = 0; x < w; ++x) dst[x] = ToMono(row[static_cast<size_t>(x)]);
    } else {
      std::memcpy(dst, row.data(), static_cast<size_t>(w) * 4);
    }
  }
  b->PushBits();
  return count;
}

LONG GetBitmapBits(HBITMAP bitmap, LONG count, void* bits) {
  auto b = FindBitmap(bitmap);
  if (!b || count < 0) return 0;
  b->PullBits();
  const bool mono = b->Monochrome();
  const size_t stride = mono ? MonoStride(b->Width()) : static_cast<size_t>(b->Width()) * 4;
  const size_t total = stride * static_cast<size_t>(b->Height());
  if (!bits) return static_cast<LONG>(total);
  const size_t n = std::min(total, static_cast<size_t>(count));
  auto* out = static_cast<uint8_t*>(bits);
  std::memset(out, 0, n);
  for (int32_t y = 0; y < b->Height() && stride * static_cast<size_t>(y) < n; ++y) {
    uint8_t* o = out + stride * static_cast<size_t>(y);
    const size_t room = std::min(stride, n - stride * static_cast<size_t>(y));
    if (mono) {
      for (int32_t x = 0; x < b->Width() && static_cast<size_t>(x >> 3) < room; ++x)
        if (b->surface->Row(y)[x] & 0xFFFFFF) o[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
    } else {
      std::memcpy(o, b->surface->Row(y), room);
    }
  }
  return static_cast<LONG>(n);
}

LONG SetBitmapBits(HBITMAP bitmap, DWORD count, const void* bits) {
  auto b = FindBitmap(bitmap);
  if (!b || !bits) return 0;
  const bool mono = b->Monochrome();
  const size_t stride = mono ? MonoStride(b->Width()) : static_cast<size_t>(b->Width()) * 4;
  const auto* in = static_cast<const uint8_t*>(bits);
  size_t used = 0;
  b->PullBits();
  for (int32_t y = 0; y < b->Height() && used + stride <= count; ++y, used += stride) {
    uint32_t* row = b->surface->Row(y);
    if (mono) {
      for (int32_t x = 0; x < b->Width(); ++x) row[x] = ((in[used + (x >> 3)] >> (7 - (x & 7))) & 1) ? 0xFFFFFFu : 0u;
    } else {
      std::memcpy(row, in + used, stride);
    }
  }
  b->PushBits();
  return static_cast<LONG>(used);
}

BOOL GetBitmapDimensionEx(HBITMAP bitmap, SIZE* size) {
  if (!FindBitmap(bitmap)) return FALSE;
  if (size) *size = {0, 0};
  return TRUE;
}

UINT GetDIBColorTable(HDC hdc, UINT start, UINT count, RGBQUAD* colors) {
  auto dc = FindDC(hdc);
  if (!dc || !dc->s.bitmap || !dc->s.bitmap->dib) return 0;
  const auto& pal = dc->s.bitmap->format.palette;
  UINT n = 0;
  for (UINT i = start; i < pal.size() && n < count; ++i, ++n)
    colors[n] = {static_cast<BYTE>(pal[i]), static_cast<BYTE>(pal[i] >> 8), static_cast<BYTE>(pal[i] >> 16), 0};
  return n;
}

UINT SetDIBColorTable(HDC hdc, UINT start, UINT count, const RGBQUAD* colors) {
  auto dc = FindDC(hdc);
  if (!dc || !dc->s.bitmap || !dc->s.bitmap->dib) return 0;
  auto& pal = dc->s.bitmap->format.palette;
  UINT n = 0;
  for (UINT i = start; i < pal.size() && n < count; ++i, ++n)
    pal[i] = (static_cast<uint32_t>(colors[n].rgbRed) << 16) | (colors[n].rgbGreen << 8) | colors[n].rgbBlue;
  dc->s.bitmap->PullBits();
  return n;
}

}  // namespace win
