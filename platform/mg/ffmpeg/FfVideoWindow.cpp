#include "platform/mg/ffmpeg/FfVideoWindow.h"

#include <mutex>

#include "platform/win/Api.h"

namespace mg::ff {

namespace {

constexpr const char* kClassName = "VideoRenderer";

win::LRESULT VideoWndProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam) {
  auto* self = reinterpret_cast<WindowedVideoRenderer*>(win::GetWindowLongPtr(hwnd, win::GWLP_USERDATA));
  switch (msg) {
    case win::WM_ERASEBKGND:
      return 1;  // the frame covers the whole client area
    case win::WM_PAINT:
      if (self) {
        self->Paint(hwnd);
        return 0;
      }
      break;
    default:
      break;
  }
  // The owner hears of the mouse and the keys through its drain, with the
  // pointer in the drain's own coordinates, as if the video were not there.
  const bool mouse = msg >= win::WM_MOUSEMOVE && msg <= win::WM_MBUTTONDBLCLK;
  const bool key = msg >= win::WM_KEYDOWN && msg <= win::WM_SYSKEYUP;
  win::HWND drain = nullptr;
  if ((mouse || key) && self && self->get_MessageDrain(&drain) == S_OK && drain && win::IsWindow(drain)) {
    if (mouse) {
      win::POINT p{win::GET_X_LPARAM(lParam), win::GET_Y_LPARAM(lParam)};
      win::MapWindowPoints(hwnd, drain, &p, 1);
      lParam = win::MAKELPARAM(static_cast<win::WORD>(p.x), static_cast<win::WORD>(p.y));
    }
    win::PostMessage(drain, msg, wParam, lParam);
    return 0;
  }
  return win::DefWindowProc(hwnd, msg, wParam, lParam);
}

void RegisterWindowClass() {
  static std::once_flag once;
  std::call_once(once, [] {
    win::WNDCLASSA wc{};
    wc.lpfnWndProc = &VideoWndProc;
    // Double clicks reach the drain as such.
    wc.style = win::CS_DBLCLKS;
    wc.lpszClassName = kClassName;
    wc.hbrBackground = reinterpret_cast<win::HBRUSH>(win::GetStockObject(win::BLACK_BRUSH));
    win::RegisterClassA(&wc);
  });
}

}  // namespace

WindowedVideoRenderer::WindowedVideoRenderer(const CLSID& clsid) : VideoRenderer(clsid) {}

WindowedVideoRenderer::~WindowedVideoRenderer() {
  if (hwnd_ && win::IsWindow(hwnd_)) {
    win::SetWindowLongPtr(hwnd_, win::GWLP_USERDATA, 0);
    win::DestroyWindow(hwnd_);
  }
}

void WindowedVideoRenderer::EnsureWindow() {
  if (hwnd_ && win::IsWindow(hwnd_)) return;
  RegisterWindowClass();
  win::HWND owner = nullptr;
  LONG style = 0, visible = OAFALSE;
  std::string caption;
  get_Owner(&owner);
  get_WindowStyle(&style);
  get_Visible(&visible);
  get_Caption(&caption);
  LONG l = 0, t = 0, w = 0, h = 0;
  GetWindowPosition(&l, &t, &w, &h);
  win::DWORD ws = static_cast<win::DWORD>(style);
  if (owner) ws |= win::WS_CHILD;
  else if (!(ws & win::WS_CHILD)) ws |= win::WS_POPUP;
  if (!owner) ws &= ~win::WS_CHILD;
  ws &= ~win::WS_VISIBLE;
  hwnd_ = win::CreateWindowExA(0, kClassName, caption.c_str(), ws, l, t, w > 0 ? w : 320, h > 0 ? h : 240, owner,
                               nullptr, nullptr, nullptr);
  if (!hwnd_) return;
  win::SetWindowLongPtr(hwnd_, win::GWLP_USERDATA, reinterpret_cast<win::LONG_PTR>(this));
  if (visible == OATRUE) win::ShowWindow(hwnd_, win::SW_SHOWNOACTIVATE);
}

void WindowedVideoRenderer::ApplyPosition() {
  if (!hwnd_ || fullScreen_) return;
  LONG l = 0, t = 0, w = 0, h = 0;
  GetWindowPosition(&l, &t, &w, &h);
  win::SetWindowPos(hwnd_, nullptr, l, t, w, h, win::SWP_NOZORDER | win::SWP_NOACTIVATE);
}

HRESULT WindowedVideoRenderer::Run(REFERENCE_TIME tStart) {
  LONG autoShow = OAFALSE, visible = OAFALSE;
  get_AutoShow(&autoShow);
  get_Visible(&visible);
  if (autoShow == OATRUE && visible != OATRUE) put_Visible(OATRUE);
  return VideoRenderer::Run(tStart);
}

HRESULT WindowedVideoRenderer::OnReceive(Pin& pin, MediaSample& sample) {
  const int64_t before = FramesDrawn();
  const HRESULT hr = VideoRenderer::OnReceive(pin, sample);
  if (hwnd_ && FramesDrawn() != before) win::InvalidateRect(hwnd_, nullptr, win::FALSE);
  return hr;
}

void WindowedVideoRenderer::Paint(win::HWND hwnd) {
  win::PAINTSTRUCT ps;
  win::HDC dc = win::BeginPaint(hwnd, &ps);
  win::RECT client{};
  win::GetClientRect(hwnd, &client);
  LONG size = 0;
  if (dc && GetCurrentImage(&size, nullptr) == S_OK && size > static_cast<LONG>(sizeof(BITMAPINFOHEADER))) {
    std::vector<uint8_t>& dib = paintDib_;
    if (dib.size() < static_cast<size_t>(size)) dib.resize(static_cast<size_t>(size));
    if (GetCurrentImage(&size, dib.data()) == S_OK) {
      win::BITMAPINFO info{};
      std::memcpy(&info.bmiHeader, dib.data(), sizeof(BITMAPINFOHEADER));
      const int w = info.bmiHeader.biWidth;
      const int h = info.bmiHeader.biHeight < 0 ? -info.bmiHeader.biHeight : info.bmiHeader.biHeight;
      win::StretchDIBits(dc, 0, 0, client.right - client.left, client.bottom - client.top, 0, 0, w, h,
                         dib.data() + info.bmiHeader.biSize, &info, win::DIB_RGB_COLORS, win::SRCCOPY);
    }
  } else if (dc) {
    win::FillRect(dc, &client, reinterpret_cast<win::HBRUSH>(win::GetStockObject(win::BLACK_BRUSH)));
  }
  win::EndPaint(hwnd, &ps);
}

HRESULT WindowedVideoRenderer::put_Owner(win::HWND owner) {
  const HRESULT hr = VideoRenderer::put_Owner(owner);
  if (FAILED(hr)) return hr;
  if (!hwnd_) {
    EnsureWindow();
    return hr;
  }
  win::LONG_PTR style = win::GetWindowLongPtr(hwnd_, win::GWL_STYLE);
  style = owner ? (style | win::WS_CHILD) & ~static_cast<win::LONG_PTR>(win::WS_POPUP)
                : (style | win::WS_POPUP) & ~static_cast<win::LONG_PTR>(win::WS_CHILD);
  win::SetWindowLongPtr(hwnd_, win::GWL_STYLE, style);
  win::SetParent(hwnd_, owner);
  ApplyPosition();
  return hr;
}

HRESULT WindowedVideoRenderer::put_WindowStyle(LONG style) {
  const HRESULT hr = VideoRenderer::put_WindowStyle(style);
  if (SUCCEEDED(hr) && hwnd_) {
    // Visibility stays with put_Visible, as the interface keeps them apart.
    const win::LONG_PTR visible = win::GetWindowLongPtr(hwnd_, win::GWL_STYLE) & win::WS_VISIBLE;
    win::SetWindowLongPtr(hwnd_, win::GWL_STYLE, (style & ~static_cast<LONG>(win::WS_VISIBLE)) | visible);
  }
  return hr;
}

HRESULT WindowedVideoRenderer::put_Visible(LONG visible) {
  const HRESULT hr = VideoRenderer::put_Visible(visible);
  if (FAILED(hr)) return hr;
  EnsureWindow();
  if (hwnd_) win::ShowWindow(hwnd_, visible == OATRUE ? win::SW_SHOWNOACTIVATE : win::SW_HIDE);
  return hr;
}

HRESULT WindowedVideoRenderer::put_Caption(const std::string& caption) {
  const HRESULT hr = VideoRenderer::put_Caption(caption);
  if (SUCCEEDED(hr) && hwnd_) win::SetWindowTextA(hwnd_, caption.c_str());
  return hr;
}

HRESULT WindowedVideoRenderer::SetWindowPosition(LONG l, LONG t, LONG w, LONG h) {
  const HRESULT hr = VideoRenderer::SetWindowPosition(l, t, w, h);
  if (SUCCEEDED(hr)) ApplyPosition();
  return hr;
}

#define VW_POSITION(name)                            \
  HRESULT WindowedVideoRenderer::put_##name(LONG v) { \
    const HRESULT hr = VideoRenderer::put_##name(v);  \
    if (SUCCEEDED(hr)) ApplyPosition();               \
    return hr;                                        \
  }
VW_POSITION(Left)
VW_POSITION(Top)
VW_POSITION(Width)
VW_POSITION(Height)
#undef VW_POSITION

HRESULT WindowedVideoRenderer::put_FullScreenMode(LONG mode) {
  const HRESULT hr = VideoRenderer::put_FullScreenMode(mode);
  if (FAILED(hr)) return hr;
  EnsureWindow();
  if (!hwnd_) return hr;
  win::HWND owner = nullptr;
  get_Owner(&owner);
  if (mode == OATRUE && !fullScreen_) {
    // Full screen: a borderless top-level window over the whole screen.
    fullScreen_ = true;
    win::SetParent(hwnd_, nullptr);
    win::SetWindowLongPtr(hwnd_, win::GWL_STYLE, win::WS_POPUP | win::WS_VISIBLE);
    win::SetWindowPos(hwnd_, win::HWND_TOP, 0, 0, win::GetSystemMetrics(win::SM_CXSCREEN),
                      win::GetSystemMetrics(win::SM_CYSCREEN), 0);
  } else if (mode != OATRUE && fullScreen_) {
    fullScreen_ = false;
    LONG style = 0;
    get_WindowStyle(&style);
    win::SetWindowLongPtr(hwnd_, win::GWL_STYLE, (owner ? win::WS_CHILD : win::WS_POPUP) | win::WS_VISIBLE |
                                                     (static_cast<win::DWORD>(style) & ~(win::WS_CHILD | win::WS_POPUP)));
    win::SetParent(hwnd_, owner);
    ApplyPosition();
  }
  return hr;
}

}  // namespace mg::ff
