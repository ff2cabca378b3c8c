#include "controls/sty/STYPublic.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "controls/sty/STYForm.h"
#include "platform/forms/ImgList.h"
#include "platform/win/Api.h"

namespace controls {

using namespace forms;

void DrawParentBackground(TCanvas* canvas, TControl* control) {
  TWinControl* parent = control->Parent();
  if (!parent) return;
  const win::HDC dc = canvas->Handle();
  const int saved = win::SaveDC(dc);
  win::POINT origin{};
  win::GetViewportOrgEx(dc, &origin);
  win::SetViewportOrgEx(dc, origin.x - control->Left(), origin.y - control->Top(), nullptr);
  win::IntersectClipRect(dc, 0, 0, parent->ClientWidth(), parent->ClientHeight());
  const win::HWND ph = parent->Handle();
  win::SendMessageA(ph, win::WM_ERASEBKGND, reinterpret_cast<win::WPARAM>(dc), 0);
  win::SendMessageA(ph, win::WM_PAINT, reinterpret_cast<win::WPARAM>(dc), 0);
  win::RestoreDC(dc, saved);
}

void TilePicture(TCanvas* canvas, TGraphic* graphic, const TRect& rect) {
  const int w = graphic->Width(), h = graphic->Height();
  if (w <= 0 || h <= 0) return;
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  for (int x = 0; x < width; x += w) {
    for (int y = 0; y < height; y += h) canvas->Draw(x, y, graphic);
  }
}

bool InRect(int x, int y, const TRect& rect) {
  return rect.left <= x && x <= rect.right && rect.top <= y && y <= rect.bottom;
}

bool PointInRect(TPoint p, const TRect& rect) { return InRect(p.x, p.y, rect); }

void GetWorkAreaRect(TRect& rect) {
  TCustomForm* main = Application ? Application->MainForm() : nullptr;
  if (main) {
    win::MONITORINFO info;
    if (win::GetMonitorInfo(win::MonitorFromWindow(main->Handle(), win::MONITOR_DEFAULTTONEAREST), &info)) {
      rect = info.rcWork;
      return;
    }
  }
  win::SystemParametersInfo(win::SPI_GETWORKAREA, 0, &rect, 0);
}

void SetControlRect(TControl* control, const TRect& rect) {
  control->SetLeft(rect.left);
  control->SetTop(rect.top);
  control->SetWidth(rect.right - rect.left);
  control->SetHeight(rect.bottom - rect.top);
}

void DrawControlBorder(TWinControl* control, TColor outer, TColor inner, bool drawInner) {
  const win::HWND h = control->Handle();
  const win::HDC dc = win::GetWindowDC(h);
  win::RECT r;
  win::GetWindowRect(h, &r);
  r = Rect(0, 0, r.right - r.left, r.bottom - r.top);
  win::HBRUSH brush = win::CreateSolidBrush(ColorToRGB(outer));
  win::FrameRect(dc, &r, brush);
  win::DeleteObject(brush);
  if (drawInner) {
    r = Rect(r.left + 1, r.top + 1, r.right - 1, r.bottom - 1);
    brush = win::CreateSolidBrush(ColorToRGB(inner));
    win::FrameRect(dc, &r, brush);
    win::DeleteObject(brush);
  }
  win::ReleaseDC(h, dc);
}

void CreateRegionFromBitmap(win::HWND hwnd, TBitmap* bitmap, TColor key) {
  const int width = bitmap->Width(), height = bitmap->Height();
  // The picture is read once as top-down 32-bit rows (the pixels GetPixel
  // would answer one by one) and the runs go into one region at the end;
  // pixel by pixel, a skin of a few hundred thousand pixels took seconds.
  std::vector<uint32_t> pixels(static_cast<size_t>(std::max(width, 0)) * static_cast<size_t>(std::max(height, 0)));
  std::vector<win::RECT> runs;
  if (!pixels.empty()) {
    win::BITMAPINFO info{};
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biBitCount = 32;
    const win::HDC dc = win::GetDC(nullptr);
    const int lines = win::GetDIBits(dc, bitmap->Handle(), 0, static_cast<win::UINT>(height), pixels.data(), &info,
                                     win::DIB_RGB_COLORS);
    win::ReleaseDC(nullptr, dc);
    for (int y = 0; y < lines; ++y) {
      const uint32_t* row = pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
      int start = -1;
      for (int x = 0; x <= width; ++x) {
        bool shape = false;
        if (x < width) {
          const uint32_t p = row[x];
          // Compared as the colour value itself, as a pixel read would be:
          // a system-colour key matches no pixel.
          shape = static_cast<TColor>(win::RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF)) != key;
        }
        if (shape && start < 0) start = x;
        if (!shape && start >= 0) {
          runs.push_back(win::RECT{start, y, x, y + 1});
          start = -1;
        }
      }
    }
  }
  win::HRGN region;
  if (runs.empty()) {
    region = win::CreateRectRgn(0, 0, 0, 0);
  } else {
    std::vector<char> data(sizeof(win::RGNDATAHEADER) + runs.size() * sizeof(win::RECT));
    auto* header = reinterpret_cast<win::RGNDATAHEADER*>(data.data());
    header->dwSize = sizeof(win::RGNDATAHEADER);
    header->iType = win::RDH_RECTANGLES;
    header->nCount = static_cast<win::DWORD>(runs.size());
    header->nRgnSize = static_cast<win::DWORD>(runs.size() * sizeof(win::RECT));
    header->rcBound = win::RECT{0, 0, width, height};
    std::memcpy(data.data() + sizeof(win::RGNDATAHEADER), runs.data(), runs.size() * sizeof(win::RECT));
    region = win::ExtCreateRegion(nullptr, static_cast<win::DWORD>(data.size()),
                                  reinterpret_cast<const win::RGNDATA*>(data.data()));
  }
  win::SetWindowRgn(hwnd, region, win::TRUE);
}

void DrawSlicedBitmap(TBitmap* bitmap, TCanvas* canvas, const TRect& rect, bool useSampledKey, bool sampleTopLeft) {
  const TColor sampled = bitmap->Canvas()->Pixels(0, sampleTopLeft ? 0 : bitmap->Height() - 1);
  TImageList list(nullptr, bitmap->Width() / 3, bitmap->Height());
  list.AddMasked(bitmap, useSampledKey ? sampled : clFuchsia);
  const int w = list.Width();
  list.Draw(canvas, rect.left, rect.top, 0, true);
  list.Draw(canvas, rect.right - w, rect.top, 2, true);
  TBitmap middle;
  list.GetBitmap(1, &middle);
  canvas->StretchDraw(Rect(rect.left + w, rect.top, rect.right - w, rect.bottom), &middle);
}

void RotateBitmap180(TBitmap* bitmap) {
  const int w = bitmap->Width(), h = bitmap->Height();
  TBitmap turned;
  turned.SetSize(w, h);
  TCanvas* src = bitmap->Canvas();
  TCanvas* dst = turned.Canvas();
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) dst->SetPixel(w - 1 - x, h - 1 - y, src->Pixels(x, y));
  }
  src->Draw(0, 0, &turned);
}

void CopyBitmapSlice(TBitmap* source, TBitmap* dest, int count, int index) {
  if (count < 1 || index < 1 || index > count) return;
  const int w = source->Width() / count, h = source->Height();
  TBitmap slice;
  slice.SetSize(w, h);
  slice.Canvas()->CopyRect(Rect(0, 0, w, h), source->Canvas(), Rect((index - 1) * w, 0, index * w, h));
  dest->SetSize(w, h);
  dest->Canvas()->Draw(0, 0, &slice);
}

void SetChildrenUIStyle(TstyForm* frame, TstyUIStyle style, TstyFileTheme* fileTheme) {
  for (int i = 0; i < frame->ControlCount(); ++i) {
    if (auto* child = dynamic_cast<IstyStyled*>(frame->Controls(i))) {
      child->SetFileTheme(fileTheme);
      child->SetUIStyle(style);
    }
  }
}

bool IsFormActive(TCustomForm* form) {
  TCustomForm* main = Application ? Application->MainForm() : nullptr;
  if (!main) return form && form->Active();
  if (main->FormStyle() == fsMDIForm && main == form) return true;
  if (!Application->Active()) return false;
  if (!form || form == main) return true;
  // An MDI frame would be asked for its active child here; the class library
  // has no MDI client window, so the form's own flag answers in every case.
  return form->Active();
}

namespace {

using GetComboBoxInfoProc = win::BOOL (*)(win::HWND, win::COMBOBOXINFO*);

struct ComboInfoLookup {
  std::mutex mutex;
  TSystemFunctionResolver resolver;
  bool looked = false;
  bool failed = false;
  GetComboBoxInfoProc proc = nullptr;
};

ComboInfoLookup& Lookup() {
  static ComboInfoLookup lookup;
  return lookup;
}

void* DefaultResolver(const char* name) {
  if (std::strcmp(name, "GetComboBoxInfo") == 0) {
    return reinterpret_cast<void*>(static_cast<GetComboBoxInfoProc>(&win::GetComboBoxInfo));
  }
  return nullptr;
}

}  // namespace

TSystemFunctionResolver SetSystemFunctionResolver(TSystemFunctionResolver resolver) {
  ComboInfoLookup& l = Lookup();
  std::lock_guard<std::mutex> lock(l.mutex);
  TSystemFunctionResolver old = l.resolver ? l.resolver : TSystemFunctionResolver(DefaultResolver);
  l.resolver = std::move(resolver);
  l.looked = l.failed = false;
  l.proc = nullptr;
  return old;
}

bool CallGetComboBoxInfo(win::HWND combo, win::COMBOBOXINFO* info) {
  ComboInfoLookup& l = Lookup();
  GetComboBoxInfoProc proc = nullptr;
  {
    std::lock_guard<std::mutex> lock(l.mutex);
    if (!l.looked) {
      l.looked = true;
      void* found = l.resolver ? l.resolver("GetComboBoxInfo") : DefaultResolver("GetComboBoxInfo");
      l.proc = reinterpret_cast<GetComboBoxInfoProc>(found);
      l.failed = l.proc == nullptr;
    }
    if (l.failed) return false;
    proc = l.proc;
  }
  return proc(combo, info) != win::FALSE;
}

}  // namespace controls
