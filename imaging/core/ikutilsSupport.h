#pragma once
// Small routines the whole imaging component shares: the component-wide
// lock, integer and colour helpers, the scroll-bar calls of the views,
// Bezier sampling, Base64 text, the EXIF orientation fix-up, conditional
// byte swaps, temporary names and a stream write that reports short writes.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "imaging/core/ikdefs.h"
#include "platform/rtl/Streams.h"
#include "platform/win/ScrollBars.h"
#include "platform/win/Types.h"

namespace imaging {

class TIKBitmap;

// The one process-wide lock of the component, re-entrant for its owner.
// Only the thumbnail view's painting, loading and loader completions take it.
std::recursive_mutex& IKGlobalLock();

// ---- integers and colours ----
// Trunc(x) plus 1 when the fraction is positive / minus 1 when negative.
int32_t IntCeiling(double x);
int32_t IntFloor(double x);
inline double MinDouble(double a, double b) { return a < b ? a : b; }
inline double MaxDouble(double a, double b) { return a > b ? a : b; }
inline int32_t IMax(int32_t a, int32_t b) { return a > b ? a : b; }
inline int32_t IMin(int32_t a, int32_t b) { return a < b ? a : b; }
inline int32_t ClampInt(int32_t value, int32_t low, int32_t high) {
  if (value <= low) return low;
  return value < high ? value : high;
}
inline uint8_t ClampByte(int32_t value) {
  return static_cast<uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
}
inline void SwapInts(int32_t& a, int32_t& b) { std::swap(a, b); }
inline void SwapBytes(uint8_t& a, uint8_t& b) { std::swap(a, b); }
inline bool SameRGB(uint32_t a, uint32_t b) { return (a & 0xFFFFFF) == (b & 0xFFFFFF); }
void OrderRectCorners(int32_t& x1, int32_t& y1, int32_t& x2, int32_t& y2);
inline int32_t ChooseInt(bool flag, int32_t a, int32_t b) { return flag ? a : b; }
inline double ChooseDouble(bool flag, double a, double b) { return flag ? a : b; }
// The gray of red x 65536 + green x 256 + blue, with the component's weights.
int32_t PackedRGBToGray(uint32_t color);
inline int32_t GrayOf(const TRGB& c) { return PackedRGBToGray(static_cast<uint32_t>(PackRGB(c))); }
// Exchanges bytes 0 and 2 and clears byte 3: platform colour order to the
// packed order and back.
uint32_t ColorToPackedRGB(uint32_t color);

// The colour record of a platform colour, system colours resolved first.
TRGB ColorToRGBRecord(uint32_t color);

// ---- screen and scroll bars ----
// This platform has one kind of scroll bar, so Flat picks the same calls.
bool IsRemoteSession();
void IKSetScrollRange(win::HWND window, int bar, int minPos, int maxPos, bool flat, bool redraw);
void IKSetScrollInfo(win::HWND window, int bar, const win::SCROLLINFO& info, bool flat, bool redraw);
void IKSetScrollPage(win::HWND window, int bar, int page, bool flat, bool redraw);
void IKSetScrollPos(win::HWND window, int bar, int pos, bool flat, bool redraw);
void IKEnableScrollBar(win::HWND window, int bar, uint32_t arrows, bool flat);
void IKShowScrollBar(win::HWND window, int bar, bool show, bool flat);

// ---- other routines ----
struct TIKPoint {
  int32_t x = 0;
  int32_t y = 0;
  friend bool operator==(const TIKPoint&, const TIKPoint&) = default;
};
// N points of the cubic curve at t = 1/N, 2/N, ..., 1, rounded.
void BezierPoints(TIKPoint p0, TIKPoint p1, TIKPoint p2, TIKPoint p3, int32_t n, std::vector<TIKPoint>& points);
// One group of up to 3 bytes as 4 Base64 characters, "=" for missing bytes.
void Base64Encode3(const uint8_t* in, char* out, int32_t length);
// Writes `text` (Base64 characters) in lines of lineLength / 4 groups.
void WriteBase64Lines(rtl::TStream* stream, const std::string& text, int32_t lineLength);
// Turns the image upright for an EXIF/TIFF orientation value 1..8 (the
// same pixels as the EXIF definition); other values change nothing.
void ApplyExifOrientation(TIKBitmap* bitmap, int32_t orientation);
uint32_t MaybeSwap16(uint32_t value, bool swap);
uint32_t MaybeSwap32(uint32_t value, bool swap);
// Directory + prefix + "-" + 8 hexadecimal digits + ".tmp". The file is
// created here (exclusively), so two callers never get the same name.
bool MakeTempFileName(const String& prefix, const String& directory, String& name);
// Sets `aborting` when the stream took fewer bytes than given.
void WriteStreamChecked(rtl::TStream* stream, std::atomic<bool>& aborting, const void* data, int64_t length);

}  // namespace imaging
