// Memory DCs, the state stack, object selection, origins, modes and the
// clip of every DC. Window and screen DCs are made in WindowDc.cpp.
#include "platform/win/Dc.h"

#include <algorithm>
#include <atomic>
#include <climits>

#include "platform/win/Bitmap.h"
#include "platform/win/FontInternal.h"
#include "platform/win/GdiInternal.h"
#include "platform/win/Metrics.h"
#include "platform/win/PenBrush.h"

namespace win {

using gdi::DeviceContext;
using gdi::RectList;

namespace gdi {

HandleTable<DeviceContext>& DcTable() {
  static HandleTable<DeviceContext> table;
  return table;
}

std::shared_ptr<DeviceContext> FindDC(HDC hdc) { return DcTable().Find(reinterpret_cast<uintptr_t>(hdc)); }

// A clip with no limit, for ExcludeClipRect on a DC without one.
constexpr RECT kEverything{-(1 << 27), -(1 << 27), 1 << 27, 1 << 27};

std::vector<Piece> (*g_windowPieces)(const DeviceContext&) = nullptr;

std::vector<Piece> DeviceContext::Pieces() const {
  std::vector<Piece> pieces;
  if (type == Type::Memory) {
    if (s.bitmap) {
      Piece p;
      p.surface = s.bitmap->surface;
      if (s.bitmap->NeedsSync()) p.sync = s.bitmap.get();
      p.visible = {RECT{0, 0, s.bitmap->Width(), s.bitmap->Height()}};
      pieces.push_back(std::move(p));
    }
  } else if (g_windowPieces) {
    pieces = g_windowPieces(*this);
  }
  for (Piece& p : pieces) {
    const int dx = p.origin.x, dy = p.origin.y;
    auto toSurface = [&](const RectList& device) {
      RectList out;
      out.reserve(device.size());
      for (const RECT& r : device) out.push_back(Offset(r, dx, dy));
      return out;
    };
    if (metaClip) p.visible = IntersectLists(p.visible, toSurface(*metaClip));
    if (metaExclude)
      for (const RECT& r : *metaExclude) p.visible = SubtractRect(p.visible, Offset(r, dx, dy));
    if (s.clip) p.visible = IntersectLists(p.visible, toSurface(*s.clip));
  }
  return pieces;
}

RECT DeviceContext::DeviceBounds() const {
  RectList all;
  for (const Piece& p : Pieces())
    for (const RECT& r : p.visible) all.push_back(Offset(r, -p.origin.x, -p.origin.y));
  return Bounds(all);
}

}  // namespace gdi

namespace {

using namespace gdi;

// The objects a new DC starts with.
void SelectDefaults(DcState& s) {
  s.penHandle = GetStockObject(BLACK_PEN);
  s.pen = FindGdiObject<Pen>(s.penHandle);
  s.brushHandle = GetStockObject(WHITE_BRUSH);
  s.brush = FindGdiObject<Brush>(s.brushHandle);
  s.fontHandle = GetStockObject(SYSTEM_FONT);
  s.font = FindGdiObject<Font>(s.fontHandle);
  s.paletteHandle = GetStockObject(DEFAULT_PALETTE);
  s.palette = FindGdiObject<Palette>(s.paletteHandle);
}

template <class F>
auto WithDC(HDC hdc, F f, decltype(f(std::declval<DeviceContext&>())) failure) {
  auto dc = FindDC(hdc);
  return dc ? f(*dc) : failure;
}

int ClipResult(const DeviceContext& dc) {
  RectList all;
  for (const Piece& p : dc.Pieces())
    for (const RECT& r : p.visible) all.push_back(Offset(r, -p.origin.x, -p.origin.y));
  return RegionKind(all);
}

}  // namespace

namespace gdi {

// Creates a DC of the given kind and registers it.
HDC NewDC(std::shared_ptr<DeviceContext> dc) {
  SelectDefaults(dc->s);
  const uintptr_t value = DcTable().Add(dc);
  dc->handle = value;
  return reinterpret_cast<HDC>(value);
}

std::shared_ptr<DeviceContext> RemoveDC(HDC hdc) {
  auto dc = DcTable().Remove(reinterpret_cast<uintptr_t>(hdc));
  if (!dc) return nullptr;
  auto release = [&](DcState& s) {
    if (s.bitmap && s.bitmap->selectedInto == dc->handle) s.bitmap->selectedInto = 0;
  };
  release(dc->s);
  for (DcState& s : dc->saved) release(s);
  return dc;
}

}  // namespace gdi

HDC CreateCompatibleDC(HDC hdc) {
  if (hdc && !FindDC(hdc)) return nullptr;
  auto dc = std::make_shared<DeviceContext>();
  dc->type = DeviceContext::Type::Memory;
  HDC result = NewDC(dc);
  dc->s.bitmapHandle = GetStockObject(VORIX_DEFAULT_BITMAP);
  dc->s.bitmap = FindGdiObject<Bitmap>(dc->s.bitmapHandle);
  return result;
}

BOOL DeleteDC(HDC hdc) {
  auto dc = FindDC(hdc);
  return RemoveDC(hdc) ? TRUE : FALSE;
}

int SaveDC(HDC hdc) {
  return WithDC(hdc, [](DeviceContext& dc) {
    dc.saved.push_back(dc.s);
    return static_cast<int>(dc.saved.size());
  }, 0);
}

BOOL RestoreDC(HDC hdc, int savedDC) {
  return WithDC(hdc, [&](DeviceContext& dc) -> BOOL {
    const int depth = static_cast<int>(dc.saved.size());
    const int target = savedDC < 0 ? depth + savedDC + 1 : savedDC;
    if (target < 1 || target > depth) return FALSE;
    DcState restored = dc.saved[static_cast<size_t>(target - 1)];
    dc.saved.resize(static_cast<size_t>(target - 1));
    if (dc.s.bitmap != restored.bitmap) {
      if (dc.s.bitmap && dc.s.bitmap->selectedInto == dc.handle) dc.s.bitmap->selectedInto = 0;
      if (restored.bitmap) restored.bitmap->selectedInto = dc.handle;
    }
    dc.s = std::move(restored);
    return TRUE;
  }, FALSE);
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object) {
  auto dc = FindDC(hdc);
  auto obj = GdiObjects().Find(reinterpret_cast<uintptr_t>(object));
  if (!dc || !obj) return nullptr;
  DcState& s = dc->s;
  auto swap = [&](auto& slot, HGDIOBJ& handleSlot, auto typed) -> HGDIOBJ {
    HGDIOBJ previous = handleSlot;
    slot = typed;
    handleSlot = object;
    return previous;
  };
  switch (obj->Kind()) {
    case GdiKind::Pen:
    case GdiKind::ExtPen:
      return swap(s.pen, s.penHandle, std::static_pointer_cast<Pen>(obj));
    case GdiKind::Brush:
      return swap(s.brush, s.brushHandle, std::static_pointer_cast<Brush>(obj));
    case GdiKind::Font:
      return swap(s.font, s.fontHandle, std::static_pointer_cast<Font>(obj));
    case GdiKind::Palette:
      return swap(s.palette, s.paletteHandle, std::static_pointer_cast<Palette>(obj));
    case GdiKind::Bitmap: {
      if (dc->type != DeviceContext::Type::Memory) return nullptr;
      auto bitmap = std::static_pointer_cast<Bitmap>(obj);
      if (bitmap == s.bitmap) return object;
      // One DC at a time; the shared default bitmap is exempt.
      if (bitmap->selectedInto && bitmap->selectedInto != dc->handle && !bitmap->stock) return nullptr;
      if (s.bitmap && s.bitmap->selectedInto == dc->handle) s.bitmap->selectedInto = 0;
      if (!bitmap->stock) bitmap->selectedInto = dc->handle;
      // A new surface starts without the old clip's meaning.
      return swap(s.bitmap, s.bitmapHandle, bitmap);
    }
    case GdiKind::Region: {
      const int kind = SelectClipRgn(hdc, reinterpret_cast<HRGN>(object));
      return reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(kind));
    }
    default:
      return nullptr;
  }
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT kind) {
  return WithDC(hdc, [&](DeviceContext& dc) -> HGDIOBJ {
    switch (kind) {
      case OBJ_PEN: return dc.s.penHandle;
      case OBJ_BRUSH: return dc.s.brushHandle;
      case OBJ_FONT: return dc.s.fontHandle;
      case OBJ_PAL: return dc.s.paletteHandle;
      case OBJ_BITMAP: return dc.s.bitmapHandle;
      default: return nullptr;
    }
  }, nullptr);
}

namespace {

BOOL SetPoint(HDC hdc, POINT DcState::*field, int x, int y, POINT* previous, bool relative) {
  return WithDC(hdc, [&](DeviceContext& dc) -> BOOL {
    POINT& p = dc.s.*field;
    if (previous) *previous = p;
    p = relative ? POINT{p.x + x, p.y + y} : POINT{x, y};
    return TRUE;
  }, FALSE);
}

BOOL GetPoint(HDC hdc, POINT DcState::*field, POINT* out) {
  return WithDC(hdc, [&](DeviceContext& dc) -> BOOL {
    if (out) *out = dc.s.*field;
    return TRUE;
  }, FALSE);
}

template <class T>
T SetField(HDC hdc, T DcState::*field, T value, T failure) {
  return WithDC(hdc, [&](DeviceContext& dc) {
    T previous = dc.s.*field;
    dc.s.*field = value;
    return previous;
  }, failure);
}

template <class T>
T GetField(HDC hdc, T DcState::*field, T failure) {
  return WithDC(hdc, [&](DeviceContext& dc) { return dc.s.*field; }, failure);
}

}  // namespace

BOOL SetViewportOrgEx(HDC hdc, int x, int y, POINT* previous) { return SetPoint(hdc, &DcState::viewportOrg, x, y, previous, false); }
BOOL GetViewportOrgEx(HDC hdc, POINT* origin) { return GetPoint(hdc, &DcState::viewportOrg, origin); }
BOOL OffsetViewportOrgEx(HDC hdc, int dx, int dy, POINT* previous) { return SetPoint(hdc, &DcState::viewportOrg, dx, dy, previous, true); }
BOOL SetWindowOrgEx(HDC hdc, int x, int y, POINT* previous) { return SetPoint(hdc, &DcState::windowOrg, x, y, previous, false); }
BOOL GetWindowOrgEx(HDC hdc, POINT* origin) { return GetPoint(hdc, &DcState::windowOrg, origin); }
BOOL OffsetWindowOrgEx(HDC hdc, int dx, int dy, POINT* previous) { return SetPoint(hdc, &DcState::windowOrg, dx, dy, previous, true); }
BOOL SetBrushOrgEx(HDC hdc, int x, int y, POINT* previous) { return SetPoint(hdc, &DcState::brushOrg, x, y, previous, false); }
BOOL GetBrushOrgEx(HDC hdc, POINT* origin) { return GetPoint(hdc, &DcState::brushOrg, origin); }

int SetMapMode(HDC hdc, int mode) { return FindDC(hdc) && mode == MM_TEXT ? MM_TEXT : 0; }
int GetMapMode(HDC hdc) { return FindDC(hdc) ? MM_TEXT : 0; }

BOOL LPtoDP(HDC hdc, POINT* points, int count) {
  return WithDC(hdc, [&](DeviceContext& dc) -> BOOL {
    for (int i = 0; i < count; ++i) points[i] = dc.ToDevice(points[i].x, points[i].y);
    return TRUE;
  }, FALSE);
}

BOOL DPtoLP(HDC hdc, POINT* points, int count) {
  return WithDC(hdc, [&](DeviceContext& dc) -> BOOL {
    for (int i = 0; i < count; ++i) points[i] = {points[i].x - dc.DX(), points[i].y - dc.DY()};
    return TRUE;
  }, FALSE);
}

COLORREF SetTextColor(HDC hdc, COLORREF c) { return SetField(hdc, &DcState::textColor, c, CLR_INVALID); }
COLORREF GetTextColor(HDC hdc) { return GetField(hdc, &DcState::textColor, CLR_INVALID); }
COLORREF SetBkColor(HDC hdc, COLORREF c) { return SetField(hdc, &DcState::bkColor, c, CLR_INVALID); }
COLORREF GetBkColor(HDC hdc) { return GetField(hdc, &DcState::bkColor, CLR_INVALID); }
COLORREF SetDCBrushColor(HDC hdc, COLORREF c) { return SetField(hdc, &DcState::dcBrushColor, c, CLR_INVALID); }
COLORREF SetDCPenColor(HDC hdc, COLORREF c) { return SetField(hdc, &DcState::dcPenColor, c, CLR_INVALID); }

int SetBkMode(HDC hdc, int mode) {
  if (mode != TRANSPARENT && mode != OPAQUE) return 0;
  return SetField(hdc, &DcState::bkMode, mode, 0);
}
int GetBkMode(HDC hdc) { return GetField(hdc, &DcState::bkMode, 0); }
int SetROP2(HDC hdc, int mode) {
  if (mode < R2_BLACK || mode > R2_WHITE) return 0;
  return SetField(hdc, &DcState::rop2, mode, 0);
}
int GetROP2(HDC hdc) { return GetField(hdc, &DcState::rop2, 0); }
int SetPolyFillMode(HDC hdc, int mode) {
  if (mode != ALTERNATE && mode != WINDING) return 0;
  return SetField(hdc, &DcState::polyFillMode, mode, 0);
}
int GetPolyFillMode(HDC hdc) { return GetField(hdc, &DcState::polyFillMode, 0); }
int SetStretchBltMode(HDC hdc, int mode) {
  if (mode < BLACKONWHITE || mode > HALFTONE) return 0;
  return SetField(hdc, &DcState::stretchMode, mode, 0);
}
int GetStretchBltMode(HDC hdc) { return GetField(hdc, &DcState::stretchMode, 0); }
int SetArcDirection(HDC hdc, int d) {
  if (d != AD_COUNTERCLOCKWISE && d != AD_CLOCKWISE) return 0;
  return SetField(hdc, &DcState::arcDirection, d, 0);
}
int GetArcDirection(HDC hdc) { return GetField(hdc, &DcState::arcDirection, 0); }

// ---- clipping ----

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom) {
  return WithDC(hdc, [&](DeviceContext& dc) {
    const RECT r = dc.ToDevice(RECT{left, top, right, bottom});
    dc.s.clip = IntersectList(dc.s.clip ? *dc.s.clip : RectList{kEverything}, r);
    return ClipResult(dc);
  }, ERROR);
}

int ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom) {
  return WithDC(hdc, [&](DeviceContext& dc) {
    const RECT r = dc.ToDevice(RECT{left, top, right, bottom});
    dc.s.clip = SubtractRect(dc.s.clip ? *dc.s.clip : RectList{kEverything}, r);
    return ClipResult(dc);
  }, ERROR);
}

int OffsetClipRgn(HDC hdc, int dx, int dy) {
  return WithDC(hdc, [&](DeviceContext& dc) {
    if (dc.s.clip)
      for (RECT& r : *dc.s.clip)
        if (r.left != kEverything.left) r = Offset(r, dx, dy);
    return ClipResult(dc);
  }, ERROR);
}

int GetClipBox(HDC hdc, RECT* rect) {
  return WithDC(hdc, [&](DeviceContext& dc) {
    RectList all;
    for (const Piece& p : dc.Pieces())
      for (const RECT& r : p.visible) all.push_back(Offset(r, -p.origin.x - dc.DX(), -p.origin.y - dc.DY()));
    if (rect) *rect = Bounds(all);
    return RegionKind(all);
  }, ERROR);
}

BOOL RectVisible(HDC hdc, const RECT* rect) {
  if (!rect) return FALSE;
  return WithDC(hdc, [&](DeviceContext& dc) -> BOOL {
    RECT d = dc.ToDevice(*rect);
    if (d.left > d.right) std::swap(d.left, d.right);
    if (d.top > d.bottom) std::swap(d.top, d.bottom);
    for (const Piece& p : dc.Pieces())
      if (!IntersectList(p.visible, Offset(d, p.origin.x, p.origin.y)).empty()) return TRUE;
    return FALSE;
  }, FALSE);
}

BOOL PtVisible(HDC hdc, int x, int y) {
  const RECT r{x, y, x + 1, y + 1};
  return RectVisible(hdc, &r);
}

namespace {
std::atomic<int> g_screenBitsPerPixel{32};
}  // namespace

void SetScreenBitsPerPixel(int bits) { g_screenBitsPerPixel = bits > 0 ? bits : 32; }

int GetDeviceCaps(HDC hdc, int index) {
  auto dc = FindDC(hdc);
  if (!dc) return 0;
  // Memory DCs answer for the display they are compatible with, whatever
  // bitmap they hold; window DCs too, as they are on the display.
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  switch (index) {
    case HORZRES: return width;
    case VERTRES: return height;
    case HORZSIZE: return width * 254 / 960;
    case VERTSIZE: return height * 254 / 960;
    case BITSPIXEL: return g_screenBitsPerPixel;
    case PLANES: return 1;
    case NUMCOLORS: return -1;
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    case RASTERCAPS: return RC_BITBLT | RC_STRETCHBLT | RC_DI_BITMAP;
    case SIZEPALETTE:
    case NUMRESERVED: return 0;
    case COLORRES: return 24;
    case SHADEBLENDCAPS: return 0x13;  // constant, per-pixel alpha and gradients
    default: return 0;
  }
}

// ---- palettes ----

HPALETTE CreatePalette(const LOGPALETTE* palette) {
  if (!palette || palette->palNumEntries == 0) return nullptr;
  auto p = std::make_shared<Palette>();
  for (int i = 0; i < palette->palNumEntries; ++i) {
    const PALETTEENTRY& e = palette->palPalEntry[i];
    p->entries.push_back((static_cast<uint32_t>(e.peRed) << 16) | (e.peGreen << 8) | e.peBlue);
  }
  return static_cast<HPALETTE>(AddGdiObject(p));
}

HPALETTE SelectPalette(HDC hdc, HPALETTE palette, BOOL) {
  if (!FindGdiObject<Palette>(palette)) return nullptr;
  return static_cast<HPALETTE>(SelectObject(hdc, palette));
}

UINT RealizePalette(HDC hdc) { return FindDC(hdc) ? 0 : 0xFFFFFFFFu; }

UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries) {
  auto p = FindGdiObject<Palette>(palette);
  if (!p) return 0;
  if (!entries) return static_cast<UINT>(p->entries.size());
  UINT n = 0;
  for (UINT i = start; i < p->entries.size() && n < count; ++i, ++n) {
    const uint32_t c = p->entries[i];
    entries[n] = {static_cast<BYTE>(c >> 16), static_cast<BYTE>(c >> 8), static_cast<BYTE>(c), 0};
  }
  return n;
}

UINT GetSystemPaletteEntries(HDC, UINT, UINT, PALETTEENTRY*) { return 0; }

UINT GetNearestPaletteIndex(HPALETTE palette, COLORREF color) {
  auto p = FindGdiObject<Palette>(palette);
  if (!p || p->entries.empty()) return 0xFFFFFFFFu;
  return static_cast<UINT>(NearestPaletteIndex(p->entries, ToPixel(PlainColor(color))));
}

COLORREF GetNearestColor(HDC hdc, COLORREF color) {
  auto dc = FindDC(hdc);
  if (!dc) return CLR_INVALID;
  const COLORREF plain = PlainColor(color);
  return dc->Monochrome() ? ToColorRef(ToMono(ToPixel(plain))) : plain;
}

BOOL GdiFlush() { return TRUE; }

}  // namespace win
