#pragma once
// A borderless form whose whole look is a 32-bit picture with per-pixel
// alpha: a background picture drawn once at the window's size, copied into a
// memory surface at each composition, and handed to the window system as a
// layered window. A press of any button on it drags it.
#include <cstdint>
#include <memory>

#include "platform/forms/Forms.h"
#include "platform/win/Blit.h"
#include "platform/win/GdiPlus.h"

namespace controls {

enum TTextQuality {
  TextQuality_SystemDefault,
  TextQuality_SingleBitPerPixelGridFit,
  TextQuality_SingleBitPerPixel,
  TextQuality_AntiAliasGridFit,
  TextQuality_AntiAlias,
  TextQuality_ClearTypeGridFit
};

class TfrmLayered;

// A child control that draws itself into its layered form's memory surface
// (through MemGraphics) each time the form composes.
class ILayeredChild {
public:
  virtual ~ILayeredChild() = default;
  virtual void SetLayeredParent(TfrmLayered* form) = 0;
  virtual void PaintLayered() = 0;
};

class TfrmLayered : public forms::TForm {
public:
  explicit TfrmLayered(forms::TComponent* owner);
  ~TfrmLayered() override;

  // The path last set. Loading draws the picture stretched over the
  // background surface, in place of any picture before it; the window shows
  // it at the next composition.
  const forms::String& BackgroundImage() const { return backgroundPath_; }
  void SetBackgroundImage(const forms::String& path);
  // Whether the picture last set could be read (a missing or broken file
  // leaves the surface transparent, so the window would not be seen).
  bool BackgroundImageLoaded() const {
    return picture_ && picture_->GetLastStatus() == win::Gdiplus::Ok && picture_->GetWidth() > 0;
  }
  // Whole-window opacity, used from the next composition on.
  uint8_t BlendAlpha() const { return blend_.SourceConstantAlpha; }
  void SetBlendAlpha(uint8_t v) { blend_.SourceConstantAlpha = v; }
  win::COLORREF KeyColor() const { return keyColor_; }
  void SetKeyColor(win::COLORREF v);
  TTextQuality TextQuality() const { return textQuality_; }
  void SetTextQuality(TTextQuality v);

  win::Gdiplus::Graphics* MemGraphics() const { return memGraphics_.get(); }
  win::HDC MemDC() const { return memDC_; }
  win::HDC BackgroundDC() const { return backgroundDC_; }
  // Surface size, which follows the form's.
  int SurfaceWidth() const { return surfaceWidth_; }
  int SurfaceHeight() const { return surfaceHeight_; }
  // The premultiplied pixels pushed to the window (0xAARRGGBB).
  uint32_t MemPixel(int x, int y) const;
  uint32_t BackgroundPixel(int x, int y) const;

  // Composes now.
  void Repaint();
  void FormMouseDown(forms::TObject* sender, forms::TMouseButton button, forms::TShiftState shift, int x, int y);

  void Dispatch(forms::TMessage& message) override;

protected:
  virtual bool CreateSurfaces();
  virtual void RestoreBackground();
  void Paint() override;
  void CreateParams(forms::TCreateParams& params) override;

private:
  struct Surface {
    win::HBITMAP bitmap = nullptr;
    win::HDC dc = nullptr;
    win::HGDIOBJ old = nullptr;
    uint8_t* bits = nullptr;
  };
  void FreeSurfaces();
  void Compose();
  void DrawPicture();
  // Re-makes the surfaces when the form's size moved away from theirs.
  void FollowSize();
  static uint32_t PixelOf(const Surface& s, int width, int height, int x, int y);

  forms::String backgroundPath_;
  std::unique_ptr<win::Gdiplus::Image> picture_;
  std::unique_ptr<win::Gdiplus::Graphics> memGraphics_;
  Surface mem_;
  Surface background_;
  win::HDC memDC_ = nullptr;
  win::HDC backgroundDC_ = nullptr;
  int surfaceWidth_ = 0;
  int surfaceHeight_ = 0;
  win::BLENDFUNCTION blend_{win::AC_SRC_OVER, 0, 255, win::AC_SRC_ALPHA};
  win::COLORREF keyColor_ = 0x00FF00FF;
  TTextQuality textQuality_ = TextQuality_SystemDefault;
  win::Gdiplus::TextRenderingHint hint_ = win::Gdiplus::TextRenderingHintAntiAlias;
  bool composing_ = false;
};

}  // namespace controls
