#pragma once
// The small part of the GDI+ flat library the layered windows use:
// pictures with alpha drawn scaled into a 32-bit premultiplied surface,
// anti-aliased strings, rectangles with ARGB pens and brushes.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/win/Types.h"

namespace win {
class Surface;
}

namespace win::Gdiplus {

enum Status {
  Ok = 0,
  GenericError = 1,
  InvalidParameter = 2,
  OutOfMemory = 3,
  ObjectBusy = 4,
  InsufficientBuffer = 5,
  NotImplemented = 6,
  Win32Error = 7,
  WrongState = 8,
  Aborted = 9,
  FileNotFound = 10,
  ValueOverflow = 11,
  AccessDenied = 12,
  UnknownImageFormat = 13,
};

enum Unit { UnitWorld = 0, UnitDisplay = 1, UnitPixel = 2, UnitPoint = 3 };
enum TextRenderingHint {
  TextRenderingHintSystemDefault = 0,
  TextRenderingHintSingleBitPerPixelGridFit = 1,
  TextRenderingHintSingleBitPerPixel = 2,
  TextRenderingHintAntiAliasGridFit = 3,
  TextRenderingHintAntiAlias = 4,
  TextRenderingHintClearTypeGridFit = 5,
};
enum StringAlignment { StringAlignmentNear = 0, StringAlignmentCenter = 1, StringAlignmentFar = 2 };
enum StringTrimming {
  StringTrimmingNone = 0,
  StringTrimmingCharacter = 1,
  StringTrimmingWord = 2,
  StringTrimmingEllipsisCharacter = 3,
  StringTrimmingEllipsisWord = 4,
  StringTrimmingEllipsisPath = 5,
};
inline constexpr int StringFormatFlagsNoWrap = 0x00001000;

struct GdiplusStartupInput {
  uint32_t GdiplusVersion = 1;
  void* DebugEventCallback = nullptr;
  BOOL SuppressBackgroundThread = FALSE;
  BOOL SuppressExternalCodecs = FALSE;
};
Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, void* output);
void GdiplusShutdown(ULONG_PTR token);

// 0xAARRGGBB, straight alpha.
class Color {
public:
  Color() = default;
  Color(BYTE r, BYTE g, BYTE b) : argb_(0xFF000000u | (uint32_t{r} << 16) | (uint32_t{g} << 8) | b) {}
  Color(BYTE a, BYTE r, BYTE g, BYTE b) : argb_((uint32_t{a} << 24) | (uint32_t{r} << 16) | (uint32_t{g} << 8) | b) {}
  explicit Color(uint32_t argb) : argb_(argb) {}
  uint32_t GetValue() const { return argb_; }
  BYTE GetA() const { return static_cast<BYTE>(argb_ >> 24); }

private:
  uint32_t argb_ = 0xFF000000u;
};

struct Rect {
  INT X = 0, Y = 0, Width = 0, Height = 0;
};
struct RectF {
  float X = 0, Y = 0, Width = 0, Height = 0;
};

// A decoded picture (PNG or BMP), kept premultiplied. A file that cannot
// be read gives an image in an error state: zero size, draws nothing.
class Image {
public:
  explicit Image(const WCHAR* fileName, BOOL useIcm = FALSE);
  explicit Image(const std::string& fileName);
  // The picture's bytes, as an IStream would deliver them.
  Image(const uint8_t* data, size_t size);
  ~Image();
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  static Image* FromFile(const WCHAR* fileName, BOOL useIcm = FALSE) { return new Image(fileName, useIcm); }

  UINT GetWidth() const;
  UINT GetHeight() const;
  Status GetLastStatus() const { return status_; }
  const Surface* Pixels() const { return pixels_.get(); }

private:
  void Load(const uint8_t* data, size_t size);
  std::unique_ptr<Surface> pixels_;
  Status status_ = Ok;
};

class SolidBrush {
public:
  explicit SolidBrush(const Color& c) : color_(c) {}
  Color GetColor() const { return color_; }
  void SetColor(const Color& c) { color_ = c; }

private:
  Color color_;
};

class Pen {
public:
  explicit Pen(const Color& c, float width = 1.0f) : color_(c), width_(width) {}
  Color GetColor() const { return color_; }
  float GetWidth() const { return width_; }

private:
  Color color_;
  float width_;
};

// A font made from a DC's logical font.
class Font {
public:
  Font(HDC hdc, HFONT font);
  explicit Font(HDC hdc);
  ~Font();
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;
  HFONT Handle() const { return font_; }
  Status GetLastStatus() const { return font_ ? Ok : InvalidParameter; }

private:
  HFONT font_ = nullptr;  // a private copy
};

class StringFormat {
public:
  StringFormat() = default;
  explicit StringFormat(int flags) : flags_(flags) {}
  void SetAlignment(StringAlignment a) { align_ = a; }
  void SetLineAlignment(StringAlignment a) { lineAlign_ = a; }
  void SetFormatFlags(int flags) { flags_ = flags; }
  void SetTrimming(StringTrimming t) { trimming_ = t; }
  StringAlignment GetAlignment() const { return align_; }
  StringAlignment GetLineAlignment() const { return lineAlign_; }
  int GetFormatFlags() const { return flags_; }
  StringTrimming GetTrimming() const { return trimming_; }

private:
  StringAlignment align_ = StringAlignmentNear;
  StringAlignment lineAlign_ = StringAlignmentNear;
  int flags_ = 0;
  StringTrimming trimming_ = StringTrimmingCharacter;
};

// Draws into the DC's pixels as premultiplied ARGB, composited source
// over, through the DC's origin and clip.
class Graphics {
public:
  explicit Graphics(HDC hdc);
  static Graphics* FromHDC(HDC hdc) { return new Graphics(hdc); }
  Status GetLastStatus() const { return hdc_ ? Ok : InvalidParameter; }

  Status SetTextRenderingHint(TextRenderingHint hint);
  TextRenderingHint GetTextRenderingHint() const { return hint_; }
  // Bilinear scaling of the source rectangle onto the destination.
  Status DrawImage(const Image* image, const Rect& dest, INT srcX, INT srcY, INT srcWidth, INT srcHeight, Unit unit);
  Status DrawImage(const Image* image, INT x, INT y, INT width, INT height);
  Status DrawImage(const Image* image, INT x, INT y);
  Status DrawString(const WCHAR* text, INT length, const Font* font, const RectF& layout, const StringFormat* format,
                    const SolidBrush* brush);
  Status DrawRectangle(const Pen* pen, INT x, INT y, INT width, INT height);
  Status FillRectangle(const SolidBrush* brush, INT x, INT y, INT width, INT height);
  Status Clear(const Color& color);

private:
  HDC hdc_ = nullptr;
  TextRenderingHint hint_ = TextRenderingHintSystemDefault;
};

}  // namespace win::Gdiplus
