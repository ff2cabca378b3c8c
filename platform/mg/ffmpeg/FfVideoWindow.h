#pragma once
#include <vector>
// The video renderer with a real window: a window of class "VideoRenderer"
// in the window system (headless or X11 alike), owned by the application's
// window when it says so, placed, shown and styled through the video
// window interface, and painting the last frame on WM_PAINT.
#include "platform/mg/SystemFilters.h"

namespace mg::ff {

class WindowedVideoRenderer : public VideoRenderer {
public:
  explicit WindowedVideoRenderer(const CLSID& clsid = CLSID_VideoRenderer);
  ~WindowedVideoRenderer() override;
  // The renderer's window; null until it is first needed.
  win::HWND Window() const { return hwnd_; }

  HRESULT OnReceive(Pin& pin, MediaSample& sample) override;
  HRESULT Run(REFERENCE_TIME tStart) override;

  HRESULT put_Owner(win::HWND owner) override;
  HRESULT put_WindowStyle(LONG style) override;
  HRESULT put_Visible(LONG visible) override;
  HRESULT put_Caption(const std::string& caption) override;
  HRESULT SetWindowPosition(LONG left, LONG top, LONG width, LONG height) override;
  HRESULT put_Left(LONG v) override;
  HRESULT put_Top(LONG v) override;
  HRESULT put_Width(LONG v) override;
  HRESULT put_Height(LONG v) override;
  HRESULT put_FullScreenMode(LONG mode) override;

  // Draws the last frame stretched over the client area (WM_PAINT).
  void Paint(win::HWND hwnd);

private:
  void EnsureWindow();
  void ApplyPosition();

  win::HWND hwnd_ = nullptr;
  // The picture a paint copies out, kept between paints: a fresh buffer of
  // a large frame costs more (zeroing, page faults) than the copy itself.
  std::vector<uint8_t> paintDib_;
  bool fullScreen_ = false;
};

}  // namespace mg::ff
