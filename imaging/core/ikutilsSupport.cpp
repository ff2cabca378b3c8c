#include "imaging/core/ikutilsSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <random>

#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/imgkitioParams.h"
#include "imaging/core/imgkitprocGeometry.h"
#include "platform/forms/Graphics.h"
#include "platform/win/Metrics.h"

namespace imaging {

std::recursive_mutex& IKGlobalLock() {
  static std::recursive_mutex lock;
  return lock;
}

int32_t IntCeiling(double x) {
  auto t = static_cast<int32_t>(x);
  if (x - t > 0) ++t;
  return t;
}

int32_t IntFloor(double x) {
  auto t = static_cast<int32_t>(x);
  if (x - t < 0) --t;
  return t;
}

void OrderRectCorners(int32_t& x1, int32_t& y1, int32_t& x2, int32_t& y2) {
  if (x2 < x1) std::swap(x1, x2);
  if (y2 < y1) std::swap(y1, y2);
}

int32_t PackedRGBToGray(uint32_t color) {
  const int32_t r = (color >> 16) & 0xFF, g = (color >> 8) & 0xFF, b = color & 0xFF;
  return (r * GrayWeightRed + g * GrayWeightGreen + b * GrayWeightBlue) / 100;
}

uint32_t ColorToPackedRGB(uint32_t color) {
  return (color & 0xFF) << 16 | (color & 0xFF00) | (color >> 16 & 0xFF);
}

TRGB ColorToRGBRecord(uint32_t color) {
  const uint32_t rgb = forms::ColorToRGB(static_cast<forms::TColor>(color));
  return CreateRGB(static_cast<uint8_t>(rgb), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb >> 16));
}

// ---- screen and scroll bars ----

bool IsRemoteSession() { return win::GetSystemMetrics(win::SM_REMOTESESSION) != 0; }

void IKSetScrollRange(win::HWND window, int bar, int minPos, int maxPos, bool, bool redraw) {
  win::SetScrollRange(window, bar, minPos, maxPos, redraw);
}

void IKSetScrollInfo(win::HWND window, int bar, const win::SCROLLINFO& info, bool, bool redraw) {
  win::SetScrollInfo(window, bar, &info, redraw);
}

void IKSetScrollPage(win::HWND window, int bar, int page, bool, bool redraw) {
  win::SCROLLINFO info;
  info.fMask = win::SIF_PAGE;
  info.nPage = static_cast<win::UINT>(page);
  win::SetScrollInfo(window, bar, &info, redraw);
}

void IKSetScrollPos(win::HWND window, int bar, int pos, bool, bool redraw) {
  win::SetScrollPos(window, bar, pos, redraw);
}

void IKEnableScrollBar(win::HWND window, int bar, uint32_t arrows, bool) { win::EnableScrollBar(window, bar, arrows); }

void IKShowScrollBar(win::HWND window, int bar, bool show, bool) { win::ShowScrollBar(window, bar, show); }

// ---- other routines ----

void BezierPoints(TIKPoint p0, TIKPoint p1, TIKPoint p2, TIKPoint p3, int32_t n, std::vector<TIKPoint>& points) {
  points.clear();
  if (n <= 0) return;
  points.reserve(static_cast<size_t>(n));
  const double step = 1.0 / n;
  double t = 0;
  for (int32_t i = 0; i < n; ++i) {
    t += step;
    const double u = 1 - t;
    const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
    points.push_back({static_cast<int32_t>(std::nearbyint(a * p0.x + b * p1.x + c * p2.x + d * p3.x)),
                      static_cast<int32_t>(std::nearbyint(a * p0.y + b * p1.y + c * p2.y + d * p3.y))});
  }
}

void Base64Encode3(const uint8_t* in, char* out, int32_t length) {
  static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const uint32_t v = static_cast<uint32_t>(in[0]) << 16 | (length > 1 ? in[1] << 8 : 0) | (length > 2 ? in[2] : 0);
  out[0] = alphabet[v >> 18 & 63];
  out[1] = alphabet[v >> 12 & 63];
  out[2] = length > 1 ? alphabet[v >> 6 & 63] : '=';
  out[3] = length > 2 ? alphabet[v & 63] : '=';
}

void WriteBase64Lines(rtl::TStream* stream, const std::string& text, int32_t lineLength) {
  const int32_t groupsPerLine = std::max(1, lineLength / 4);
  int32_t groups = 0;
  std::string out;
  for (size_t i = 0; i < text.size(); i += 4) {
    if (groups == groupsPerLine) {
      out += "\r\n";
      groups = 0;
    }
    out.append(text, i, 4);
    ++groups;
  }
  out += "\r\n";
  stream->WriteBuffer(out.data(), static_cast<int64_t>(out.size()));
}

void ApplyExifOrientation(TIKBitmap* bitmap, int32_t orientation) {
  // 5 is the transpose and 7 the transverse: mirroring after the turn gives
  // those only with 5 turning clockwise and 7 counter-clockwise.
  switch (orientation) {
    case 2: FlipIKBitmap(bitmap, 0); break;
    case 3:
      FlipIKBitmap(bitmap, 1);
      FlipIKBitmap(bitmap, 0);
      break;
    case 4: FlipIKBitmap(bitmap, 1); break;
    case 5:
      RotateIKBitmap(bitmap, false, nullptr, -90, 0, nullptr);
      FlipIKBitmap(bitmap, 0);
      break;
    case 6: RotateIKBitmap(bitmap, false, nullptr, -90, 0, nullptr); break;
    case 7:
      RotateIKBitmap(bitmap, false, nullptr, 90, 0, nullptr);
      FlipIKBitmap(bitmap, 0);
      break;
    case 8: RotateIKBitmap(bitmap, false, nullptr, 90, 0, nullptr); break;
    default: break;
  }
}

uint32_t MaybeSwap16(uint32_t value, bool swap) {
  if (!swap) return value;
  return (value & 0xFF) << 8 | (value >> 8 & 0xFF);
}

uint32_t MaybeSwap32(uint32_t value, bool swap) {
  if (!swap) return value;
  return (value & 0xFF) << 24 | (value & 0xFF00) << 8 | (value >> 8 & 0xFF00) | value >> 24;
}

bool MakeTempFileName(const String& prefix, const String& directory, String& name) {
  static thread_local std::mt19937 random{std::random_device{}()};
  std::uniform_int_distribution<uint32_t> pick(0, 2147483646);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08X", pick(random));
    const String candidate = directory + prefix + "-" + digits + ".tmp";
    const int fd = ::open(candidate.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) {
      ::close(fd);
      name = candidate;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

void WriteStreamChecked(rtl::TStream* stream, std::atomic<bool>& aborting, const void* data, int64_t length) {
  if (stream->Write(data, length) < length) aborting = true;
}

}  // namespace imaging
