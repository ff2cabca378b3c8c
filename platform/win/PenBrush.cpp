#include "platform/win/PenBrush.h"

#include <array>
#include <mutex>

#include "platform/win/Dc.h"
#include "platform/win/FontInternal.h"
#include "platform/win/GdiInternal.h"

namespace win {

using namespace gdi;

namespace gdi {
std::shared_ptr<Bitmap> NewDeviceBitmap(int32_t width, int32_t height, bool mono);
}

HPEN CreatePen(int style, int width, COLORREF color) {
  if (style < PS_SOLID || style > PS_INSIDEFRAME) style = PS_SOLID;
  auto p = std::make_shared<Pen>();
  p->style = style;
  // Wide pens draw dashed styles solid, as the platform's cosmetic rules say.
  p->width = width < 1 ? 1 : width;
  if (p->width > 1 && style >= PS_DASH && style <= PS_DASHDOTDOT) p->style = PS_SOLID;
  p->color = color;
  p->fullStyle = static_cast<DWORD>(style);
  return static_cast<HPEN>(AddGdiObject(p));
}

HPEN CreatePenIndirect(const LOGPEN* pen) {
  return pen ? CreatePen(static_cast<int>(pen->lopnStyle), pen->lopnWidth.x, pen->lopnColor) : nullptr;
}

HPEN ExtCreatePen(DWORD style, DWORD width, const LOGBRUSH* brush, DWORD, const DWORD*) {
  if (!brush) return nullptr;
  auto p = std::make_shared<Pen>();
  p->extended = true;
  p->fullStyle = style;
  p->style = static_cast<int>(style & PS_STYLE_MASK);
  if (p->style > PS_ALTERNATE) p->style = PS_SOLID;
  p->width = width < 1 ? 1 : static_cast<int>(width);
  p->color = brush->lbStyle == BS_NULL ? 0 : brush->lbColor;
  if (brush->lbStyle == BS_NULL) p->style = PS_NULL;
  return static_cast<HPEN>(AddGdiObject(p));
}

HBRUSH CreateSolidBrush(COLORREF color) {
  auto b = std::make_shared<Brush>();
  b->style = BS_SOLID;
  b->color = color;
  return static_cast<HBRUSH>(AddGdiObject(b));
}

HBRUSH CreateHatchBrush(int hatch, COLORREF color) {
  if (hatch < HS_HORIZONTAL || hatch > HS_DIAGCROSS) return nullptr;
  auto b = std::make_shared<Brush>();
  b->style = BS_HATCHED;
  b->hatch = hatch;
  b->color = color;
  return static_cast<HBRUSH>(AddGdiObject(b));
}

HBRUSH CreatePatternBrush(HBITMAP bitmap) {
  auto bm = FindGdiObject<Bitmap>(bitmap);
  if (!bm) return nullptr;
  bm->PullBits();
  auto b = std::make_shared<Brush>();
  b->style = BS_PATTERN;
  b->monoPattern = bm->Monochrome();
  b->pattern = std::make_shared<Surface>(bm->Width(), bm->Height());
  for (int32_t y = 0; y < bm->Height(); ++y)
    for (int32_t x = 0; x < bm->Width(); ++x) b->pattern->Row(y)[x] = bm->surface->Row(y)[x] & 0xFFFFFF;
  return static_cast<HBRUSH>(AddGdiObject(b));
}

HBRUSH CreateDIBPatternBrushPt(const void* packedDib, UINT usage) {
  DibFormat f;
  if (!packedDib || !f.Parse(packedDib, 40 + 256 * 4 + 12, usage)) return nullptr;
  const auto* p = static_cast<const uint8_t*>(packedDib);
  const uint32_t headerSize = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
  size_t offset = headerSize + (usage == DIB_PAL_COLORS ? 2 : 4) * f.palette.size();
  if (f.compression == BI_BITFIELDS && headerSize == 40) offset += 12;
  auto b = std::make_shared<Brush>();
  b->style = BS_DIBPATTERN;
  b->pattern = std::make_shared<Surface>();
  if (!DibToSurface(f, p + offset, f.ImageSize(), b->pattern.get())) return nullptr;
  for (int32_t y = 0; y < b->pattern->Height(); ++y)
    for (int32_t x = 0; x < b->pattern->Width(); ++x) b->pattern->Row(y)[x] &= 0xFFFFFF;
  return static_cast<HBRUSH>(AddGdiObject(b));
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* brush) {
  if (!brush) return nullptr;
  switch (brush->lbStyle) {
    case BS_SOLID: return CreateSolidBrush(brush->lbColor);
    case BS_HATCHED: return CreateHatchBrush(static_cast<int>(brush->lbHatch), brush->lbColor);
    case BS_PATTERN: return CreatePatternBrush(reinterpret_cast<HBITMAP>(brush->lbHatch));
    case BS_DIBPATTERNPT: return CreateDIBPatternBrushPt(reinterpret_cast<const void*>(brush->lbHatch), brush->lbColor & 0xFFFF);
    case BS_NULL: return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    default: return nullptr;
  }
}

namespace gdi {
HFONT CreateStockFont(int index);
}

HGDIOBJ GetStockObject(int index) {
  static std::once_flag once;
  static std::array<HGDIOBJ, 22> stock{};
  std::call_once(once, [] {
    auto keep = [](HGDIOBJ h) {
      GdiObjects().Find(reinterpret_cast<uintptr_t>(h))->stock = true;
      return h;
    };
    stock[WHITE_BRUSH] = keep(CreateSolidBrush(RGB(255, 255, 255)));
    stock[LTGRAY_BRUSH] = keep(CreateSolidBrush(RGB(192, 192, 192)));
    stock[GRAY_BRUSH] = keep(CreateSolidBrush(RGB(128, 128, 128)));
    stock[DKGRAY_BRUSH] = keep(CreateSolidBrush(RGB(64, 64, 64)));
    stock[BLACK_BRUSH] = keep(CreateSolidBrush(RGB(0, 0, 0)));
    {
      auto b = std::make_shared<Brush>();
      b->style = BS_NULL;
      stock[NULL_BRUSH] = keep(AddGdiObject(b));
    }
    stock[WHITE_PEN] = keep(CreatePen(PS_SOLID, 1, RGB(255, 255, 255)));
    stock[BLACK_PEN] = keep(CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
    stock[NULL_PEN] = keep(CreatePen(PS_NULL, 1, 0));
    for (int f : {OEM_FIXED_FONT, ANSI_FIXED_FONT, ANSI_VAR_FONT, SYSTEM_FONT, DEVICE_DEFAULT_FONT, SYSTEM_FIXED_FONT,
                  DEFAULT_GUI_FONT})
      stock[static_cast<size_t>(f)] = keep(CreateStockFont(f));
    {
      auto p = std::make_shared<Palette>();
      // The twenty static colours of the default palette.
      p->entries = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0, 0xC0DCC0, 0xA6CAF0,
                    0xFFFBF0, 0xA0A0A4, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
      stock[DEFAULT_PALETTE] = keep(AddGdiObject(p));
    }
    {
      auto b = std::make_shared<Brush>();
      b->dcBrush = true;
      stock[DC_BRUSH] = keep(AddGdiObject(b));
      auto p = std::make_shared<Pen>();
      p->dcPen = true;
      stock[DC_PEN] = keep(AddGdiObject(p));
    }
    stock[VORIX_DEFAULT_BITMAP] = keep(AddGdiObject(NewDeviceBitmap(1, 1, true)));
  });
  if (index < 0 || index >= static_cast<int>(stock.size())) return nullptr;
  return stock[static_cast<size_t>(index)];
}

}  // namespace win
