#pragma once
// Document annotations (lines, freehand strokes, text, attached images)
// kept in their TIFF tag's stream format: the component stores the marks
// and writes them back; it never draws them.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "imaging/core/ikdefs.h"

namespace imaging {

class TIKBitmap;

struct TIKAnnotPoint {
  int32_t x = 0;
  int32_t y = 0;
  friend bool operator==(const TIKAnnotPoint&, const TIKAnnotPoint&) = default;
};

class TIKImagingObject {
public:
  TIKImagingObject();
  ~TIKImagingObject();
  TIKImagingObject(const TIKImagingObject&) = delete;
  TIKImagingObject& operator=(const TIKImagingObject&) = delete;

  // The mark type (bytes 0..3 of the attribute record): 1 image, 2 image
  // reference, 3 and 4 point lists, 7 to 10 text, 12 image.
  int32_t MarkType() const;
  // The first value of the font record (bytes 48..51).
  int32_t FontHeight() const;
  void SetFontHeight(int32_t height);
  int32_t PointCount() const { return static_cast<int32_t>(Points.size()); }

  std::array<uint8_t, 164> Attributes{};
  std::vector<TIKAnnotPoint> Points;
  String Text;
  std::unique_ptr<TIKBitmap> Image;
};

class TIKImagingAnnot {
public:
  TIKImagingAnnot() = default;
  TIKImagingAnnot(const TIKImagingAnnot&) = delete;
  TIKImagingAnnot& operator=(const TIKImagingAnnot&) = delete;

  void Clear() { Marks.clear(); }
  // Clear, then a deep copy of every mark; null is ignored.
  void Assign(const TIKImagingAnnot* source);
  // Appends the marks of the stream. Every block is checked against the
  // block's length: the first one that runs past the end ends the read, and
  // the marks finished before it stay.
  void LoadFromBuffer(const void* block, int64_t length);
  // Empty when there are no marks.
  std::vector<uint8_t> SaveToBuffer() const;

  bool Changed = false;
  std::vector<std::unique_ptr<TIKImagingObject>> Marks;
};

// The display's resolution in dots per inch, set by the view module at
// start-up: text marks store their font size relative to it.
extern int32_t AnnotScreenDpiX;
extern int32_t AnnotScreenDpiY;

// The packed device-independent bitmap exchange of image marks. The views
// library owns those routines and installs them here at start-up; until
// then an image mark keeps its attributes but no picture.
using TIKDibToBitmapProc = std::function<bool(const uint8_t* dib, int64_t size, TIKBitmap* dest)>;
using TIKBitmapToDibProc = std::function<std::vector<uint8_t>(TIKBitmap* source)>;
extern TIKDibToBitmapProc AnnotDibToBitmap;
extern TIKBitmapToDibProc AnnotBitmapToDib;

}  // namespace imaging
