#pragma once
// TIKQuantizer, the front end every palette writer and the buffer's
// palette conversion use: it keeps the palette of a palette image, makes a
// gray ramp for gray images, an exact palette when the image has few
// enough colours, and otherwise builds one by box splitting (below 128
// colours) or NeuQuant.
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "imaging/core/ikdefs.h"
#include "imaging/core/neurquant.h"
#include "imaging/core/stdquant.h"
#include "platform/forms/Classes.h"

namespace imaging {

class TIKBitmap;

// The distinct colours of an ikRGB24 source in first-seen order (row 0
// first), copied into `palette`; empty when the source is not ikRGB24 or
// has more than colorCount colours.
std::vector<TRGB> ExactColorList(TIKBitmap* source, int32_t colorCount, TRGB* palette);

class TIKQuantizer : public forms::TObject {
public:
  // Fills palette[0 .. colorCount - 1] for the source.
  TIKQuantizer(TIKBitmap* source, int32_t colorCount, TRGB* palette);
  ~TIKQuantizer() override;

  // The palette index for a colour; -1 for a colour missing from an exact
  // palette.
  int32_t ColorIndex(const TRGB& color) const;

  // 0 NeuQuant, 1 box split.
  int32_t Method() const { return method_; }
  bool GrayScale() const { return grayScale_; }
  bool HasExactList() const { return !exact_.empty(); }
  int32_t ColorCount() const { return colorCount_; }
  TIKBitmap* Source() const { return source_; }

private:
  int32_t method_ = 0;
  TNeuQuantHandle neuQuant_;
  TBoxQuantHandle boxQuant_;
  bool grayScale_ = false;
  std::vector<TRGB> exact_;
  std::unordered_map<uint32_t, int32_t> exactIndex_;
  std::vector<TRGB> sourcePalette_;
  int32_t colorCount_ = 0;
  TIKBitmap* source_ = nullptr;
};

// `dest` (ikPalette8, the source's size) gets the palette of a quantizer
// built on the ikRGB24 source for `colors` colours and an index per pixel.
void QuantizeToPalette(TIKBitmap* source, TIKBitmap* dest, int32_t colors);

}  // namespace imaging
