#include "platform/win/Icons.h"

#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>

#include "platform/win/Bitmap.h"
#include "platform/win/Blit.h"
#include "platform/win/Dc.h"
#include "platform/win/Font.h"
#include "platform/win/GdiInternal.h"
#include "platform/win/HandleTable.h"
#include "platform/win/ImageFiles.h"
#include "platform/win/Metrics.h"
#include "platform/win/PenBrush.h"
#include "platform/win/Shapes.h"

namespace win {

using namespace gdi;

namespace gdi {
std::shared_ptr<Bitmap> NewDeviceBitmap(int32_t width, int32_t height, bool mono);
}

namespace {

// Colour pixels (null for a monochrome icon) and the AND mask, both of the
// icon's size; mask pixels are 0 (show the icon) or 0xFFFFFF (keep).
struct IconObject {
  std::shared_ptr<Surface> color;
  std::shared_ptr<Surface> mask;
  std::shared_ptr<Surface> monoXor;  // monochrome icons: the XOR half
  bool hasAlpha = false;
  BOOL fIcon = TRUE;
  DWORD hotX = 0, hotY = 0;
  bool shared = false;
  int Width() const { return mask->Width(); }
  int Height() const { return mask->Height(); }
};

HandleTable<IconObject>& Icons() {
  static HandleTable<IconObject> table;
  return table;
}

std::shared_ptr<IconObject> FindIcon(HICON h) { return Icons().Find(reinterpret_cast<uintptr_t>(h)); }

std::shared_ptr<Surface> CopyRows(const Surface& s, int top, int height) {
  auto out = std::make_shared<Surface>(s.Width(), height);
  for (int y = 0; y < height; ++y) std::memcpy(out->Row(y), s.Row(top + y), static_cast<size_t>(s.Width()) * 4);
  return out;
}

bool AnyAlpha(const Surface& s) {
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x)
      if (s.Row(y)[x] >> 24) return true;
  return false;
}

HICON Register(std::shared_ptr<IconObject> icon) {
  if (icon->color) icon->hasAlpha = AnyAlpha(*icon->color);
  return reinterpret_cast<HICON>(Icons().Add(std::move(icon)));
}

// A memory DC over a private surface, for drawing from or into it.
struct ScratchDc {
  std::shared_ptr<DeviceContext> dc = std::make_shared<DeviceContext>();
  HDC handle = nullptr;
  ScratchDc(std::shared_ptr<Surface> surface, bool mono) {
    auto b = std::make_shared<Bitmap>();
    b->surface = std::move(surface);
    b->bitCount = mono ? 1 : 32;
    handle = NewDC(dc);
    dc->s.bitmap = b;
  }
  ~ScratchDc() { RemoveDC(handle); }
};

std::shared_ptr<Surface> Scaled(const Surface& s, int w, int h) {
  auto out = std::make_shared<Surface>(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) out->Row(y)[x] = s.Row(y * s.Height() / h)[x * s.Width() / w];
  return out;
}

std::shared_ptr<IconObject> ScaledIcon(const IconObject& icon, int w, int h) {
  auto copy = std::make_shared<IconObject>(icon);
  copy->shared = false;
  if (w <= 0) w = icon.Width();
  if (h <= 0) h = icon.Height();
  if (w == icon.Width() && h == icon.Height()) {
    if (icon.color) copy->color = CopyRows(*icon.color, 0, icon.Height());
    copy->mask = CopyRows(*icon.mask, 0, icon.Height());
    if (icon.monoXor) copy->monoXor = CopyRows(*icon.monoXor, 0, icon.Height());
    return copy;
  }
  if (icon.color) copy->color = Scaled(*icon.color, w, h);
  copy->mask = Scaled(*icon.mask, w, h);
  if (icon.monoXor) copy->monoXor = Scaled(*icon.monoXor, w, h);
  return copy;
}

}  // namespace

HICON CreateIconIndirect(const ICONINFO* info) {
  if (!info) return nullptr;
  auto mask = FindGdiObject<Bitmap>(info->hbmMask);
  if (!mask) return nullptr;
  mask->PullBits();
  auto icon = std::make_shared<IconObject>();
  icon->fIcon = info->fIcon;
  icon->hotX = info->xHotspot;
  icon->hotY = info->yHotspot;
  if (info->hbmColor) {
    auto color = FindGdiObject<Bitmap>(info->hbmColor);
    if (!color) return nullptr;
    color->PullBits();
    icon->color = CopyRows(*color->surface, 0, color->Height());
    icon->mask = std::make_shared<Surface>(color->Width(), color->Height());
    for (int y = 0; y < std::min(color->Height(), mask->Height()); ++y)
      for (int x = 0; x < std::min(color->Width(), mask->Width()); ++x)
        icon->mask->Row(y)[x] = (mask->surface->Row(y)[x] & 0xFFFFFF) ? 0xFFFFFFu : 0u;
  } else {
    const int h = mask->Height() / 2;
    if (h <= 0) return nullptr;
    icon->mask = CopyRows(*mask->surface, 0, h);
    icon->monoXor = CopyRows(*mask->surface, h, h);
  }
  return Register(icon);
}

BOOL GetIconInfo(HICON h, ICONINFO* info) {
  auto icon = FindIcon(h);
  if (!icon || !info) return FALSE;
  info->fIcon = icon->fIcon;
  info->xHotspot = icon->hotX;
  info->yHotspot = icon->hotY;
  const int w = icon->Width(), hh = icon->Height();
  auto mask = NewDeviceBitmap(w, icon->monoXor ? 2 * hh : hh, true);
  for (int y = 0; y < hh; ++y) {
    std::memcpy(mask->surface->Row(y), icon->mask->Row(y), static_cast<size_t>(w) * 4);
    if (icon->monoXor) std::memcpy(mask->surface->Row(hh + y), icon->monoXor->Row(y), static_cast<size_t>(w) * 4);
  }
  info->hbmMask = static_cast<HBITMAP>(AddGdiObject(mask));
  info->hbmColor = nullptr;
  if (icon->color) {
    auto color = NewDeviceBitmap(w, hh, false);
    for (int y = 0; y < hh; ++y) std::memcpy(color->surface->Row(y), icon->color->Row(y), static_cast<size_t>(w) * 4);
    info->hbmColor = static_cast<HBITMAP>(AddGdiObject(color));
  }
  return TRUE;
}

BOOL DestroyIcon(HICON h) {
  auto icon = FindIcon(h);
  if (!icon) return FALSE;
  if (!icon->shared) Icons().Remove(reinterpret_cast<uintptr_t>(h));
  return TRUE;
}

HICON CopyIcon(HICON h) {
  auto icon = FindIcon(h);
  return icon ? Register(ScaledIcon(*icon, 0, 0)) : nullptr;
}

BOOL DrawIconEx(HDC hdc, int x, int y, HICON h, int width, int height, UINT, HBRUSH, UINT flags) {
  auto icon = FindIcon(h);
  auto dc = FindDC(hdc);
  if (!icon || !dc) return FALSE;
  if ((flags & DI_NORMAL) == 0) flags |= DI_NORMAL;
  if (width == 0) width = (flags & DI_DEFAULTSIZE) ? GetSystemMetrics(SM_CXICON) : icon->Width();
  if (height == 0) height = (flags & DI_DEFAULTSIZE) ? GetSystemMetrics(SM_CYICON) : icon->Height();
  // The mask converts through black text on a white background.
  const COLORREF text = SetTextColor(hdc, 0), back = SetBkColor(hdc, RGB(255, 255, 255));
  const int stretch = SetStretchBltMode(hdc, COLORONCOLOR);
  if (icon->hasAlpha && (flags & DI_IMAGE) && (flags & DI_MASK)) {
    // Straight alpha, premultiplied for the blend.
    auto pre = std::make_shared<Surface>(icon->Width(), icon->Height());
    for (int yy = 0; yy < icon->Height(); ++yy)
      for (int xx = 0; xx < icon->Width(); ++xx) {
        const uint32_t p = icon->color->Row(yy)[xx], a = p >> 24;
        auto ch = [&](int s) { return ((((p >> s) & 0xFF) * a + 127) / 255) << s; };
        pre->Row(yy)[xx] = (a << 24) | ch(16) | ch(8) | ch(0);
      }
    ScratchDc src(pre, false);
    AlphaBlend(hdc, x, y, width, height, src.handle, 0, 0, icon->Width(), icon->Height(),
               BLENDFUNCTION{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA});
  } else {
    if (flags & DI_MASK) {
      ScratchDc mask(icon->mask, true);
      StretchBlt(hdc, x, y, width, height, mask.handle, 0, 0, icon->Width(), icon->Height(),
                 (flags & DI_IMAGE) ? SRCAND : SRCCOPY);
    }
    if (flags & DI_IMAGE) {
      const bool mono = !icon->color;
      ScratchDc image(mono ? icon->monoXor : icon->color, mono);
      StretchBlt(hdc, x, y, width, height, image.handle, 0, 0, icon->Width(), icon->Height(),
                 (flags & DI_MASK) ? SRCINVERT : SRCCOPY);
    }
  }
  SetStretchBltMode(hdc, stretch);
  SetTextColor(hdc, text);
  SetBkColor(hdc, back);
  return TRUE;
}

BOOL DrawIcon(HDC hdc, int x, int y, HICON icon) { return DrawIconEx(hdc, x, y, icon, 0, 0, 0, nullptr, DI_NORMAL | DI_DEFAULTSIZE); }

// ---- stock icons ----

namespace {

// Draws one stock picture on a key colour; pixels left in the key become
// transparent.
std::shared_ptr<IconObject> MakeStockIcon(uintptr_t id) {
  constexpr int kSize = 32;
  constexpr COLORREF kKey = RGB(255, 0, 255);
  auto surface = std::make_shared<Surface>(kSize, kSize);
  {
    ScratchDc canvas(surface, false);
    HDC dc = canvas.handle;
    HBRUSH key = CreateSolidBrush(kKey);
    const RECT all{0, 0, kSize, kSize};
    FillRect(dc, &all, key);
    DeleteObject(key);
    auto brush = [&](COLORREF c) {
      HGDIOBJ old = SelectObject(dc, CreateSolidBrush(c));
      return old;
    };
    auto restore = [&](HGDIOBJ old) { DeleteObject(SelectObject(dc, old)); };
    auto glyph = [&](const char* text, COLORREF c, int height) {
      HFONT f = CreateFontA(-height, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, NONANTIALIASED_QUALITY, 0, "Arial");
      HGDIOBJ old = SelectObject(dc, f);
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, c);
      RECT r = all;
      DrawTextA(dc, text, -1, &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
      SelectObject(dc, old);
      DeleteObject(f);
    };
    switch (id) {
      case IDI_HAND: {
        HGDIOBJ old = brush(RGB(204, 0, 0));
        Ellipse(dc, 1, 1, 31, 31);
        restore(old);
        HPEN pen = CreatePen(PS_SOLID, 4, RGB(255, 255, 255));
        HGDIOBJ oldPen = SelectObject(dc, pen);
        MoveToEx(dc, 10, 10, nullptr);
        LineTo(dc, 21, 21);
        MoveToEx(dc, 21, 10, nullptr);
        LineTo(dc, 10, 21);
        SelectObject(dc, oldPen);
        DeleteObject(pen);
        break;
      }
      case IDI_QUESTION: {
        HGDIOBJ old = brush(RGB(255, 255, 255));
        Ellipse(dc, 1, 1, 31, 31);
        restore(old);
        glyph("?", RGB(0, 0, 192), 22);
        break;
      }
      case IDI_EXCLAMATION: {
        HGDIOBJ old = brush(RGB(255, 220, 0));
        const POINT tri[] = {{16, 1}, {31, 29}, {1, 29}};
        Polygon(dc, tri, 3);
        restore(old);
        glyph("!", RGB(0, 0, 0), 20);
        break;
      }
      case IDI_ASTERISK: {
        HGDIOBJ old = brush(RGB(0, 64, 200));
        Ellipse(dc, 1, 1, 31, 31);
        restore(old);
        glyph("i", RGB(255, 255, 255), 22);
        break;
      }
      case IDI_WINLOGO: {
        const COLORREF c[4] = {RGB(240, 80, 30), RGB(120, 190, 0), RGB(0, 160, 240), RGB(255, 190, 0)};
        for (int i = 0; i < 4; ++i) {
          HBRUSH b = CreateSolidBrush(c[i]);
          const RECT r{2 + (i % 2) * 15, 2 + (i / 2) * 15, 15 + (i % 2) * 15, 15 + (i / 2) * 15};
          FillRect(dc, &r, b);
          DeleteObject(b);
        }
        break;
      }
      default: {  // IDI_APPLICATION: a small window
        HGDIOBJ old = brush(RGB(255, 255, 255));
        Rectangle(dc, 2, 4, 30, 28);
        restore(old);
        HBRUSH title = CreateSolidBrush(RGB(0, 0, 128));
        const RECT bar{3, 5, 29, 10};
        FillRect(dc, &bar, title);
        DeleteObject(title);
        break;
      }
    }
  }
  auto icon = std::make_shared<IconObject>();
  icon->mask = std::make_shared<Surface>(kSize, kSize);
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      uint32_t& p = surface->Row(y)[x];
      const bool transparent = (p & 0xFFFFFF) == ToPixel(kKey);
      icon->mask->Row(y)[x] = transparent ? 0xFFFFFFu : 0u;
      if (transparent) p = 0;
    }
  icon->color = surface;
  icon->shared = true;
  return icon;
}

}  // namespace

HICON LoadIconA(HINSTANCE instance, const char* name) {
  const auto id = reinterpret_cast<uintptr_t>(name);
  if (instance || id < IDI_APPLICATION || id > IDI_WINLOGO) return nullptr;
  static std::mutex mutex;
  static std::array<HICON, 6> cache{};
  std::lock_guard lock(mutex);
  HICON& slot = cache[id - IDI_APPLICATION];
  if (!slot) slot = Register(MakeStockIcon(id));
  return slot;
}

// ---- files ----

namespace {

uint32_t U32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }
uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// One ICO/CUR entry: a PNG, or a DIB of twice the height (colour rows,
// then the 1-bit AND mask).
std::shared_ptr<IconObject> DecodeIconEntry(const uint8_t* data, size_t size) {
  auto icon = std::make_shared<IconObject>();
  if (IsPngData(data, size)) {
    auto png = LoadPngFromMemory(data, size);
    if (!png) return nullptr;
    icon->mask = std::make_shared<Surface>(png->Width(), png->Height());
    for (int y = 0; y < png->Height(); ++y)
      for (int x = 0; x < png->Width(); ++x) icon->mask->Row(y)[x] = (png->Row(y)[x] >> 24) ? 0u : 0xFFFFFFu;
    icon->color = std::shared_ptr<Surface>(png.release());
    return icon;
  }
  if (size < 40) return nullptr;
  std::vector<uint8_t> info(data, data + size);
  const int32_t fullHeight = static_cast<int32_t>(U32(data + 8));
  const int32_t h = fullHeight / 2;
  std::memcpy(info.data() + 8, &h, 4);
  DibFormat f;
  if (!f.Parse(info.data(), info.size())) return nullptr;
  const size_t headerSize = U32(data);
  const size_t bitsAt = headerSize + f.palette.size() * 4 + (f.compression == BI_BITFIELDS ? 12 : 0);
  if (bitsAt + f.ImageSize() > size) return nullptr;
  auto color = std::make_shared<Surface>();
  if (!DibToSurface(f, data + bitsAt, f.ImageSize(), color.get())) return nullptr;
  icon->mask = std::make_shared<Surface>(f.width, f.height);
  const size_t maskAt = bitsAt + f.ImageSize();
  const size_t maskStride = DibStride(f.width, 1);
  for (int y = 0; y < f.height; ++y) {
    const size_t row = maskAt + maskStride * static_cast<size_t>(f.height - 1 - y);
    for (int x = 0; x < f.width; ++x) {
      const bool bit = row + (x >> 3) < size && ((data[row + (x >> 3)] >> (7 - (x & 7))) & 1);
      icon->mask->Row(y)[x] = bit ? 0xFFFFFFu : 0u;
    }
  }
  if (f.bitCount == 32) {
    icon->color = color;
  } else {
    // Palette and packed icons carry no alpha: the mask decides.
    for (int y = 0; y < f.height; ++y)
      for (int x = 0; x < f.width; ++x) color->Row(y)[x] &= 0xFFFFFF;
    icon->color = color;
  }
  return icon;
}

HICON LoadIconFile(const std::string& path, UINT type, int width, int height, UINT flags) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return nullptr;
  const std::vector<uint8_t> d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (d.size() < 6 || U16(d.data()) != 0) return nullptr;
  const uint16_t kind = U16(d.data() + 2), count = U16(d.data() + 4);
  if ((kind != 1 && kind != 2) || count == 0 || d.size() < 6 + 16 * static_cast<size_t>(count)) return nullptr;
  if (width == 0 && (flags & LR_DEFAULTSIZE)) width = GetSystemMetrics(type == IMAGE_CURSOR ? SM_CXCURSOR : SM_CXICON);
  if (height == 0 && (flags & LR_DEFAULTSIZE)) height = GetSystemMetrics(type == IMAGE_CURSOR ? SM_CYCURSOR : SM_CYICON);
  int best = -1, bestScore = 1 << 30;
  for (int i = 0; i < count; ++i) {
    const uint8_t* e = d.data() + 6 + 16 * i;
    const int w = e[0] ? e[0] : 256, h = e[1] ? e[1] : 256;
    const int bits = kind == 1 ? U16(e + 6) : 32;
    // Closest size first, then the deepest colour.
    const int score = (width ? std::abs(w - width) : (i == 0 ? 0 : 1 << 20)) * 64 + (height ? std::abs(h - height) : 0) * 64 + (32 - std::min(bits, 32));
    if (score < bestScore) bestScore = score, best = i;
  }
  const uint8_t* e = d.data() + 6 + 16 * best;
  const uint32_t bytes = U32(e + 8), offset = U32(e + 12);
  if (offset >= d.size() || bytes > d.size() - offset) return nullptr;
  auto icon = DecodeIconEntry(d.data() + offset, bytes);
  if (!icon) return nullptr;
  icon->fIcon = type != IMAGE_CURSOR;
  if (kind == 2) {
    icon->hotX = U16(e + 4);
    icon->hotY = U16(e + 6);
  }
  if ((width && width != icon->Width()) || (height && height != icon->Height())) icon = ScaledIcon(*icon, width, height);
  return Register(icon);
}

HBITMAP LoadBitmapFile(const std::string& path, int width, int height, UINT flags) {
  BmpFile file;
  if (!ReadBmpFile(path, &file)) return nullptr;
  DibFormat f;
  if (!f.Parse(file.info.data(), file.info.size())) return nullptr;
  HBITMAP result = nullptr;
  const auto* info = reinterpret_cast<const BITMAPINFO*>(file.info.data());
  if ((flags & LR_CREATEDIBSECTION) && f.compression != BI_RLE4 && f.compression != BI_RLE8 && U32(file.info.data()) >= 40) {
    void* bits = nullptr;
    result = CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (result) {
      std::memcpy(bits, file.bits.data(), std::min(file.bits.size(), f.ImageSize()));
      FindGdiObject<Bitmap>(result)->PullBits();
    }
  } else {
    Surface decoded;
    if (!DibToSurface(f, file.bits.data(), file.bits.size(), &decoded)) return nullptr;
    const bool mono = (flags & LR_MONOCHROME) ||
                      (f.bitCount == 1 && f.palette.size() == 2 && f.palette[0] == 0 && f.palette[1] == 0xFFFFFF);
    auto b = NewDeviceBitmap(f.width, f.height, mono);
    for (int y = 0; y < f.height; ++y)
      for (int x = 0; x < f.width; ++x) b->surface->Row(y)[x] = mono ? ToMono(decoded.Row(y)[x]) : decoded.Row(y)[x];
    result = static_cast<HBITMAP>(AddGdiObject(b));
  }
  if (result && ((width && width != f.width) || (height && height != f.height))) {
    HANDLE scaled = CopyImage(result, IMAGE_BITMAP, width, height, LR_COPYDELETEORG);
    result = static_cast<HBITMAP>(scaled);
  }
  return result;
}

}  // namespace

HANDLE LoadImageA(HINSTANCE, const char* name, UINT type, int width, int height, UINT flags) {
  if (!name || reinterpret_cast<uintptr_t>(name) < 0x10000 || !(flags & LR_LOADFROMFILE)) return nullptr;
  switch (type) {
    case IMAGE_BITMAP: return LoadBitmapFile(name, width, height, flags);
    case IMAGE_ICON:
    case IMAGE_CURSOR: return LoadIconFile(name, type, width, height, flags);
    default: return nullptr;
  }
}

HANDLE CopyImage(HANDLE image, UINT type, int width, int height, UINT flags) {
  if (type == IMAGE_ICON || type == IMAGE_CURSOR) {
    auto icon = FindIcon(static_cast<HICON>(image));
    if (!icon) return nullptr;
    HICON copy = Register(ScaledIcon(*icon, width, height));
    if (flags & LR_COPYDELETEORG) DestroyIcon(static_cast<HICON>(image));
    return copy;
  }
  if (type != IMAGE_BITMAP) return nullptr;
  auto b = FindGdiObject<Bitmap>(image);
  if (!b) return nullptr;
  b->PullBits();
  const int w = width > 0 ? width : b->Width(), h = height > 0 ? height : b->Height();
  const bool mono = b->Monochrome() || (flags & LR_MONOCHROME);
  auto out = NewDeviceBitmap(w, h, mono);
  {
    ScratchDc src(b->surface, b->Monochrome());
    ScratchDc dst(out->surface, mono);
    SetStretchBltMode(dst.handle, mono ? COLORONCOLOR : HALFTONE);
    StretchBlt(dst.handle, 0, 0, w, h, src.handle, 0, 0, b->Width(), b->Height(), SRCCOPY);
  }
  if (flags & LR_COPYDELETEORG) DeleteObject(image);
  return AddGdiObject(out);
}

}  // namespace win
