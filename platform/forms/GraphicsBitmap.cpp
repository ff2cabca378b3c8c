// TBitmap: a DIB section of the chosen depth or a device bitmap, with a
// canvas over a memory DC that holds it.
#include <algorithm>
#include <cstring>

#include "platform/forms/Graphics.h"
#include "platform/forms/GraphicsInternal.h"
#include "platform/win/Bitmap.h"
#include "platform/win/Blit.h"
#include "platform/win/Dc.h"
#include "platform/win/Dib.h"
#include "platform/win/GdiObject.h"
#include "platform/win/ImageFiles.h"
#include "platform/win/PenBrush.h"
#include "platform/win/Shapes.h"

namespace forms {

using namespace win;

// The bitmap's own canvas: a memory DC made when first drawn on, holding
// the bitmap until the bitmap's handle is asked for or replaced.
class TBitmapCanvas : public TCanvas {
public:
  explicit TBitmapCanvas(TBitmap* bitmap) : bitmap_(bitmap) {}
  ~TBitmapCanvas() override { FreeContext(); }

  void FreeContext() {
    if (!HandleAllocated() || !dc_) return;
    HDC dc = dc_;
    dc_ = nullptr;
    SetHandle(nullptr);
    if (old_) SelectObject(dc, old_);
    old_ = nullptr;
    DeleteDC(dc);
  }

protected:
  void CreateHandle() override {
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return;
    if (bitmap_->handle_) old_ = SelectObject(dc, bitmap_->handle_);
    dc_ = dc;
    SetHandle(dc);
  }

private:
  TBitmap* bitmap_;
  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

namespace {

int BitCountOf(TPixelFormat f) {
  switch (f) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf24bit: return 24;
    default: return 32;
  }
}

}  // namespace

std::vector<uint32_t> DefaultColorTable(TPixelFormat format) {
  std::vector<uint32_t> t;
  if (format == pf1bit) return {0x000000, 0xFFFFFF};
  static constexpr uint32_t kVga[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                        0x008080, 0x808080, 0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00,
                                        0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  t.assign(kVga, kVga + 16);
  if (format == pf4bit) return t;
  // Eight bits: the sixteen above, a 6x6x6 colour cube and a grey ramp.
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b) t.push_back(static_cast<uint32_t>((r * 51) << 16 | (g * 51) << 8 | (b * 51)));
  for (int i = 0; t.size() < 256; ++i) {
    const uint32_t v = static_cast<uint32_t>(8 + i * 10);
    t.push_back(v << 16 | v << 8 | v);
  }
  return t;
}

HBITMAP CreateDib(int width, int height, int bitCount, const std::vector<uint32_t>& table, bool bitfields565,
                  void** bits) {
  std::vector<uint8_t> buf(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
  auto* info = reinterpret_cast<BITMAPINFO*>(buf.data());
  info->bmiHeader = BITMAPINFOHEADER{};
  info->bmiHeader.biWidth = width;
  info->bmiHeader.biHeight = height;
  info->bmiHeader.biBitCount = static_cast<WORD>(bitCount);
  auto* colors = reinterpret_cast<RGBQUAD*>(buf.data() + sizeof(BITMAPINFOHEADER));
  if (bitCount <= 8) {
    info->bmiHeader.biClrUsed = static_cast<DWORD>(table.size());
    for (size_t i = 0; i < table.size() && i < 256; ++i) {
      colors[i].rgbRed = static_cast<BYTE>(table[i] >> 16);
      colors[i].rgbGreen = static_cast<BYTE>(table[i] >> 8);
      colors[i].rgbBlue = static_cast<BYTE>(table[i]);
    }
  } else if (bitfields565) {
    info->bmiHeader.biCompression = BI_BITFIELDS;
    const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(colors, masks, sizeof(masks));
  }
  return CreateDIBSection(nullptr, info, DIB_RGB_COLORS, bits, nullptr, 0);
}

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() {
  canvas_.reset();
  if (handle_) DeleteObject(handle_);
}

void TBitmap::FreeContext() {
  if (canvas_) canvas_->FreeContext();
}

void TBitmap::Changed() { TGraphic::Changed(); }

TCanvas* TBitmap::Canvas() {
  if (!canvas_) {
    canvas_ = std::make_unique<TBitmapCanvas>(this);
    canvas_->OnChange = [this](TObject*) { Changed(); };
  }
  return canvas_.get();
}

HBITMAP TBitmap::Handle() {
  FreeContext();
  return handle_;
}

TPixelFormat TBitmap::PixelFormat() const {
  return ddb_ ? pfDevice : format_;
}

bool TBitmap::Monochrome() const {
  if (ddb_) return monoDdb_;
  if (format_ != pf1bit || !handle_) return format_ == pf1bit;
  const auto t = ColorTable();
  return t.size() == 2 && (t[0] & 0xFFFFFF) == 0 && (t[1] & 0xFFFFFF) == 0xFFFFFF;
}

void TBitmap::Rebuild(int width, int height, TPixelFormat format, bool ddb, bool monoDdb, bool keepPixels) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (format == pfDevice) ddb = true;
  if (format == pfCustom) format = pf24bit;
  FreeContext();
  HBITMAP fresh = nullptr;
  void* bits = nullptr;
  if (width > 0 && height > 0) {
    if (ddb) {
      fresh = monoDdb ? CreateBitmap(width, height, 1, 1, nullptr) : CreateBitmap(width, height, 1, 32, nullptr);
    } else {
      const int bc = BitCountOf(format);
      std::vector<uint32_t> table;
      if (bc <= 8) {
        // Keep a colour table the caller set when the depth stays.
        table = (handle_ && !ddb_ && format == format_) ? ColorTable() : DefaultColorTable(format);
      }
      fresh = CreateDib(width, height, bc, table, format == pf16bit, &bits);
    }
    if (!fresh) throw EInvalidGraphicOperation("Out of system resources");
    HDC dst = CreateCompatibleDC(nullptr);
    HGDIOBJ oldDst = SelectObject(dst, fresh);
    // New area takes the canvas brush's colour, as a new sheet should.
    const COLORREF fill = ColorToRGB(canvas_ ? canvas_->Brush()->Color() : clWhite);
    HBRUSH brush = CreateSolidBrush(fill);
    RECT all{0, 0, width, height};
    win::FillRect(dst, &all, brush);
    DeleteObject(brush);
    if (keepPixels && handle_) {
      HDC src = CreateCompatibleDC(nullptr);
      HGDIOBJ oldSrc = SelectObject(src, handle_);
      // A colour picture going monochrome keeps its white as white.
      SetBkColor(src, RGB(255, 255, 255));
      SetTextColor(dst, RGB(0, 0, 0));
      SetBkColor(dst, RGB(255, 255, 255));
      BitBlt(dst, 0, 0, std::min(width, width_), std::min(height, height_), src, 0, 0, SRCCOPY);
      SelectObject(src, oldSrc);
      DeleteDC(src);
    }
    SelectObject(dst, oldDst);
    DeleteDC(dst);
  }
  if (handle_) DeleteObject(handle_);
  handle_ = fresh;
  bits_ = bits;
  // A size with one side zero has no pixels but is kept, so setting Width
  // and then Height builds the picture the caller asked for.
  width_ = width;
  height_ = height;
  format_ = ddb ? pfDevice : format;
  ddb_ = ddb;
  monoDdb_ = ddb && monoDdb;
}

void TBitmap::SetSize(int width, int height) {
  if (width == width_ && height == height_) return;
  Rebuild(width, height, ddb_ ? pfDevice : format_, ddb_, monoDdb_, true);
  Changed();
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == PixelFormat()) return;
  if (format == pfDevice)
    Rebuild(width_, height_, pfDevice, true, false, true);
  else
    Rebuild(width_, height_, format, false, false, true);
  Changed();
}

void TBitmap::SetHandleType(TBitmapHandleType type) {
  if (type == HandleType()) return;
  if (type == bmDDB)
    Rebuild(width_, height_, pfDevice, true, format_ == pf1bit, true);
  else
    Rebuild(width_, height_, monoDdb_ ? pf1bit : pf32bit, false, false, true);
  Changed();
}

void TBitmap::SetMonochrome(bool mono) {
  if (mono == Monochrome()) return;
  if (ddb_)
    Rebuild(width_, height_, pfDevice, true, mono, true);
  else
    Rebuild(width_, height_, mono ? pf1bit : pf24bit, false, false, true);
  Changed();
}

void TBitmap::ToDib32IfDdb() {
  if (ddb_) Rebuild(width_, height_, monoDdb_ ? pf1bit : pf32bit, false, false, true);
}

void* TBitmap::ScanLine(int row) {
  if (row < 0 || row >= height_ || !handle_) throw EInvalidGraphicOperation("Scan line index out of range");
  ToDib32IfDdb();
  // Drawing through the canvas reaches the bits at the end of each call,
  // so the rows are current.
  GdiFlush();
  const size_t stride = DibStride(width_, BitCountOf(format_));
  return static_cast<uint8_t*>(bits_) + static_cast<size_t>(height_ - 1 - row) * stride;
}

std::vector<uint32_t> TBitmap::ColorTable() const {
  std::vector<uint32_t> out;
  if (!handle_ || ddb_ || BitCountOf(format_) > 8) return out;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = nullptr;
  // The bitmap may be held by our canvas's DC; ask through that one then.
  HDC use = dc;
  if (canvas_ && canvas_->HandleAllocated()) use = canvas_->Handle();
  else old = SelectObject(dc, handle_);
  RGBQUAD q[256];
  const UINT n = GetDIBColorTable(use, 0, 256, q);
  for (UINT i = 0; i < n; ++i)
    out.push_back(static_cast<uint32_t>(q[i].rgbRed) << 16 | static_cast<uint32_t>(q[i].rgbGreen) << 8 |
                  q[i].rgbBlue);
  if (old) SelectObject(dc, old);
  DeleteDC(dc);
  return out;
}

void TBitmap::SetColorTable(const std::vector<uint32_t>& rgbEntries) {
  if (!handle_ || ddb_ || BitCountOf(format_) > 8) return;
  FreeContext();
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, handle_);
  RGBQUAD q[256];
  const UINT n = static_cast<UINT>(std::min<size_t>(rgbEntries.size(), 256));
  for (UINT i = 0; i < n; ++i) {
    q[i].rgbRed = static_cast<BYTE>(rgbEntries[i] >> 16);
    q[i].rgbGreen = static_cast<BYTE>(rgbEntries[i] >> 8);
    q[i].rgbBlue = static_cast<BYTE>(rgbEntries[i]);
  }
  SetDIBColorTable(dc, 0, n, q);
  SelectObject(dc, old);
  DeleteDC(dc);
  Changed();
}

void TBitmap::SetTransparentMode(TTransparentMode mode) {
  if (mode == transparentMode_) return;
  if (mode == tmAuto)
    SetTransparentColor(clDefault);
  else
    SetTransparentColor(TransparentColor());
}

TColor TBitmap::TransparentColor() {
  if (transparentColor_ == clDefault) {
    if (Monochrome()) return clWhite;
    if (Empty()) return clDefault;
    return Canvas()->Pixels(0, height_ - 1);
  }
  return static_cast<TColor>(ColorToRGB(transparentColor_));
}

void TBitmap::SetTransparentColor(TColor color) {
  if (color == transparentColor_) return;
  transparentColor_ = color;
  transparentMode_ = color == clDefault ? tmAuto : tmFixed;
  Changed();
}

void TBitmap::SetHandle(HBITMAP bitmap) {
  if (bitmap == handle_) return;
  FreeContext();
  if (handle_) DeleteObject(handle_);
  handle_ = nullptr;
  bits_ = nullptr;
  width_ = height_ = 0;
  ddb_ = true;
  monoDdb_ = false;
  format_ = pfDevice;
  DIBSECTION ds;
  if (bitmap && GetObjectA(bitmap, sizeof(ds), &ds) != 0) {
    handle_ = bitmap;
    width_ = ds.dsBm.bmWidth;
    height_ = ds.dsBm.bmHeight;
    if (ds.dsBm.bmBits) {
      ddb_ = false;
      bits_ = ds.dsBm.bmBits;
      switch (ds.dsBm.bmBitsPixel) {
        case 1: format_ = pf1bit; break;
        case 4: format_ = pf4bit; break;
        case 8: format_ = pf8bit; break;
        case 16: format_ = ds.dsBmih.biCompression == BI_BITFIELDS && ds.dsBitfields[1] == 0x07E0 ? pf16bit : pf15bit;
          break;
        case 24: format_ = pf24bit; break;
        default: format_ = pf32bit; break;
      }
      // Rows are addressed bottom-up; a top-down section is copied into
      // that layout.
      if (ds.dsBmih.biHeight < 0) Rebuild(width_, height_, format_, false, false, true);
    } else {
      monoDdb_ = ds.dsBm.bmBitsPixel == 1;
    }
  }
  Changed();
}

HBITMAP TBitmap::ReleaseHandle() {
  FreeContext();
  HBITMAP h = handle_;
  handle_ = nullptr;
  bits_ = nullptr;
  width_ = height_ = 0;
  Changed();
  return h;
}

HBITMAP TBitmap::CopyAs32() const {
  void* bits = nullptr;
  HBITMAP copy = CreateDib(width_, height_, 32, {}, false, &bits);
  if (!copy || !handle_) return copy;
  HDC dst = CreateCompatibleDC(nullptr);
  HGDIOBJ oldDst = SelectObject(dst, copy);
  HDC src = nullptr;
  HGDIOBJ oldSrc = nullptr;
  if (canvas_ && canvas_->HandleAllocated()) {
    src = canvas_->Handle();
  } else {
    src = CreateCompatibleDC(nullptr);
    oldSrc = SelectObject(src, handle_);
  }
  SetTextColor(dst, RGB(0, 0, 0));
  SetBkColor(dst, RGB(255, 255, 255));
  BitBlt(dst, 0, 0, width_, height_, src, 0, 0, SRCCOPY);
  if (oldSrc) {
    SelectObject(src, oldSrc);
    DeleteDC(src);
  }
  SelectObject(dst, oldDst);
  DeleteDC(dst);
  return copy;
}

void TBitmap::Draw(TCanvas* canvas, const TRect& r) {
  if (Empty()) return;
  canvas->RequiredState({csHandleValid, csFontValid, csPenValid, csBrushValid});
  HDC dest = canvas->Handle();
  HDC src = Canvas()->Handle();
  const bool mono = Monochrome();
  const int oldMode = SetStretchBltMode(dest, mono ? BLACKONWHITE : COLORONCOLOR);
  if (Transparent()) {
    const COLORREF key = ColorToRGB(TransparentColor());
    if (mono) {
      // Through a colour copy so the key compares with the colours drawn.
      TBitmap colour;
      colour.SetPixelFormat(pf32bit);
      colour.SetSize(width_, height_);
      HDC c = colour.Canvas()->Handle();
      SetTextColor(c, GetTextColor(dest));
      SetBkColor(c, GetBkColor(dest));
      BitBlt(c, 0, 0, width_, height_, src, 0, 0, SRCCOPY);
      const COLORREF mapped = key == RGB(255, 255, 255) ? GetBkColor(dest) : GetTextColor(dest);
      TransparentBlt(dest, r.left, r.top, r.Width(), r.Height(), c, 0, 0, width_, height_, mapped);
    } else {
      TransparentBlt(dest, r.left, r.top, r.Width(), r.Height(), src, 0, 0, width_, height_, key);
    }
  } else {
    StretchBlt(dest, r.left, r.top, r.Width(), r.Height(), src, 0, 0, width_, height_,
               static_cast<DWORD>(canvas->CopyMode()));
  }
  SetStretchBltMode(dest, oldMode);
}

void TBitmap::Assign(TPersistent* source) {
  if (!source) {
    Rebuild(0, 0, format_, ddb_, monoDdb_, false);
    Changed();
    return;
  }
  if (auto* b = dynamic_cast<TBitmap*>(source)) {
    if (b == this) return;
    b->FreeContext();
    Rebuild(0, 0, b->format_, b->ddb_, b->monoDdb_, false);
    if (!b->Empty()) {
      // Copy the source's own depth and colour table, then its pixels.
      const bool ddb = b->ddb_;
      Rebuild(b->width_, b->height_, b->format_, ddb, b->monoDdb_, false);
      if (!ddb && BitCountOf(format_) <= 8) SetColorTable(b->ColorTable());
      if (!ddb && b->bits_) {
        std::memcpy(bits_, b->bits_, DibStride(width_, BitCountOf(format_)) * static_cast<size_t>(height_));
      } else {
        HDC dst = CreateCompatibleDC(nullptr), src = CreateCompatibleDC(nullptr);
        HGDIOBJ od = SelectObject(dst, handle_), os = SelectObject(src, b->handle_);
        BitBlt(dst, 0, 0, width_, height_, src, 0, 0, SRCCOPY);
        SelectObject(dst, od);
        SelectObject(src, os);
        DeleteDC(dst);
        DeleteDC(src);
      }
    }
    SetTransparent(b->Transparent());
    transparentColor_ = b->transparentColor_;
    transparentMode_ = b->transparentMode_;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

// ---- BMP streams ----

void TBitmap::LoadFromStream(rtl::TStream* stream) {
  const int64_t start = stream->Position();
  std::vector<uint8_t> data(static_cast<size_t>(std::max<int64_t>(stream->Size() - start, 0)));
  if (!data.empty()) data.resize(static_cast<size_t>(stream->Read(data.data(), static_cast<int64_t>(data.size()))));
  // A bitmap stored inside a larger stream ends where its header says, and
  // the stream is left there for whatever follows.
  if (data.size() >= sizeof(BITMAPFILEHEADER)) {
    BITMAPFILEHEADER fh;
    std::memcpy(&fh, data.data(), sizeof(fh));
    if (fh.bfType == 0x4D42 && fh.bfSize > sizeof(fh) && fh.bfSize < data.size()) {
      data.resize(fh.bfSize);
      stream->SetPosition(start + fh.bfSize);
    }
  }
  BmpFile file;
  DibFormat f;
  if (!ParseBmp(data.data(), data.size(), &file) || !f.Parse(file.info.data(), file.info.size()))
    throw EInvalidGraphic("Bitmap image is not valid");
  TPixelFormat pf = pfCustom;
  const bool rle = f.compression == BI_RLE4 || f.compression == BI_RLE8;
  switch (f.bitCount) {
    case 1: pf = pf1bit; break;
    case 4: pf = pf4bit; break;
    case 8: pf = pf8bit; break;
    case 16:
      if (f.redMask == 0x7C00 && f.greenMask == 0x03E0 && f.blueMask == 0x001F) pf = pf15bit;
      else if (f.redMask == 0xF800 && f.greenMask == 0x07E0 && f.blueMask == 0x001F) pf = pf16bit;
      break;
    case 24: pf = pf24bit; break;
    case 32:
      if (f.redMask == 0xFF0000 && f.greenMask == 0xFF00 && f.blueMask == 0xFF) pf = pf32bit;
      break;
  }
  const uint8_t* rows = file.bits.data();
  std::vector<uint8_t> expanded;
  if (rle && DecodeRle(f, file.bits.data(), file.bits.size(), &expanded)) rows = expanded.data();
  const bool direct = pf != pfCustom && (rle ? !expanded.empty() : file.bits.size() >= f.ImageSize());
  // Drop the old picture first so its colour table is not carried over.
  Rebuild(0, 0, format_, ddb_, monoDdb_, false);
  if (direct) {
    Rebuild(f.width, f.height, pf, false, false, false);
    if (f.bitCount <= 8) {
      std::vector<uint32_t> table = f.palette;
      table.resize(size_t{1} << f.bitCount, 0);
      SetColorTable(table);
    }
    const bool bottomUp = rle || !f.topDown;
    for (int y = 0; y < height_; ++y) {
      const int memRow = bottomUp ? height_ - 1 - y : y;
      std::memcpy(ScanLine(y), rows + static_cast<size_t>(memRow) * f.stride, f.stride);
    }
  } else {
    // Layouts a DIB section of ours cannot hold as they are: decode them
    // into 32 bits.
    std::unique_ptr<Surface> s = LoadBmpFromMemory(data.data(), data.size());
    if (!s) throw EInvalidGraphic("Bitmap image is not valid");
    Rebuild(s->Width(), s->Height(), pf32bit, false, false, false);
    for (int y = 0; y < height_; ++y) std::memcpy(ScanLine(y), s->Row(y), static_cast<size_t>(width_) * 4);
  }
  Changed();
}

void TBitmap::SaveToStream(rtl::TStream* stream) {
  FreeContext();
  int bitCount = 24;
  std::vector<uint32_t> table;
  std::vector<uint8_t> pixels;
  DWORD compression = BI_RGB;
  if (!Empty()) {
    if (ddb_) {
      // Device bitmaps go out as 24-bit (or 1-bit) rows read back through
      // GetDIBits.
      bitCount = monoDdb_ ? 1 : 24;
      if (monoDdb_) table = {0x000000, 0xFFFFFF};
      std::vector<uint8_t> buf(sizeof(BITMAPINFOHEADER) + 2 * sizeof(RGBQUAD));
      auto* info = reinterpret_cast<BITMAPINFO*>(buf.data());
      info->bmiHeader = BITMAPINFOHEADER{};
      info->bmiHeader.biWidth = width_;
      info->bmiHeader.biHeight = height_;
      info->bmiHeader.biBitCount = static_cast<WORD>(bitCount);
      pixels.resize(DibStride(width_, bitCount) * static_cast<size_t>(height_));
      HDC dc = CreateCompatibleDC(nullptr);
      GetDIBits(dc, handle_, 0, static_cast<UINT>(height_), pixels.data(), info, DIB_RGB_COLORS);
      DeleteDC(dc);
    } else {
      bitCount = BitCountOf(format_);
      if (bitCount <= 8) table = ColorTable();
      if (format_ == pf16bit) compression = BI_BITFIELDS;
      const size_t size = DibStride(width_, bitCount) * static_cast<size_t>(height_);
      GdiFlush();
      pixels.assign(static_cast<const uint8_t*>(bits_), static_cast<const uint8_t*>(bits_) + size);
    }
  }
  BITMAPINFOHEADER h;
  h.biWidth = width_;
  h.biHeight = height_;
  h.biBitCount = static_cast<WORD>(bitCount);
  h.biCompression = compression;
  h.biSizeImage = static_cast<DWORD>(pixels.size());
  h.biClrUsed = static_cast<DWORD>(table.size());
  const size_t extra = compression == BI_BITFIELDS ? 12 : table.size() * 4;
  BITMAPFILEHEADER fh;
  fh.bfOffBits = static_cast<DWORD>(sizeof(fh) + sizeof(h) + extra);
  fh.bfSize = static_cast<DWORD>(fh.bfOffBits + pixels.size());
  stream->WriteBuffer(&fh, sizeof(fh));
  stream->WriteBuffer(&h, sizeof(h));
  if (compression == BI_BITFIELDS) {
    const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    stream->WriteBuffer(masks, sizeof(masks));
  }
  for (uint32_t c : table) {
    const RGBQUAD q{static_cast<BYTE>(c), static_cast<BYTE>(c >> 8), static_cast<BYTE>(c >> 16), 0};
    stream->WriteBuffer(&q, sizeof(q));
  }
  if (!pixels.empty()) stream->WriteBuffer(pixels.data(), static_cast<int64_t>(pixels.size()));
}

}  // namespace forms
