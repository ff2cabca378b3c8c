#include "controls/layered/LayeredWnd.h"

#include <cstring>

#include "platform/rtl/Text.h"
#include "platform/win/Api.h"

namespace controls {

using forms::TMessage;
namespace gdip = win::Gdiplus;

TfrmLayered::TfrmLayered(forms::TComponent* owner) : TForm(owner) {
  OnMouseDown = [this](forms::TObject* s, forms::TMouseButton b, forms::TShiftState sh, int x, int y) {
    FormMouseDown(s, b, sh, x, y);
  };
  SetBorderStyle(forms::bsNone);
  // The window may exist already; CreateParams keeps the same styles when it
  // is made again.
  const win::HWND h = Handle();
  win::SetWindowLongA(h, win::GWL_STYLE, win::GetWindowLongA(h, win::GWL_STYLE) & ~(win::WS_CAPTION | win::WS_THICKFRAME));
  win::SetWindowLongA(h, win::GWL_EXSTYLE,
                      (win::GetWindowLongA(h, win::GWL_EXSTYLE) & ~(win::WS_EX_DLGMODALFRAME | win::WS_EX_TRANSPARENT)) |
                          win::WS_EX_LAYERED);
  win::SetWindowPos(h, nullptr, 0, 0, 0, 0,
                    win::SWP_NOMOVE | win::SWP_NOSIZE | win::SWP_NOZORDER | win::SWP_NOACTIVATE | win::SWP_FRAMECHANGED);
  CreateSurfaces();
}

TfrmLayered::~TfrmLayered() {
  picture_.reset();
  FreeSurfaces();
}

void TfrmLayered::CreateParams(forms::TCreateParams& params) {
  TForm::CreateParams(params);
  params.Style &= ~(win::WS_CAPTION | win::WS_THICKFRAME);
  params.ExStyle &= ~(win::WS_EX_DLGMODALFRAME | win::WS_EX_TRANSPARENT);
  params.ExStyle |= win::WS_EX_LAYERED;
}

void TfrmLayered::FreeSurfaces() {
  memGraphics_.reset();
  for (Surface* s : {&mem_, &background_}) {
    if (s->dc) {
      win::SelectObject(s->dc, s->old);
      win::DeleteDC(s->dc);
    }
    if (s->bitmap) win::DeleteObject(s->bitmap);
    *s = Surface{};
  }
  memDC_ = backgroundDC_ = nullptr;
  surfaceWidth_ = surfaceHeight_ = 0;
}

bool TfrmLayered::CreateSurfaces() {
  FreeSurfaces();
  const int w = Width(), h = Height();
  win::BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(win::BITMAPINFOHEADER);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = h;  // bottom-up
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = win::BI_RGB;
  Surface mem, back;
  void* memBits = nullptr;
  void* backBits = nullptr;
  mem.bitmap = w > 0 && h > 0 ? win::CreateDIBSection(nullptr, &info, win::DIB_RGB_COLORS, &memBits, nullptr, 0)
                              : nullptr;
  back.bitmap = w > 0 && h > 0 ? win::CreateDIBSection(nullptr, &info, win::DIB_RGB_COLORS, &backBits, nullptr, 0)
                               : nullptr;
  if (!mem.bitmap || !back.bitmap) {
    if (mem.bitmap) win::DeleteObject(mem.bitmap);
    if (back.bitmap) win::DeleteObject(back.bitmap);
    return false;
  }
  win::HDC screen = win::GetDC(nullptr);
  mem.dc = win::CreateCompatibleDC(screen);
  back.dc = win::CreateCompatibleDC(screen);
  win::ReleaseDC(nullptr, screen);
  mem.old = win::SelectObject(mem.dc, mem.bitmap);
  back.old = win::SelectObject(back.dc, back.bitmap);
  mem.bits = static_cast<uint8_t*>(memBits);
  back.bits = static_cast<uint8_t*>(backBits);
  mem_ = mem;
  background_ = back;
  memDC_ = mem.dc;
  backgroundDC_ = back.dc;
  surfaceWidth_ = w;
  surfaceHeight_ = h;
  memGraphics_ = std::make_unique<gdip::Graphics>(memDC_);
  memGraphics_->SetTextRenderingHint(hint_);
  return true;
}

void TfrmLayered::FollowSize() {
  if (Width() == surfaceWidth_ && Height() == surfaceHeight_) return;
  // The surfaces were sized once by the form's first bounds; a splash that
  // is resized later would otherwise push a picture of the old size, which
  // the window system refuses.
  if (CreateSurfaces()) DrawPicture();
}

void TfrmLayered::DrawPicture() {
  if (!backgroundDC_ || !picture_) return;
  // A new picture replaces the old one rather than blending over it.
  std::memset(background_.bits, 0, static_cast<size_t>(surfaceWidth_) * static_cast<size_t>(surfaceHeight_) * 4);
  gdip::Graphics g(backgroundDC_);
  const gdip::Rect dest{0, 0, surfaceWidth_, surfaceHeight_};
  g.DrawImage(picture_.get(), dest, 0, 0, static_cast<win::INT>(picture_->GetWidth()),
              static_cast<win::INT>(picture_->GetHeight()), gdip::UnitPixel);
}

void TfrmLayered::SetBackgroundImage(const forms::String& path) {
  picture_ = std::make_unique<gdip::Image>(path);
  backgroundPath_ = path;
  DrawPicture();
}

void TfrmLayered::SetKeyColor(win::COLORREF v) {
  keyColor_ = v;
  Repaint();
}

void TfrmLayered::SetTextQuality(TTextQuality v) {
  textQuality_ = v;
  const int value = static_cast<int>(v);
  hint_ = value >= 1 && value <= 5 ? static_cast<gdip::TextRenderingHint>(value)
                                   : gdip::TextRenderingHintSystemDefault;
  if (memGraphics_) memGraphics_->SetTextRenderingHint(hint_);
  Repaint();
}

void TfrmLayered::RestoreBackground() {
  if (!backgroundDC_) return;
  win::BitBlt(memDC_, 0, 0, surfaceWidth_, surfaceHeight_, backgroundDC_, 0, 0, win::SRCCOPY);
}

void TfrmLayered::Compose() {
  if (composing_) return;
  FollowSize();
  if (!memGraphics_) return;
  composing_ = true;
  if (picture_) RestoreBackground();
  for (int i = 0; i < ControlCount(); ++i) {
    if (auto* child = dynamic_cast<ILayeredChild*>(Controls(i))) {
      child->SetLayeredParent(this);
      child->PaintLayered();
    }
  }
  const win::SIZE size{surfaceWidth_, surfaceHeight_};
  const win::POINT from{0, 0};
  win::UpdateLayeredWindow(Handle(), nullptr, nullptr, &size, memDC_, &from, keyColor_, &blend_, win::ULW_ALPHA);
  composing_ = false;
}

void TfrmLayered::Repaint() { Compose(); }

void TfrmLayered::Paint() { Compose(); }

void TfrmLayered::FormMouseDown(forms::TObject*, forms::TMouseButton, forms::TShiftState, int, int) {
  win::ReleaseCapture();
  win::SendMessageA(Handle(), win::WM_SYSCOMMAND, 0xF012, 0);
}

void TfrmLayered::Dispatch(TMessage& m) {
  TForm::Dispatch(m);
  if (m.Msg == win::WM_SIZE && (memGraphics_ || Width() != surfaceWidth_ || Height() != surfaceHeight_)) FollowSize();
}

uint32_t TfrmLayered::PixelOf(const Surface& s, int width, int height, int x, int y) {
  if (!s.bits || x < 0 || y < 0 || x >= width || y >= height) return 0;
  const size_t row = static_cast<size_t>(height - 1 - y);  // bottom-up
  uint32_t v;
  std::memcpy(&v, s.bits + (row * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4, 4);
  return v;
}

uint32_t TfrmLayered::MemPixel(int x, int y) const { return PixelOf(mem_, surfaceWidth_, surfaceHeight_, x, y); }
uint32_t TfrmLayered::BackgroundPixel(int x, int y) const {
  return PixelOf(background_, surfaceWidth_, surfaceHeight_, x, y);
}

}  // namespace controls
