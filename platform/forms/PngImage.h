#pragma once
// PNG pictures with alpha: the colour rows and an optional alpha plane,
// read through the drawing layer's PNG reader and written through libpng.
// Drawing blends a picture with alpha over what is already there.
#include <cstdint>
#include <vector>

#include "platform/forms/Graphics.h"

namespace forms {

// How a PNG picture is see-through: not at all, fully or not per pixel,
// or with partial alpha.
enum TPNGTransparencyMode { ptmNone, ptmBit, ptmPartial };

class EPNGError : public EInvalidGraphic { using EInvalidGraphic::EInvalidGraphic; };

class TPNGObject : public TGraphic {
public:
  TPNGObject();
  ~TPNGObject() override;

  bool Empty() const override { return width_ == 0 || height_ == 0; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  // Resizing keeps the top-left part; new pixels are black and opaque.
  void SetWidth(int width) override { Resize(width, height_); }
  void SetHeight(int height) override { Resize(width_, height); }
  void Resize(int width, int height);

  // A row of blue, green, red bytes (row 0 is the top).
  uint8_t* Scanline(int row);
  // A row of alpha bytes, or null when the picture has no alpha.
  uint8_t* AlphaScanline(int row);
  // Adds an opaque alpha plane (when there is none) / drops it.
  void CreateAlpha();
  void RemoveTransparency();
  TPNGTransparencyMode TransparencyMode() const;
  bool Transparent() const override { return TransparencyMode() != ptmNone; }

  TColor Pixels(int x, int y) const;
  void SetPixel(int x, int y, TColor color);

  // 0..9, used when saving.
  int CompressionLevel() const { return compressionLevel_; }
  void SetCompressionLevel(int level) { compressionLevel_ = level < 0 ? 0 : level > 9 ? 9 : level; }

  void LoadFromStream(rtl::TStream* stream) override;
  void SaveToStream(rtl::TStream* stream) override;
  void Assign(TPersistent* source) override;

protected:
  void Draw(TCanvas* canvas, const TRect& rect) override;
  void AssignTo(TPersistent* dest) override;

private:
  int width_ = 0, height_ = 0;
  std::vector<uint8_t> rgb_;    // top-down rows of width * 3 bytes, B G R
  std::vector<uint8_t> alpha_;  // top-down rows of width bytes, or empty
  int compressionLevel_ = 7;
};

}  // namespace forms
