// GetObject: the records that describe each kind of drawing object.
#include <algorithm>
#include <cstring>

#include "platform/win/Bitmap.h"
#include "platform/win/FontInternal.h"
#include "platform/win/GdiInternal.h"
#include "platform/win/PenBrush.h"
#include "platform/rtl/Text.h"

namespace win {

using namespace gdi;

namespace {

template <class T>
int Fill(const T& value, int size, void* buffer) {
  if (!buffer) return static_cast<int>(sizeof(T));
  const int n = std::min(size, static_cast<int>(sizeof(T)));
  if (n <= 0) return 0;
  std::memcpy(buffer, &value, static_cast<size_t>(n));
  return n;
}

int BitmapInfo(Bitmap& b, int size, void* buffer) {
  BITMAP bm;
  bm.bmWidth = b.Width();
  bm.bmHeight = b.Height();
  bm.bmBitsPixel = static_cast<WORD>(b.dib ? b.bitCount : (b.Monochrome() ? 1 : 32));
  if (b.dib) {
    bm.bmWidthBytes = static_cast<LONG>(b.format.stride);
    bm.bmBits = b.bits.get();
  } else {
    // Device bitmaps report rows padded to 16 bits.
    bm.bmWidthBytes = ((b.Width() * bm.bmBitsPixel + 15) / 16) * 2;
  }
  if (b.dib && (size >= static_cast<int>(sizeof(DIBSECTION)) || !buffer)) {
    DIBSECTION ds;
    ds.dsBm = bm;
    ds.dsBmih.biWidth = b.Width();
    ds.dsBmih.biHeight = b.format.topDown ? -b.Height() : b.Height();
    ds.dsBmih.biBitCount = static_cast<WORD>(b.bitCount);
    ds.dsBmih.biCompression = b.format.compression;
    ds.dsBmih.biSizeImage = static_cast<DWORD>(b.format.ImageSize());
    ds.dsBmih.biClrUsed = static_cast<DWORD>(b.format.palette.size());
    if (b.format.compression == BI_BITFIELDS) {
      ds.dsBitfields[0] = b.format.redMask;
      ds.dsBitfields[1] = b.format.greenMask;
      ds.dsBitfields[2] = b.format.blueMask;
    }
    return Fill(ds, size, buffer);
  }
  return Fill(bm, size, buffer);
}

}  // namespace

int GetObjectW(HGDIOBJ object, int size, void* buffer) {
  auto obj = GdiObjects().Find(reinterpret_cast<uintptr_t>(object));
  if (!obj) return 0;
  switch (obj->Kind()) {
    case GdiKind::Pen: {
      auto& p = static_cast<Pen&>(*obj);
      LOGPEN lp;
      lp.lopnStyle = static_cast<UINT>(p.style);
      lp.lopnWidth = {p.width, 0};
      lp.lopnColor = p.color;
      return Fill(lp, size, buffer);
    }
    case GdiKind::ExtPen: {
      auto& p = static_cast<Pen&>(*obj);
      EXTLOGPEN ep;
      ep.elpPenStyle = p.fullStyle;
      ep.elpWidth = static_cast<DWORD>(p.width);
      ep.elpColor = p.color;
      return Fill(ep, size, buffer);
    }
    case GdiKind::Brush: {
      auto& b = static_cast<Brush&>(*obj);
      LOGBRUSH lb;
      lb.lbStyle = b.style;
      lb.lbColor = b.color;
      lb.lbHatch = static_cast<ULONG_PTR>(b.hatch);
      return Fill(lb, size, buffer);
    }
    case GdiKind::Bitmap: {
      auto& b = static_cast<Bitmap&>(*obj);
      b.PullBits();
      return BitmapInfo(b, size, buffer);
    }
    case GdiKind::Font:
      return Fill(static_cast<Font&>(*obj).log, size, buffer);
    case GdiKind::Palette: {
      const WORD count = static_cast<WORD>(static_cast<Palette&>(*obj).entries.size());
      return Fill(count, size, buffer);
    }
    default:
      return 0;
  }
}

int GetObjectA(HGDIOBJ object, int size, void* buffer) {
  auto font = FindGdiObject<Font>(object);
  if (!font) return GetObjectW(object, size, buffer);
  LOGFONTA a;
  std::memcpy(static_cast<void*>(&a), &font->log, offsetof(LOGFONTW, lfFaceName));
  const std::u16string w(font->log.lfFaceName, std::find(font->log.lfFaceName, font->log.lfFaceName + LF_FACESIZE, u'\0'));
  const std::string name = rtl::WideToAnsi(w);
  std::strncpy(a.lfFaceName, name.c_str(), LF_FACESIZE - 1);
  return Fill(a, size, buffer);
}

}  // namespace win
