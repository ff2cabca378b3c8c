#pragma once
// The drawing objects and device contexts as the GDI files share them.
// Not part of the public API: callers see handles only.
#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/win/Dib.h"
#include "platform/win/GdiObject.h"
#include "platform/win/Surface.h"
#include "platform/win/Types.h"

namespace win::gdi {

// 0x00BBGGRR to surface 0x00RRGGBB (alpha zero, as GDI writes).
inline uint32_t ToPixel(COLORREF c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }
inline COLORREF ToColorRef(uint32_t p) { return ((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16); }
// Drops the palette-relative and palette-index flags of a COLORREF.
inline COLORREF PlainColor(COLORREF c) { return c & 0xFFFFFF; }
// The nearest of black and white, as drawing on a monochrome target needs.
inline uint32_t ToMono(uint32_t pixel) {
  const int sum = static_cast<int>(((pixel >> 16) & 0xFF) + ((pixel >> 8) & 0xFF) + (pixel & 0xFF));
  return sum >= 384 ? 0xFFFFFFu : 0u;
}

// ---- rectangle lists (disjoint rectangles, right/bottom exclusive) ----
using RectList = std::vector<RECT>;
bool IsEmpty(const RECT& r);
RECT Intersect(const RECT& a, const RECT& b);
RECT Offset(RECT r, int dx, int dy);
RectList IntersectLists(const RectList& a, const RectList& b);
RectList IntersectList(const RectList& a, const RECT& r);
RectList SubtractRect(const RectList& a, const RECT& r);
RECT Bounds(const RectList& a);
int RegionKind(const RectList& a);

// ---- objects ----
class Bitmap : public GdiObject {
public:
  GdiKind Kind() const override { return GdiKind::Bitmap; }
  int32_t Width() const { return surface->Width(); }
  int32_t Height() const { return surface->Height(); }
  // A device bitmap of one bit per pixel: its pixels are black or white
  // and blits convert through the text and background colours.
  bool Monochrome() const { return !dib && bitCount == 1; }
  // DIB sections other than 32 bits keep their caller-visible bits in
  // `bits` and draw through `surface`; these keep the two in step.
  void PullBits();
  void PushBits();
  bool NeedsSync() const { return dib && bitCount != 32; }
  // Row-wise syncing for drawing calls, so one SetPixel on a large 24-bit
  // section converts one row rather than the whole picture: rows are read
  // from the bits when first touched and written back at the end.
  void BeginSync();
  void EnsureRow(int32_t y);
  void EnsureRows(int32_t top, int32_t bottom);
  void MarkDirty(int32_t y);
  void EndSync();
  // Inside a scope, a pixel of a row not yet read, taken from the bits
  // without converting the row; false when the surface holds the row.
  bool ReadBitsPixel(int32_t x, int32_t y, uint32_t* pixel) const;

  std::shared_ptr<Surface> surface;
  int bitCount = 32;
  bool dib = false;
  DibFormat format;                 // DIB sections only
  std::unique_ptr<uint8_t[]> bits;  // DIB sections only
  uintptr_t selectedInto = 0;       // the memory DC holding it

private:
  std::vector<uint8_t> rowState_;  // 0 stale, 1 read, 2 written
  std::vector<int32_t> touchedRows_;  // rows not stale in the open scope
  int syncDepth_ = 0;
};

class Pen : public GdiObject {
public:
  GdiKind Kind() const override { return extended ? GdiKind::ExtPen : GdiKind::Pen; }
  int style = 0;  // PS_* low bits
  int width = 1;
  COLORREF color = 0;
  bool extended = false;
  bool dcPen = false;  // DC_PEN: colour from the DC
  DWORD fullStyle = 0;
};

class Brush : public GdiObject {
public:
  GdiKind Kind() const override { return GdiKind::Brush; }
  UINT style = 0;  // BS_*
  COLORREF color = 0;
  int hatch = 0;
  bool dcBrush = false;
  // Pattern brushes: a copy of the bitmap's pixels; a monochrome pattern
  // takes the DC's text (0) and background (1) colours when drawn.
  std::shared_ptr<Surface> pattern;
  bool monoPattern = false;
};

class Palette : public GdiObject {
public:
  GdiKind Kind() const override { return GdiKind::Palette; }
  std::vector<uint32_t> entries;  // 0x00RRGGBB
};

class Font;  // Font.cpp

// ---- device contexts ----
// One surface a DC draws through: the bitmap of a memory DC, the window's
// part of its top-level surface, or one top-level window for the screen.
struct Piece {
  std::shared_ptr<Surface> surface;
  Bitmap* sync = nullptr;  // a DIB section whose rows need syncing
  POINT origin;      // where device (0, 0) falls on the surface
  RectList visible;  // surface coordinates
  HWND topLevel = nullptr;
};

struct DcState {
  std::shared_ptr<Bitmap> bitmap;
  std::shared_ptr<Pen> pen;
  std::shared_ptr<Brush> brush;
  std::shared_ptr<Font> font;
  std::shared_ptr<Palette> palette;
  HGDIOBJ bitmapHandle = nullptr, penHandle = nullptr, brushHandle = nullptr, fontHandle = nullptr,
          paletteHandle = nullptr;
  POINT viewportOrg{}, windowOrg{}, brushOrg{}, currentPos{};
  std::optional<RectList> clip;  // device coordinates
  COLORREF textColor = 0;
  COLORREF bkColor = 0xFFFFFF;
  int bkMode = 2;        // OPAQUE
  int rop2 = 13;         // R2_COPYPEN
  int polyFillMode = 1;  // ALTERNATE
  int stretchMode = 1;   // BLACKONWHITE
  int arcDirection = 1;  // AD_COUNTERCLOCKWISE
  UINT textAlign = 0;
  int textCharExtra = 0;
  COLORREF dcBrushColor = 0xFFFFFF;
  COLORREF dcPenColor = 0;
};

class DeviceContext {
public:
  enum class Type { Memory, Window, Screen };
  Type type = Type::Memory;
  HWND hwnd = nullptr;
  bool wholeWindow = false;  // GetWindowDC / DCX_WINDOW
  DWORD flags = 0;
  // Extra clipping fixed at creation (BeginPaint's update region, GetDCEx
  // regions), in device coordinates.
  std::optional<RectList> metaClip;
  std::optional<RectList> metaExclude;
  DcState s;
  std::vector<DcState> saved;
  uintptr_t handle = 0;

  // Where drawing goes now, each piece's visible part already cut by the
  // DC's clip. Window and screen DCs ask the window manager every time, so
  // a window that moved since GetDC is drawn where it is.
  std::vector<Piece> Pieces() const;
  bool Monochrome() const { return type == Type::Memory && s.bitmap && s.bitmap->Monochrome(); }

  POINT ToDevice(int x, int y) const {
    return {x - s.windowOrg.x + s.viewportOrg.x, y - s.windowOrg.y + s.viewportOrg.y};
  }
  RECT ToDevice(const RECT& r) const {
    const POINT a = ToDevice(r.left, r.top), b = ToDevice(r.right, r.bottom);
    return {a.x, a.y, b.x, b.y};
  }
  int DX() const { return s.viewportOrg.x - s.windowOrg.x; }
  int DY() const { return s.viewportOrg.y - s.windowOrg.y; }
  // The device rectangle drawing may touch (union of visible pieces),
  // relative to device (0, 0).
  RECT DeviceBounds() const;
};

std::shared_ptr<DeviceContext> FindDC(HDC hdc);
HDC NewDC(std::shared_ptr<DeviceContext> dc);
std::shared_ptr<DeviceContext> RemoveDC(HDC hdc);

// Set by the window DC code when it makes its first DC, so memory-only
// users of the drawing code do not pull in the window manager.
extern std::vector<Piece> (*g_windowPieces)(const DeviceContext&);
extern void (*g_surfaceChanged)(HWND topLevel, const RECT& surfaceRect);

// Keeps DIB-section bits and the drawing surface in step around one call:
// pulls the caller's bits before, pushes them back after a write, and tells
// the window manager what changed on window and screen DCs.
class DrawScope {
public:
  DrawScope(DeviceContext& dc, bool writes);
  ~DrawScope();
  DrawScope(const DrawScope&) = delete;
  DrawScope& operator=(const DrawScope&) = delete;
  const std::vector<Piece>& Pieces() const { return pieces_; }
  // Records a surface rectangle of piece `index` as changed.
  void Touch(size_t index, const RECT& surfaceRect);
  DeviceContext& Dc() { return dc_; }

private:
  DeviceContext& dc_;
  bool writes_;
  // Held so a bitmap swapped out mid-call still gets its rows written back.
  std::shared_ptr<Bitmap> bitmap_;
  std::vector<Piece> pieces_;
  std::vector<RECT> touched_;  // per piece, surface coordinates
};

// ---- the span painter every primitive draws through ----
// How one pixel is combined: a solid colour or a brush pattern, mixed with
// the destination by a ROP2 code.
struct Paint {
  bool pattern = false;
  uint32_t color = 0;                  // solid: surface pixel
  const Surface* patternSurface = nullptr;
  bool monoPattern = false;
  uint32_t fore = 0, back = 0xFFFFFF;  // mono pattern colours
  int hatch = -1;                      // >= 0: hatch brush, drawn in `color`
  bool hatchOpaque = false;            // background of hatches in `back`
  POINT brushOrg{};                    // device coordinates
  int rop2 = 13;
  bool monoTarget = false;

  uint32_t PatternAt(int x, int y) const;  // device coordinates; bit 31 set = leave pixel alone
};

uint32_t ApplyRop2(int rop2, uint32_t pen, uint32_t dest);

// Fills device-space spans [x0, x1) on row y, clipped by every piece.
class Raster {
public:
  explicit Raster(DrawScope& scope) : scope_(scope) {}
  void Span(int y, int x0, int x1, const Paint& paint);
  void Rect(const RECT& device, const Paint& paint);
  void Pixel(int x, int y, const Paint& paint) { Span(y, x, x + 1, paint); }
  // Calls f(row pointer at x0, count, device x0, device y) for every
  // visible part of the span, and records it as changed.
  template <class F>
  void ForEachSpan(int y, int x0, int x1, F&& f);
  // Calls f(surface, surface rectangle, device left, device top) for every
  // visible part of the device rectangle, with its rows synced and
  // recorded as changed, so a whole-rectangle operation can run at once.
  template <class F>
  void ForEachRect(const RECT& device, F&& f);

private:
  DrawScope& scope_;
};

template <class F>
void Raster::ForEachSpan(int y, int x0, int x1, F&& f) {
  if (x1 <= x0) return;
  const auto& pieces = scope_.Pieces();
  for (size_t i = 0; i < pieces.size(); ++i) {
    const Piece& p = pieces[i];
    const int sy = y + p.origin.y;
    const int sx0 = x0 + p.origin.x, sx1 = x1 + p.origin.x;
    for (const RECT& r : p.visible) {
      if (sy < r.top || sy >= r.bottom) continue;
      const int a = sx0 > r.left ? sx0 : r.left;
      const int b = sx1 < r.right ? sx1 : r.right;
      if (a >= b) continue;
      if (p.sync) {
        p.sync->EnsureRow(sy);
        p.sync->MarkDirty(sy);
      }
      f(p.surface->Row(sy) + a, b - a, a - p.origin.x, y);
      scope_.Touch(i, RECT{a, sy, b, sy + 1});
    }
  }
}

template <class F>
void Raster::ForEachRect(const RECT& device, F&& f) {
  if (device.right <= device.left || device.bottom <= device.top) return;
  const auto& pieces = scope_.Pieces();
  for (size_t i = 0; i < pieces.size(); ++i) {
    const Piece& p = pieces[i];
    const RECT onSurface{device.left + p.origin.x, device.top + p.origin.y, device.right + p.origin.x,
                         device.bottom + p.origin.y};
    for (const RECT& v : p.visible) {
      const RECT r{std::max(onSurface.left, v.left), std::max(onSurface.top, v.top),
                   std::min(onSurface.right, v.right), std::min(onSurface.bottom, v.bottom)};
      if (r.left >= r.right || r.top >= r.bottom) continue;
      if (p.sync) {
        p.sync->EnsureRows(r.top, r.bottom);
        for (int y = r.top; y < r.bottom; ++y) p.sync->MarkDirty(y);
      }
      f(*p.surface, r, r.left - p.origin.x, r.top - p.origin.y);
      scope_.Touch(i, r);
    }
  }
}

// Paints for the DC's current pen (null when the pen draws nothing) and
// brush (null for a hollow brush).
std::optional<Paint> PenPaint(const DeviceContext& dc);
std::optional<Paint> BrushPaint(const DeviceContext& dc, const Brush* brush = nullptr);
Paint SolidPaint(const DeviceContext& dc, COLORREF color, int rop2 = 13);

// Reads a device pixel (first piece that shows it); false outside.
bool ReadDevicePixel(const DeviceContext& dc, int x, int y, uint32_t* pixel);

}  // namespace win::gdi
