#include "platform/win/GdiPlus.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/rtl/Text.h"
#include "platform/win/Bitmap.h"
#include "platform/win/Dc.h"
#include "platform/win/Font.h"
#include "platform/win/FontInternal.h"
#include "platform/win/GdiInternal.h"
#include "platform/win/ImageFiles.h"
#include "platform/win/PenBrush.h"

namespace win::Gdiplus {

using namespace win::gdi;

namespace {

uint32_t Premultiply(uint32_t argb) {
  const uint32_t a = argb >> 24;
  if (a == 255) return argb;
  auto ch = [&](int s) { return ((((argb >> s) & 0xFF) * a + 127) / 255) << s; };
  return (a << 24) | ch(16) | ch(8) | ch(0);
}

// Source over, both premultiplied.
uint32_t Over(uint32_t s, uint32_t d) {
  const uint32_t keep = 255 - (s >> 24);
  if (keep == 0) return s;
  uint32_t out = 0;
  for (int c = 0; c < 32; c += 8) {
    const uint32_t v = ((s >> c) & 0xFF) + (((d >> c) & 0xFF) * keep + 127) / 255;
    out |= std::min<uint32_t>(v, 255) << c;
  }
  return out;
}

// Scales a premultiplied pixel by coverage 0..255.
uint32_t Scale(uint32_t p, uint32_t cover) {
  uint32_t out = 0;
  for (int c = 0; c < 32; c += 8) out |= ((((p >> c) & 0xFF) * cover + 127) / 255) << c;
  return out;
}

template <class F>
Status Paint(HDC hdc, const RECT& logical, F pixel) {
  auto dc = FindDC(hdc);
  if (!dc) return InvalidParameter;
  DrawScope scope(*dc, true);
  Raster raster(scope);
  const RECT d = dc->ToDevice(logical);
  for (int y = d.top; y < d.bottom; ++y)
    raster.ForEachSpan(y, d.left, d.right, [&](uint32_t* row, int n, int x, int dy) {
      for (int i = 0; i < n; ++i) row[i] = pixel(x + i - dc->DX(), dy - dc->DY(), row[i]);
    });
  return Ok;
}

}  // namespace

Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, void*) {
  if (!token || !input) return InvalidParameter;
  *token = 1;
  return Ok;
}

void GdiplusShutdown(ULONG_PTR) {}

// ---- Image ----

Image::Image(const WCHAR* fileName, BOOL)
    : Image(rtl::WideToUtf8(fileName ? std::u16string(fileName) : std::u16string())) {}

Image::Image(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) {
    status_ = FileNotFound;
    return;
  }
  const std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Load(data.data(), data.size());
}

Image::Image(const uint8_t* data, size_t size) { Load(data, size); }
Image::~Image() = default;

void Image::Load(const uint8_t* data, size_t size) {
  if (IsPngData(data, size)) {
    pixels_ = LoadPngFromMemory(data, size);
  } else if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
    pixels_ = LoadBmpFromMemory(data, size);
    // BMPs without an alpha channel are opaque pictures.
    if (pixels_) {
      bool anyAlpha = false;
      for (int y = 0; y < pixels_->Height() && !anyAlpha; ++y)
        for (int x = 0; x < pixels_->Width(); ++x) anyAlpha |= (pixels_->Row(y)[x] >> 24) != 0;
      if (!anyAlpha)
        for (int y = 0; y < pixels_->Height(); ++y)
          for (int x = 0; x < pixels_->Width(); ++x) pixels_->Row(y)[x] |= 0xFF000000u;
    }
  } else {
    status_ = UnknownImageFormat;
    return;
  }
  if (!pixels_) {
    status_ = UnknownImageFormat;
    return;
  }
  for (int y = 0; y < pixels_->Height(); ++y)
    for (int x = 0; x < pixels_->Width(); ++x) pixels_->Row(y)[x] = Premultiply(pixels_->Row(y)[x]);
}

UINT Image::GetWidth() const { return pixels_ ? static_cast<UINT>(pixels_->Width()) : 0; }
UINT Image::GetHeight() const { return pixels_ ? static_cast<UINT>(pixels_->Height()) : 0; }

// ---- Font ----

Font::Font(HDC hdc, HFONT font) {
  if (!FindDC(hdc)) return;
  LOGFONTW lf;
  if (font && GetObjectW(font, sizeof lf, &lf) == static_cast<int>(sizeof lf)) font_ = CreateFontIndirectW(&lf);
}

Font::Font(HDC hdc) : Font(hdc, static_cast<HFONT>(GetCurrentObject(hdc, OBJ_FONT))) {}

Font::~Font() {
  if (font_) DeleteObject(font_);
}

// ---- Graphics ----

Graphics::Graphics(HDC hdc) : hdc_(FindDC(hdc) ? hdc : nullptr) {}

Status Graphics::SetTextRenderingHint(TextRenderingHint hint) {
  if (hint < TextRenderingHintSystemDefault || hint > TextRenderingHintClearTypeGridFit) return InvalidParameter;
  hint_ = hint;
  return Ok;
}

Status Graphics::DrawImage(const Image* image, const Rect& dest, INT sx, INT sy, INT sw, INT sh, Unit unit) {
  if (!hdc_ || !image || unit != UnitPixel) return InvalidParameter;
  const Surface* src = image->Pixels();
  if (!src) return image->GetLastStatus() == Ok ? InvalidParameter : image->GetLastStatus();
  if (dest.Width <= 0 || dest.Height <= 0 || sw <= 0 || sh <= 0) return Ok;
  const double kx = static_cast<double>(sw) / dest.Width, ky = static_cast<double>(sh) / dest.Height;
  auto at = [&](int x, int y) {
    // Edges repeat the border pixels of the source rectangle.
    x = std::clamp(x, std::max(sx, 0), std::min(sx + sw, src->Width()) - 1);
    y = std::clamp(y, std::max(sy, 0), std::min(sy + sh, src->Height()) - 1);
    return src->Row(y)[x];
  };
  const RECT r{dest.X, dest.Y, dest.X + dest.Width, dest.Y + dest.Height};
  return Paint(hdc_, r, [&](int x, int y, uint32_t d) {
    const double fx = sx + (x - dest.X + 0.5) * kx - 0.5, fy = sy + (y - dest.Y + 0.5) * ky - 0.5;
    const int x0 = static_cast<int>(std::floor(fx)), y0 = static_cast<int>(std::floor(fy));
    const double tx = fx - x0, ty = fy - y0;
    const uint32_t p00 = at(x0, y0), p10 = at(x0 + 1, y0), p01 = at(x0, y0 + 1), p11 = at(x0 + 1, y0 + 1);
    uint32_t s = 0;
    for (int c = 0; c < 32; c += 8) {
      const double top = ((p00 >> c) & 0xFF) * (1 - tx) + ((p10 >> c) & 0xFF) * tx;
      const double bottom = ((p01 >> c) & 0xFF) * (1 - tx) + ((p11 >> c) & 0xFF) * tx;
      s |= static_cast<uint32_t>(std::clamp(std::lround(top * (1 - ty) + bottom * ty), 0L, 255L)) << c;
    }
    return Over(s, d);
  });
}

Status Graphics::DrawImage(const Image* image, INT x, INT y, INT width, INT height) {
  if (!image) return InvalidParameter;
  return DrawImage(image, Rect{x, y, width, height}, 0, 0, static_cast<INT>(image->GetWidth()),
                   static_cast<INT>(image->GetHeight()), UnitPixel);
}

Status Graphics::DrawImage(const Image* image, INT x, INT y) {
  if (!image) return InvalidParameter;
  return DrawImage(image, x, y, static_cast<INT>(image->GetWidth()), static_cast<INT>(image->GetHeight()));
}

Status Graphics::FillRectangle(const SolidBrush* brush, INT x, INT y, INT width, INT height) {
  if (!hdc_ || !brush) return InvalidParameter;
  const uint32_t s = Premultiply(brush->GetColor().GetValue());
  return Paint(hdc_, RECT{x, y, x + width, y + height}, [&](int, int, uint32_t d) { return Over(s, d); });
}

Status Graphics::Clear(const Color& color) {
  if (!hdc_) return InvalidParameter;
  RECT box;
  GetClipBox(hdc_, &box);
  const uint32_t s = Premultiply(color.GetValue());
  return Paint(hdc_, box, [&](int, int, uint32_t) { return s; });
}

Status Graphics::DrawRectangle(const Pen* pen, INT x, INT y, INT width, INT height) {
  if (!hdc_ || !pen) return InvalidParameter;
  // The pen is centred on the outline, which runs through x..x+width.
  const int w = std::max(1, static_cast<int>(std::lround(pen->GetWidth())));
  const int lo = w / 2, hi = w - lo;
  const RECT outer{x - lo, y - lo, x + width + hi, y + height + hi};
  const RECT inner{x + hi, y + hi, x + width - lo, y + height - lo};
  const uint32_t s = Premultiply(pen->GetColor().GetValue());
  return Paint(hdc_, outer, [&](int px, int py, uint32_t d) {
    const bool inside = px >= inner.left && px < inner.right && py >= inner.top && py < inner.bottom;
    return inside ? d : Over(s, d);
  });
}

Status Graphics::DrawString(const WCHAR* text, INT length, const Font* font, const RectF& layout,
                            const StringFormat* format, const SolidBrush* brush) {
  if (!hdc_ || !text || !font || !font->Handle() || !brush) return InvalidParameter;
  if (length < 0) length = static_cast<INT>(std::char_traits<char16_t>::length(text));
  const RECT box{static_cast<LONG>(std::floor(layout.X)), static_cast<LONG>(std::floor(layout.Y)),
                 static_cast<LONG>(std::ceil(layout.X + layout.Width)), static_cast<LONG>(std::ceil(layout.Y + layout.Height))};
  const int w = std::max<LONG>(1, box.right - box.left), h = std::max<LONG>(1, box.bottom - box.top);
  // Lay the text out with DrawText as white on black in a scratch bitmap;
  // its brightness is the coverage.
  HDC scratch = CreateCompatibleDC(nullptr);
  BITMAPINFO info{};
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(scratch, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ oldBitmap = SelectObject(scratch, bitmap);
  HGDIOBJ oldFont = SelectObject(scratch, font->Handle());
  SetTextColor(scratch, RGB(255, 255, 255));
  SetBkMode(scratch, TRANSPARENT);
  UINT flags = DT_NOPREFIX;
  const StringFormat defaults;
  const StringFormat& f = format ? *format : defaults;
  if (!(f.GetFormatFlags() & StringFormatFlagsNoWrap)) flags |= DT_WORDBREAK;
  if (f.GetAlignment() == StringAlignmentCenter) flags |= DT_CENTER;
  if (f.GetAlignment() == StringAlignmentFar) flags |= DT_RIGHT;
  if (f.GetTrimming() == StringTrimmingEllipsisWord) flags |= DT_WORD_ELLIPSIS;
  if (f.GetTrimming() == StringTrimmingEllipsisCharacter) flags |= DT_END_ELLIPSIS;
  if (f.GetTrimming() == StringTrimmingEllipsisPath) flags |= DT_PATH_ELLIPSIS;
  RECT measure{0, 0, w, h};
  const int textHeight = DrawTextW(scratch, text, length, &measure, flags | DT_CALCRECT);
  int top = 0;
  if (f.GetLineAlignment() == StringAlignmentCenter) top = (h - textHeight) / 2;
  if (f.GetLineAlignment() == StringAlignmentFar) top = h - textHeight;
  RECT where{0, top, w, top + std::max(textHeight, h)};
  DrawTextW(scratch, text, length, &where, flags);
  const bool binary = hint_ == TextRenderingHintSingleBitPerPixel || hint_ == TextRenderingHintSingleBitPerPixelGridFit;
  const uint32_t s = Premultiply(brush->GetColor().GetValue());
  const auto* coverage = static_cast<const uint32_t*>(bits);
  const Status status = Paint(hdc_, RECT{box.left, box.top, box.left + w, box.top + h}, [&](int x, int y, uint32_t d) {
    uint32_t cover = (coverage[(y - box.top) * w + (x - box.left)] >> 8) & 0xFF;
    if (binary) cover = cover >= 128 ? 255 : 0;
    return cover ? Over(Scale(s, cover), d) : d;
  });
  SelectObject(scratch, oldFont);
  SelectObject(scratch, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(scratch);
  return status;
}

}  // namespace win::Gdiplus
