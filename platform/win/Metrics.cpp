#include "platform/win/Metrics.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <mutex>

#include "platform/win/Monitors.h"

namespace win {
namespace {

// The classic scheme's colours.
constexpr std::array<COLORREF, 31> kClassicColours = {
    RGB(212, 208, 200),  // scroll bar
    RGB(58, 110, 165),   // desktop
    RGB(10, 36, 106),    // active caption
    RGB(128, 128, 128),  // inactive caption
    RGB(212, 208, 200),  // menu
    RGB(255, 255, 255),  // window
    RGB(0, 0, 0),        // window frame
    RGB(0, 0, 0),        // menu text
    RGB(0, 0, 0),        // window text
    RGB(255, 255, 255),  // caption text
    RGB(212, 208, 200),  // active border
    RGB(212, 208, 200),  // inactive border
    RGB(128, 128, 128),  // application workspace
    RGB(10, 36, 106),    // highlight
    RGB(255, 255, 255),  // highlight text
    RGB(212, 208, 200),  // button face
    RGB(128, 128, 128),  // button shadow
    RGB(128, 128, 128),  // grey text
    RGB(0, 0, 0),        // button text
    RGB(212, 208, 200),  // inactive caption text
    RGB(255, 255, 255),  // button highlight
    RGB(64, 64, 64),     // 3-D dark shadow
    RGB(212, 208, 200),  // 3-D light
    RGB(0, 0, 0),        // tooltip text
    RGB(255, 255, 225),  // tooltip background
    RGB(181, 181, 181),  // (unnamed)
    RGB(0, 0, 128),      // hot-tracked item
    RGB(166, 202, 240),  // active caption gradient
    RGB(192, 192, 192),  // inactive caption gradient
    RGB(10, 36, 106),    // menu highlight
    RGB(212, 208, 200),  // menu bar
};

std::mutex& colourMutex() {
  static std::mutex m;
  return m;
}
std::array<COLORREF, 31>& colours() {
  static std::array<COLORREF, 31> c = kClassicColours;
  return c;
}

std::atomic<UINT> doubleClickTime{500};

}  // namespace

COLORREF GetSysColor(int index) {
  if (index < 0 || index >= static_cast<int>(kClassicColours.size())) return 0;
  std::lock_guard lock(colourMutex());
  return colours()[static_cast<size_t>(index)];
}

BOOL SetSysColors(int count, const int* indexes, const COLORREF* values) {
  if (count < 0 || (count > 0 && (!indexes || !values))) return FALSE;
  std::lock_guard lock(colourMutex());
  for (int i = 0; i < count; ++i) {
    if (indexes[i] >= 0 && indexes[i] < static_cast<int>(kClassicColours.size()))
      colours()[static_cast<size_t>(indexes[i])] = values[i] & 0xFFFFFF;
  }
  return TRUE;
}

void ResetSysColors() {
  std::lock_guard lock(colourMutex());
  colours() = kClassicColours;
}

int GetSystemMetrics(int index) {
  const auto monitors = GetMonitorLayout();
  const RECT primary = monitors.front().monitor;
  const RECT work = monitors.front().work;
  RECT virt = primary;
  for (const auto& m : monitors) {
    virt.left = std::min(virt.left, m.monitor.left);
    virt.top = std::min(virt.top, m.monitor.top);
    virt.right = std::max(virt.right, m.monitor.right);
    virt.bottom = std::max(virt.bottom, m.monitor.bottom);
  }
  switch (index) {
    case SM_CXSCREEN: return primary.Width();
    case SM_CYSCREEN: return primary.Height();
    case SM_CXVSCROLL: case SM_CYHSCROLL: case SM_CYVSCROLL: case SM_CXHSCROLL: return 16;
    case SM_CYVTHUMB: case SM_CXHTHUMB: return 16;
    case SM_CYCAPTION: return 19;
    case SM_CXBORDER: case SM_CYBORDER: return 1;
    case SM_CXFIXEDFRAME: case SM_CYFIXEDFRAME: return 3;
    case SM_CXSIZEFRAME: case SM_CYSIZEFRAME: return 4;
    case SM_CXEDGE: case SM_CYEDGE: return 2;
    case SM_CXICON: case SM_CYICON: case SM_CXCURSOR: case SM_CYCURSOR: return 32;
    case SM_CXSMICON: case SM_CYSMICON: return 16;
    case SM_CYMENU: return 19;
    case SM_CXFULLSCREEN: return work.Width();
    case SM_CYFULLSCREEN: return work.Height() - 19;
    case SM_MOUSEPRESENT: case SM_MOUSEWHEELPRESENT: case SM_SAMEDISPLAYFORMAT: return 1;
    case SM_CMOUSEBUTTONS: return 3;
    case SM_CXMIN: case SM_CXMINTRACK: return 112;
    case SM_CYMIN: case SM_CYMINTRACK: return 27;
    case SM_CXSIZE: case SM_CYSIZE: return 18;
    case SM_CXSMSIZE: return 12;
    case SM_CYSMSIZE: return 14;
    case SM_CXMENUSIZE: case SM_CYMENUSIZE: return 18;
    case SM_CYSMCAPTION: return 15;
    case SM_CXDOUBLECLK: case SM_CYDOUBLECLK: return 4;
    case SM_CXDRAG: case SM_CYDRAG: return 4;
    case SM_CXICONSPACING: case SM_CYICONSPACING: return 75;
    case SM_CXMINSPACING: return 160;
    case SM_CYMINSPACING: return 24;
    case SM_CXMINIMIZED: return 160;
    case SM_CYMINIMIZED: return 24;
    case SM_ARRANGE: return 8;
    case SM_CXMENUCHECK: case SM_CYMENUCHECK: return 13;
    case SM_CXMAXTRACK: return virt.Width() + 12;
    case SM_CYMAXTRACK: return virt.Height() + 12;
    case SM_CXMAXIMIZED: return work.Width() + 8;
    case SM_CYMAXIMIZED: return work.Height() + 8;
    case SM_NETWORK: return 3;
    case SM_XVIRTUALSCREEN: return virt.left;
    case SM_YVIRTUALSCREEN: return virt.top;
    case SM_CXVIRTUALSCREEN: return virt.Width();
    case SM_CYVIRTUALSCREEN: return virt.Height();
    case SM_CMONITORS: return static_cast<int>(monitors.size());
    default: return 0;
  }
}

namespace {
LOGFONTA classicFont(LONG weight) {
  LOGFONTA f;
  f.lfHeight = -11;  // 8 points at 96 DPI
  f.lfWeight = weight;
  std::copy_n("Tahoma", 7, f.lfFaceName);
  return f;
}
}  // namespace

BOOL SystemParametersInfo(UINT action, UINT, void* pvParam, UINT) {
  if (action == SPI_GETWORKAREA && pvParam) {
    *static_cast<RECT*>(pvParam) = GetMonitorLayout().front().work;
    return TRUE;
  }
  if (action == SPI_GETWHEELSCROLLLINES && pvParam) {
    *static_cast<UINT*>(pvParam) = 3;
    return TRUE;
  }
  if (action == SPI_GETNONCLIENTMETRICS && pvParam) {
    auto* m = static_cast<NONCLIENTMETRICSA*>(pvParam);
    if (m->cbSize != sizeof(NONCLIENTMETRICSA)) return FALSE;
    m->iBorderWidth = 1;
    m->iScrollWidth = GetSystemMetrics(SM_CXVSCROLL);
    m->iScrollHeight = GetSystemMetrics(SM_CYHSCROLL);
    m->iCaptionWidth = GetSystemMetrics(SM_CXSIZE);
    m->iCaptionHeight = GetSystemMetrics(SM_CYCAPTION) - 1;
    m->lfCaptionFont = classicFont(FW_BOLD);
    m->iSmCaptionWidth = GetSystemMetrics(SM_CXSMSIZE);
    m->iSmCaptionHeight = GetSystemMetrics(SM_CYSMCAPTION) - 1;
    m->lfSmCaptionFont = classicFont(FW_BOLD);
    m->iMenuWidth = GetSystemMetrics(SM_CXMENUSIZE);
    m->iMenuHeight = GetSystemMetrics(SM_CYMENU) - 1;
    m->lfMenuFont = classicFont(FW_NORMAL);
    m->lfStatusFont = classicFont(FW_NORMAL);
    m->lfMessageFont = classicFont(FW_NORMAL);
    return TRUE;
  }
  return FALSE;
}

UINT GetDoubleClickTime() { return doubleClickTime.load(); }
BOOL SetDoubleClickTime(UINT ms) {
  doubleClickTime.store(ms == 0 ? 500 : ms);
  return TRUE;
}

}  // namespace win
