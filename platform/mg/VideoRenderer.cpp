#include <cstring>

#include "platform/mg/SystemFilters.h"

namespace mg {

namespace {
bool IsRgbSubtype(const GUID& s) {
  return s == MEDIASUBTYPE_RGB32 || s == MEDIASUBTYPE_RGB24 || s == MEDIASUBTYPE_RGB565 ||
         s == MEDIASUBTYPE_RGB555 || s == MEDIASUBTYPE_ARGB32;
}
}  // namespace

VideoRenderer::VideoRenderer(const CLSID& clsid) : BaseFilter(clsid) {
  AddPin(std::make_shared<Pin>(this, "Input", PINDIR_INPUT));
}

HRESULT VideoRenderer::CheckMediaType(const Pin&, const AM_MEDIA_TYPE& mt) const {
  if (mt.majortype != MEDIATYPE_Video || !IsRgbSubtype(mt.subtype)) return S_FALSE;
  return mt.BitmapHeader() ? S_OK : S_FALSE;
}

std::vector<AM_MEDIA_TYPE> VideoRenderer::GetMediaTypes(const Pin&) const { return {}; }

HRESULT VideoRenderer::OnConnect(Pin& pin) {
  const AM_MEDIA_TYPE& mt = pin.CurrentType();
  std::lock_guard lock(dataMutex_);
  if (const BITMAPINFOHEADER* bih = mt.BitmapHeader()) {
    header_ = *bih;
    const LONG h = bih->biHeight < 0 ? -bih->biHeight : bih->biHeight;
    window_.source = win::RECT{0, 0, bih->biWidth, h};
    window_.destination = window_.source;
    if (window_.position.Width() == 0) window_.position = win::RECT{0, 0, bih->biWidth, h};
  }
  if (auto* vih = mt.FormatAs<VIDEOINFOHEADER>(); vih && mt.formattype == FORMAT_VideoInfo)
    avgTimePerFrame_ = vih->AvgTimePerFrame;
  return S_OK;
}

HRESULT VideoRenderer::OnReceive(Pin&, MediaSample& sample) {
  if (State() != State_Running) return S_OK;
  // While stepping, frames past the step are held back as in a pause.
  bool stepDone = false;
  if (stepLeft_.load() < 0) {
    notDrawn_.fetch_add(1);
    return S_OK;
  }
  if (stepLeft_.load() > 0) stepDone = stepLeft_.fetch_sub(1) == 1;
  {
    std::lock_guard lock(dataMutex_);
    last_.assign(sample.GetPointer(), sample.GetPointer() + sample.GetActualDataLength());
    lastStart_ = sample.HasTime() ? sample.StartTime() : -1;
  }
  drawn_.fetch_add(1);
  if (stepDone) {
    stepLeft_.store(-1);
    NotifyEvent(EC_STEP_COMPLETE, 0, 0);
  }
  return S_OK;
}

void VideoRenderer::BeginStep(DWORD frames) { stepLeft_.store(static_cast<int64_t>(frames)); }
void VideoRenderer::CancelStep() { stepLeft_.store(0); }

std::vector<uint8_t> VideoRenderer::LastFrame(REFERENCE_TIME* start) const {
  std::lock_guard lock(dataMutex_);
  if (start) *start = lastStart_;
  return last_;
}

#define VR_PUT(name, field)                  \
  HRESULT VideoRenderer::put_##name(LONG v) { \
    std::lock_guard lock(dataMutex_);         \
    window_.field = v;                        \
    return S_OK;                              \
  }                                           \
  HRESULT VideoRenderer::get_##name(LONG* v) { \
    if (!v) return E_POINTER;                 \
    std::lock_guard lock(dataMutex_);         \
    *v = window_.field;                       \
    return S_OK;                              \
  }
VR_PUT(WindowStyle, style)
VR_PUT(WindowStyleEx, styleEx)
VR_PUT(AutoShow, autoShow)
VR_PUT(WindowState, state)
VR_PUT(Visible, visible)
VR_PUT(BorderColor, borderColor)
VR_PUT(FullScreenMode, fullScreen)
#undef VR_PUT

HRESULT VideoRenderer::put_Caption(const std::string& caption) {
  std::lock_guard lock(dataMutex_);
  window_.caption = caption;
  return S_OK;
}
HRESULT VideoRenderer::get_Caption(std::string* caption) {
  if (!caption) return E_POINTER;
  std::lock_guard lock(dataMutex_);
  *caption = window_.caption;
  return S_OK;
}

HRESULT VideoRenderer::put_Left(LONG v) {
  std::lock_guard lock(dataMutex_);
  const LONG w = window_.position.Width();
  window_.position.left = v;
  window_.position.right = v + w;
  return S_OK;
}
HRESULT VideoRenderer::get_Left(LONG* v) {
  if (!v) return E_POINTER;
  std::lock_guard lock(dataMutex_);
  *v = window_.position.left;
  return S_OK;
}
HRESULT VideoRenderer::put_Top(LONG v) {
  std::lock_guard lock(dataMutex_);
  const LONG h = window_.position.Height();
  window_.position.top = v;
  window_.position.bottom = v + h;
  return S_OK;
}
HRESULT VideoRenderer::get_Top(LONG* v) {
  if (!v) return E_POINTER;
  std::lock_guard lock(dataMutex_);
  *v = window_.position.top;
  return S_OK;
}
HRESULT VideoRenderer::put_Width(LONG v) {
  if (v < 0) return E_INVALIDARG;
  std::lock_guard lock(dataMutex_);
  window_.position.right = window_.position.left + v;
  return S_OK;
}
HRESULT VideoRenderer::get_Width(LONG* v) {
  if (!v) return E_POINTER;
  std::lock_guard lock(dataMutex_);
  *v = window_.position.Width();
  return S_OK;
}
HRESULT VideoRenderer::put_Height(LONG v) {
  if (v < 0) return E_INVALIDARG;
  std::lock_guard lock(dataMutex_);
  window_.position.bottom = window_.position.top + v;
  return S_OK;
}
HRESULT VideoRenderer::get_Height(LONG* v) {
  if (!v) return E_POINTER;
  std::lock_guard lock(dataMutex_);
  *v = window_.position.Height();
  return S_OK;
}
HRESULT VideoRenderer::put_Owner(win::HWND owner) {
  std::lock_guard lock(dataMutex_);
  window_.owner = owner;
  return S_OK;
}
HRESULT VideoRenderer::get_Owner(win::HWND* owner) {
  if (!owner) return E_POINTER;
  std::lock_guard lock(dataMutex_);
  *owner = window_.owner;
  return S_OK;
}
HRESULT VideoRenderer::put_MessageDrain(win::HWND drain) {
  std::lock_guard lock(dataMutex_);
  window_.drain = drain;
  return S_OK;
}
HRESULT VideoRenderer::get_MessageDrain(win::HWND* drain) {
  if (!drain) return E_POINTER;
  std::lock_guard lock(dataMutex_);
  *drain = window_.drain;
  return S_OK;
}
HRESULT VideoRenderer::SetWindowForeground(LONG) { return S_OK; }
HRESULT VideoRenderer::SetWindowPosition(LONG left, LONG top, LONG width, LONG height) {
  if (width < 0 || height < 0) return E_INVALIDARG;
  std::lock_guard lock(dataMutex_);
  window_.position = win::RECT{left, top, left + width, top + height};
  return S_OK;
}
HRESULT VideoRenderer::GetWindowPosition(LONG* left, LONG* top, LONG* width, LONG* height) {
  if (!left || !top || !width || !height) return E_POINTER;
  std::lock_guard lock(dataMutex_);
  *left = window_.position.left;
  *top = window_.position.top;
  *width = window_.position.Width();
  *height = window_.position.Height();
  return S_OK;
}
HRESULT VideoRenderer::HideCursor(LONG hide) {
  std::lock_guard lock(dataMutex_);
  window_.cursorHidden = hide ? OATRUE : OAFALSE;
  return S_OK;
}
HRESULT VideoRenderer::IsCursorHidden(LONG* hidden) {
  if (!hidden) return E_POINTER;
  std::lock_guard lock(dataMutex_);
  *hidden = window_.cursorHidden;
  return S_OK;
}

HRESULT VideoRenderer::get_AvgTimePerFrame(REFERENCE_TIME* t) {
  if (!t) return E_POINTER;
  std::lock_guard lock(dataMutex_);
  *t = avgTimePerFrame_;
  return S_OK;
}
HRESULT VideoRenderer::get_VideoWidth(LONG* w) {
  if (!w) return E_POINTER;
  if (!Input()->IsConnected()) return VFW_E_NOT_CONNECTED;
  std::lock_guard lock(dataMutex_);
  *w = header_.biWidth;
  return S_OK;
}
HRESULT VideoRenderer::get_VideoHeight(LONG* h) {
  if (!h) return E_POINTER;
  if (!Input()->IsConnected()) return VFW_E_NOT_CONNECTED;
  std::lock_guard lock(dataMutex_);
  *h = header_.biHeight < 0 ? -header_.biHeight : header_.biHeight;
  return S_OK;
}
HRESULT VideoRenderer::GetVideoSize(LONG* width, LONG* height) {
  HRESULT hr = get_VideoWidth(width);
  return SUCCEEDED(hr) ? get_VideoHeight(height) : hr;
}

namespace {
HRESULT PutRect(win::RECT& r, LONG left, LONG top, LONG width, LONG height) {
  if (width <= 0 || height <= 0) return E_INVALIDARG;
  r = win::RECT{left, top, left + width, top + height};
  return S_OK;
}
HRESULT GetRect(const win::RECT& r, LONG* left, LONG* top, LONG* width, LONG* height) {
  if (!left || !top || !width || !height) return E_POINTER;
  *left = r.left;
  *top = r.top;
  *width = r.Width();
  *height = r.Height();
  return S_OK;
}
}  // namespace

HRESULT VideoRenderer::SetSourcePosition(LONG left, LONG top, LONG width, LONG height) {
  std::lock_guard lock(dataMutex_);
  if (left < 0 || top < 0 || left + width > header_.biWidth) return E_INVALIDARG;
  return PutRect(window_.source, left, top, width, height);
}
HRESULT VideoRenderer::GetSourcePosition(LONG* left, LONG* top, LONG* width, LONG* height) {
  std::lock_guard lock(dataMutex_);
  return GetRect(window_.source, left, top, width, height);
}
HRESULT VideoRenderer::SetDefaultSourcePosition() {
  std::lock_guard lock(dataMutex_);
  window_.source = win::RECT{0, 0, header_.biWidth, header_.biHeight < 0 ? -header_.biHeight : header_.biHeight};
  return S_OK;
}
HRESULT VideoRenderer::SetDestinationPosition(LONG left, LONG top, LONG width, LONG height) {
  std::lock_guard lock(dataMutex_);
  return PutRect(window_.destination, left, top, width, height);
}
HRESULT VideoRenderer::GetDestinationPosition(LONG* left, LONG* top, LONG* width, LONG* height) {
  std::lock_guard lock(dataMutex_);
  return GetRect(window_.destination, left, top, width, height);
}
HRESULT VideoRenderer::SetDefaultDestinationPosition() {
  std::lock_guard lock(dataMutex_);
  window_.destination = win::RECT{0, 0, window_.position.Width(), window_.position.Height()};
  return S_OK;
}

HRESULT VideoRenderer::GetCurrentImage(LONG* size, uint8_t* dib) {
  if (!size) return E_POINTER;
  std::lock_guard lock(dataMutex_);
  if (last_.empty()) return E_UNEXPECTED;
  const LONG need = static_cast<LONG>(sizeof(BITMAPINFOHEADER) + last_.size());
  if (!dib) {
    *size = need;
    return S_OK;
  }
  if (*size < need) return E_OUTOFMEMORY;
  BITMAPINFOHEADER bih = header_;
  bih.biSizeImage = static_cast<uint32_t>(last_.size());
  std::memcpy(dib, &bih, sizeof bih);
  std::memcpy(dib + sizeof bih, last_.data(), last_.size());
  *size = need;
  return S_OK;
}

HRESULT VideoRenderer::get_FramesDroppedInRenderer(int* n) {
  if (!n) return E_POINTER;
  *n = static_cast<int>(notDrawn_.load());
  return S_OK;
}
HRESULT VideoRenderer::get_FramesDrawn(int* n) {
  if (!n) return E_POINTER;
  *n = static_cast<int>(drawn_.load());
  return S_OK;
}
HRESULT VideoRenderer::get_AvgFrameRate(int* rate) {
  if (!rate) return E_POINTER;
  std::lock_guard lock(dataMutex_);
  *rate = avgTimePerFrame_ > 0 ? static_cast<int>(100 * UNITS / avgTimePerFrame_) : 0;
  return S_OK;
}
HRESULT VideoRenderer::get_Jitter(int* v) {
  if (!v) return E_POINTER;
  *v = 0;
  return S_OK;
}
HRESULT VideoRenderer::get_AvgSyncOffset(int* v) { return get_Jitter(v); }
HRESULT VideoRenderer::get_DevSyncOffset(int* v) { return get_Jitter(v); }

HRESULT VideoRenderer::SetSwitches(DWORD switches) {
  std::lock_guard lock(dataMutex_);
  window_.switches = switches;
  return S_OK;
}
HRESULT VideoRenderer::GetSwitches(DWORD* switches) {
  if (!switches) return E_POINTER;
  std::lock_guard lock(dataMutex_);
  *switches = window_.switches;
  return S_OK;
}
HRESULT VideoRenderer::GetColorKey(COLORKEY* key) {
  if (!key) return E_POINTER;
  std::lock_guard lock(dataMutex_);
  if (!window_.hasKey) return VFW_E_NO_COLOR_KEY_SET;
  *key = window_.key;
  return S_OK;
}
HRESULT VideoRenderer::SetColorKey(COLORKEY* key) {
  if (!key) return E_POINTER;
  std::lock_guard lock(dataMutex_);
  window_.key = *key;
  window_.hasKey = true;
  return S_OK;
}

}  // namespace mg
