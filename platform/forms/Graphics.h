#pragma once
// The class library's drawing tools and pictures: colours, fonts, pens and
// brushes that own their GDI objects, the canvas that selects them into a
// device context on demand, and the picture classes (bitmaps, icons and the
// TPicture container that picks a class by file extension).
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/forms/Classes.h"
#include "platform/forms/Components.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Streams.h"
#include "platform/win/Types.h"

namespace forms {

using TRect = win::RECT;
using TPoint = win::POINT;
using TSize = win::SIZE;

inline TRect Rect(int left, int top, int right, int bottom) { return TRect{left, top, right, bottom}; }
inline TRect Bounds(int left, int top, int width, int height) {
  return TRect{left, top, left + width, top + height};
}
inline TPoint Point(int x, int y) { return TPoint{x, y}; }

// ---- colours ----
// 0x00BBGGRR for an explicit colour; the high byte 0xFF marks a system
// colour whose low byte is the COLOR_* index.
using TColor = int32_t;

inline constexpr TColor clSystemColor = static_cast<TColor>(0xFF000000u);
inline constexpr TColor clScrollBar = clSystemColor | 0;
inline constexpr TColor clBackground = clSystemColor | 1;
inline constexpr TColor clActiveCaption = clSystemColor | 2;
inline constexpr TColor clInactiveCaption = clSystemColor | 3;
inline constexpr TColor clMenu = clSystemColor | 4;
inline constexpr TColor clWindow = clSystemColor | 5;
inline constexpr TColor clWindowFrame = clSystemColor | 6;
inline constexpr TColor clMenuText = clSystemColor | 7;
inline constexpr TColor clWindowText = clSystemColor | 8;
inline constexpr TColor clCaptionText = clSystemColor | 9;
inline constexpr TColor clActiveBorder = clSystemColor | 10;
inline constexpr TColor clInactiveBorder = clSystemColor | 11;
inline constexpr TColor clAppWorkSpace = clSystemColor | 12;
inline constexpr TColor clHighlight = clSystemColor | 13;
inline constexpr TColor clHighlightText = clSystemColor | 14;
inline constexpr TColor clBtnFace = clSystemColor | 15;
inline constexpr TColor clBtnShadow = clSystemColor | 16;
inline constexpr TColor clGrayText = clSystemColor | 17;
inline constexpr TColor clBtnText = clSystemColor | 18;
inline constexpr TColor clInactiveCaptionText = clSystemColor | 19;
inline constexpr TColor clBtnHighlight = clSystemColor | 20;
inline constexpr TColor cl3DDkShadow = clSystemColor | 21;
inline constexpr TColor cl3DLight = clSystemColor | 22;
inline constexpr TColor clInfoText = clSystemColor | 23;
inline constexpr TColor clInfoBk = clSystemColor | 24;
inline constexpr TColor clHotLight = clSystemColor | 26;
inline constexpr TColor clGradientActiveCaption = clSystemColor | 27;
inline constexpr TColor clGradientInactiveCaption = clSystemColor | 28;
inline constexpr TColor clMenuHighlight = clSystemColor | 29;
inline constexpr TColor clMenuBar = clSystemColor | 30;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clLtGray = 0xC0C0C0;
inline constexpr TColor clDkGray = 0x808080;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clMoneyGreen = 0xC0DCC0;
inline constexpr TColor clSkyBlue = 0xF0CAA6;
inline constexpr TColor clCream = 0xF0FBFF;
inline constexpr TColor clMedGray = 0xA4A0A0;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;

// The RGB value of a colour: system colours resolve through GetSysColor.
win::COLORREF ColorToRGB(TColor color);

// ---- errors ----
class EInvalidGraphic : public rtl::Exception { using Exception::Exception; };
class EInvalidGraphicOperation : public rtl::Exception { using Exception::Exception; };

class TCanvas;

// ---- fonts, pens, brushes ----
// The shared shape of the drawing tools: a change fires OnChange, which the
// canvas holding the tool listens to.
class TGraphicsObject : public TPersistent {
public:
  TNotifyEvent OnChange;

protected:
  virtual void Changed();
};

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = SetOf<TFontStyle>;
enum TFontPitch { fpDefault, fpVariable, fpFixed };
using TFontCharset = uint8_t;

class TFont : public TGraphicsObject {
public:
  TFont();
  ~TFont() override;

  String Name() const { return name_; }
  void SetName(const String& name);
  // Points at the font's PixelsPerInch (96). Size and Height are two views
  // of one value: a positive Height is a cell height, and then Size is
  // negative, as the class library keeps them.
  int Size() const;
  void SetSize(int points);
  int Height() const { return height_; }
  void SetHeight(int pixels);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles style);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TFontCharset Charset() const { return charset_; }
  void SetCharset(TFontCharset charset);
  TFontPitch Pitch() const { return pitch_; }
  void SetPitch(TFontPitch pitch);
  // Tenths of a degree, for rotated text.
  int Orientation() const { return orientation_; }
  void SetOrientation(int tenths);
  int PixelsPerInch() const { return pixelsPerInch_; }
  void SetPixelsPerInch(int ppi) { pixelsPerInch_ = ppi; }

  // Created on first use; any change deletes it so the next use creates
  // one that matches. Setting a handle takes over a font made elsewhere
  // and reads its attributes.
  win::HFONT Handle();
  void SetHandle(win::HFONT font);
  bool HandleAllocated() const { return handle_ != nullptr; }

  void Assign(TPersistent* source) override;

protected:
  void Changed() override;

private:
  void FreeHandle();
  String name_;
  int height_;
  int pixelsPerInch_ = 96;
  TFontStyles style_;
  TColor color_;
  TFontCharset charset_;
  TFontPitch pitch_ = fpDefault;
  int orientation_ = 0;
  win::HFONT handle_ = nullptr;
  bool ownsHandle_ = false;
};

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TPenMode {
  pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot, pmMergeNotPen,
  pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor
};

class TPen : public TGraphicsObject {
public:
  TPen();
  ~TPen() override;

  TColor Color() const { return color_; }
  void SetColor(TColor color);
  int Width() const { return width_; }
  void SetWidth(int width);
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle style);
  // The mix mode; the canvas applies it with SetROP2 (a DC state, not part
  // of the pen object).
  TPenMode Mode() const { return mode_; }
  void SetMode(TPenMode mode);

  win::HPEN Handle();
  bool HandleAllocated() const { return handle_ != nullptr; }

  void Assign(TPersistent* source) override;

protected:
  void Changed() override;

private:
  void FreeHandle();
  TColor color_ = clBlack;
  int width_ = 1;
  TPenStyle style_ = psSolid;
  TPenMode mode_ = pmCopy;
  win::HPEN handle_ = nullptr;
};

enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };

class TBitmap;

class TBrush : public TGraphicsObject {
public:
  TBrush();
  ~TBrush() override;

  TColor Color() const { return color_; }
  // A colour makes a clear brush solid again, as the class library does.
  void SetColor(TColor color);
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle style);
  // A pattern brush from a copy of the bitmap's pixels taken when the
  // handle is made; the bitmap stays the caller's. Null for none.
  TBitmap* Bitmap() const { return bitmap_; }
  void SetBitmap(TBitmap* bitmap);

  win::HBRUSH Handle();
  bool HandleAllocated() const { return handle_ != nullptr; }

  void Assign(TPersistent* source) override;

protected:
  void Changed() override;

private:
  void FreeHandle();
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
  TBitmap* bitmap_ = nullptr;
  win::HBRUSH handle_ = nullptr;
};

// ---- canvas ----
enum TCanvasState { csHandleValid, csFontValid, csPenValid, csBrushValid };
using TCanvasStates = SetOf<TCanvasState>;

enum TTextFormats {
  tfBottom, tfCalcRect, tfCenter, tfEditControl, tfEndEllipsis, tfPathEllipsis, tfExpandTabs, tfExternalLeading,
  tfLeft, tfModifyString, tfNoClip, tfNoPrefix, tfRight, tfRtlReading, tfSingleLine, tfTop, tfVerticalCenter,
  tfWordBreak, tfHidePrefix, tfNoFullWidthCharBreak, tfPrefixOnly, tfTabStop, tfWordEllipsis
};
using TTextFormat = SetOf<TTextFormats>;
// The DrawText flags a text format stands for.
win::UINT TextFormatFlags(TTextFormat format);

using TCopyMode = int32_t;
inline constexpr TCopyMode cmBlackness = 0x00000042;
inline constexpr TCopyMode cmDstInvert = 0x00550009;
inline constexpr TCopyMode cmMergeCopy = 0x00C000CA;
inline constexpr TCopyMode cmMergePaint = 0x00BB0226;
inline constexpr TCopyMode cmNotSrcCopy = 0x00330008;
inline constexpr TCopyMode cmNotSrcErase = 0x001100A6;
inline constexpr TCopyMode cmPatCopy = 0x00F00021;
inline constexpr TCopyMode cmPatInvert = 0x005A0049;
inline constexpr TCopyMode cmPatPaint = 0x00FB0A09;
inline constexpr TCopyMode cmSrcAnd = 0x008800C6;
inline constexpr TCopyMode cmSrcCopy = 0x00CC0020;
inline constexpr TCopyMode cmSrcErase = 0x00440328;
inline constexpr TCopyMode cmSrcInvert = 0x00660046;
inline constexpr TCopyMode cmSrcPaint = 0x00EE0086;
inline constexpr TCopyMode cmWhiteness = 0x00FF0062;

class TGraphic;

// Draws through a device context. The canvas's Font, Pen and Brush are
// selected into the DC only when a call needs them and deselected (stock
// objects back in) before the DC goes away, so the DC never holds an object
// the canvas is about to delete.
class TCanvas : public TPersistent {
public:
  TCanvas();
  ~TCanvas() override;

  // The DC, made on demand by CreateHandle; EInvalidOperation ("Canvas
  // does not allow drawing") when there is none to be had.
  win::HDC Handle();
  // Hands the canvas a DC it does not own; null detaches (after putting
  // the stock objects back).
  void SetHandle(win::HDC dc);
  bool HandleAllocated() const { return handle_ != nullptr; }

  TFont* Font() { return font_.get(); }
  TPen* Pen() { return pen_.get(); }
  TBrush* Brush() { return brush_.get(); }
  void SetFont(TFont* font) { font_->Assign(font); }
  void SetPen(TPen* pen) { pen_->Assign(pen); }
  void SetBrush(TBrush* brush) { brush_->Assign(brush); }
  TCopyMode CopyMode() const { return copyMode_; }
  void SetCopyMode(TCopyMode mode) { copyMode_ = mode; }
  // ExtTextOut options TextOut and TextRect add (ETO_RTLREADING and such).
  int TextFlags() const { return textFlags_; }
  void SetTextFlags(int flags) { textFlags_ = flags; }
  TPoint PenPos();
  void SetPenPos(TPoint p) { MoveTo(p.x, p.y); }
  TCanvasStates State() const { return state_; }

  // One lock per canvas, re-entrant for the thread that holds it, so a
  // worker can draw on a bitmap the GUI thread also paints from.
  void Lock();
  void Unlock();
  // Locks and answers true only when nobody holds the lock.
  bool TryLock();
  int LockCount() const;

  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void Polyline(const std::vector<TPoint>& points);
  void Polygon(const std::vector<TPoint>& points);
  void PolyBezier(const std::vector<TPoint>& points);
  void Rectangle(int x1, int y1, int x2, int y2);
  void Rectangle(const TRect& r) { Rectangle(r.left, r.top, r.right, r.bottom); }
  void RoundRect(int x1, int y1, int x2, int y2, int x3, int y3);
  void Ellipse(int x1, int y1, int x2, int y2);
  void Ellipse(const TRect& r) { Ellipse(r.left, r.top, r.right, r.bottom); }
  void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
  void Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
  void Chord(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
  void FillRect(const TRect& r);
  void FrameRect(const TRect& r);
  void DrawFocusRect(const TRect& r);

  void TextOut(int x, int y, const String& text);
  void TextRect(const TRect& r, int x, int y, const String& text);
  // DrawText with the format's flags; with tfCalcRect `r` receives the
  // text's extent and nothing is drawn, and with tfModifyString `text`
  // receives the ellipsised string.
  void TextRect(TRect& r, String& text, TTextFormat format);
  int TextWidth(const String& text);
  int TextHeight(const String& text);
  TSize TextExtent(const String& text);

  void Draw(int x, int y, TGraphic* graphic);
  void StretchDraw(const TRect& r, TGraphic* graphic);
  void CopyRect(const TRect& dest, TCanvas* canvas, const TRect& source);
  // Copies `source` replacing its pixels of `color` with the brush.
  void BrushCopy(const TRect& dest, TBitmap* bitmap, const TRect& source, TColor color);

  TColor Pixels(int x, int y);
  void SetPixel(int x, int y, TColor color);
  TRect ClipRect();

  void Refresh();

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

  // Makes sure the DC exists and holds the objects named; used by the
  // controls and pictures that draw on the DC directly.
  void RequiredState(TCanvasStates required);

protected:
  // Makes a DC when the canvas is asked for one and has none. The base
  // canvas has no way to make one; control and bitmap canvases do.
  virtual void CreateHandle();
  virtual void Changed();
  virtual void Changing();

private:
  void CreateFont();
  void CreatePen();
  void CreateBrush();
  void DeselectHandles();
  void FontChanged();
  void PenChanged();
  void BrushChanged();

  win::HDC handle_ = nullptr;
  TCanvasStates state_;
  std::unique_ptr<TFont> font_;
  std::unique_ptr<TPen> pen_;
  std::unique_ptr<TBrush> brush_;
  TCopyMode copyMode_ = cmSrcCopy;
  int textFlags_ = 0;
  std::recursive_mutex lock_;
  mutable std::mutex countLock_;
  int lockCount_ = 0;
};

// ---- pictures ----
class TGraphic : public TPersistent {
public:
  virtual bool Empty() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void SetWidth(int width) = 0;
  virtual void SetHeight(int height) = 0;
  virtual bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool transparent);
  bool Modified() const { return modified_; }
  void SetModified(bool modified);

  virtual void LoadFromFile(const String& fileName);
  virtual void SaveToFile(const String& fileName);
  virtual void LoadFromStream(rtl::TStream* stream) = 0;
  virtual void SaveToStream(rtl::TStream* stream) = 0;

  TNotifyEvent OnChange;

protected:
  friend class TCanvas;
  friend class TPicture;
  // Paints the picture into `rect` of the canvas, stretching to fit and
  // honouring the picture's own transparency.
  virtual void Draw(TCanvas* canvas, const TRect& rect) = 0;
  virtual void Changed();

private:
  bool transparent_ = false;
  bool modified_ = false;
};

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
enum TBitmapHandleType { bmDIB, bmDDB };
enum TTransparentMode { tmAuto, tmFixed };

class TBitmapCanvas;

class TBitmap : public TGraphic {
public:
  TBitmap();
  ~TBitmap() override;

  bool Empty() const override { return width_ == 0 || height_ == 0; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  // Resizing keeps the picture at the top-left; new area takes the
  // canvas's brush colour (white unless changed).
  void SetWidth(int width) override { SetSize(width, height_); }
  void SetHeight(int height) override { SetSize(width_, height); }
  void SetSize(int width, int height);

  // pfDevice for any device bitmap, monochrome ones included.
  TPixelFormat PixelFormat() const;
  // Converts the pixels to the new depth (depths of 8 bits and less map
  // each pixel to the nearest entry of the format's colour table).
  void SetPixelFormat(TPixelFormat format);
  TBitmapHandleType HandleType() const { return ddb_ ? bmDDB : bmDIB; }
  void SetHandleType(TBitmapHandleType type);
  bool Monochrome() const;
  void SetMonochrome(bool mono);

  // The address of row `row` (0 = top) in the DIB's own layout: rows are
  // stored bottom-up, so the next row down is one stride lower in memory.
  // A device bitmap becomes a 32-bit DIB first.
  void* ScanLine(int row);

  TTransparentMode TransparentMode() const { return transparentMode_; }
  void SetTransparentMode(TTransparentMode mode);
  // tmAuto: the bottom-left pixel's colour (white for a monochrome
  // bitmap); tmFixed: the colour set.
  TColor TransparentColor();
  void SetTransparentColor(TColor color);

  TCanvas* Canvas();
  win::HBITMAP Handle();
  // Takes over a bitmap made elsewhere (the bitmap frees it later).
  void SetHandle(win::HBITMAP bitmap);
  bool HandleAllocated() const { return handle_ != nullptr; }
  // Gives the handle to the caller, who frees it; the bitmap becomes empty.
  win::HBITMAP ReleaseHandle();
  // The picture is always held as a live bitmap; there is no separate
  // stored form to fall back to or free.
  void Dormant() {}
  void FreeImage() {}

  // Reads and writes the colour table of depths of 8 bits and less.
  std::vector<uint32_t> ColorTable() const;
  void SetColorTable(const std::vector<uint32_t>& rgbEntries);

  void LoadFromStream(rtl::TStream* stream) override;
  void SaveToStream(rtl::TStream* stream) override;
  void Assign(TPersistent* source) override;

  // The picture as a 32-bit DIB-section copy the caller frees; for the
  // other picture classes' conversions.
  win::HBITMAP CopyAs32() const;

protected:
  void Draw(TCanvas* canvas, const TRect& rect) override;
  void Changed() override;

private:
  friend class TBitmapCanvas;
  friend class TBrush;
  void Rebuild(int width, int height, TPixelFormat format, bool ddb, bool monoDdb, bool keepPixels);
  void FreeContext();
  void ToDib32IfDdb();

  int width_ = 0;
  int height_ = 0;
  TPixelFormat format_ = pfDevice;
  bool ddb_ = true;
  bool monoDdb_ = false;
  win::HBITMAP handle_ = nullptr;
  void* bits_ = nullptr;
  TTransparentMode transparentMode_ = tmAuto;
  TColor transparentColor_ = clDefault;
  std::unique_ptr<TBitmapCanvas> canvas_;
};

// An icon: a colour image with an AND mask (or alpha), read from .ico
// files (the entry nearest 32x32, deepest first).
class TIcon : public TGraphic {
public:
  TIcon();
  ~TIcon() override;
  bool Empty() const override { return !image_ || image_->Empty(); }
  int Width() const override;
  int Height() const override;
  void SetWidth(int width) override;
  void SetHeight(int height) override;
  void LoadFromStream(rtl::TStream* stream) override;
  void SaveToStream(rtl::TStream* stream) override;
  void Assign(TPersistent* source) override;
  // The picture with straight alpha (0 where the mask is set).
  TBitmap* Image() const { return image_.get(); }

  // An icon handle made on demand from the picture; setting one takes it
  // over (the icon destroys it later) and reads its picture.
  win::HICON Handle();
  void SetHandle(win::HICON icon);
  bool HandleAllocated() const { return handle_ != nullptr; }
  // Gives the handle to the caller, who destroys it; the icon keeps its
  // picture.
  win::HICON ReleaseHandle();

protected:
  void Draw(TCanvas* canvas, const TRect& rect) override;
  void AssignTo(TPersistent* dest) override;
  void Changed() override;

private:
  void FreeHandle();
  std::unique_ptr<TBitmap> image_;  // pf32bit, alpha from the mask
  std::vector<uint8_t> data_;       // the .ico bytes as loaded
  win::HICON handle_ = nullptr;
};

// Holds one picture of any class; Bitmap asks for (and makes) a TBitmap.
class TPicture : public TPersistent {
public:
  TPicture();
  ~TPicture() override;

  TGraphic* Graphic() const { return graphic_.get(); }
  // A copy of `graphic` (of its own class) or none.
  void SetGraphic(TGraphic* graphic);
  // Replaces another picture class with an empty bitmap.
  TBitmap* Bitmap();
  void SetBitmap(TBitmap* bitmap) { SetGraphic(bitmap); }
  TIcon* Icon();
  int Width() const { return graphic_ ? graphic_->Width() : 0; }
  int Height() const { return graphic_ ? graphic_->Height() : 0; }

  // Picks the class by extension: .bmp, .jpg/.jpeg, .png, .ico; any other
  // raises EInvalidGraphic.
  void LoadFromFile(const String& fileName);
  void SaveToFile(const String& fileName);
  void Assign(TPersistent* source) override;

  TNotifyEvent OnChange;

protected:
  void AssignTo(TPersistent* dest) override;

private:
  void Changed(TObject* sender);
  void Take(std::unique_ptr<TGraphic> graphic);
  std::unique_ptr<TGraphic> graphic_;
};

// Makes an empty picture of the class that reads `extension` (".png"
// etc., any case), or null.
std::unique_ptr<TGraphic> NewGraphicForExtension(const String& extension);
// A new, empty picture of the same class as `graphic`.
std::unique_ptr<TGraphic> NewGraphicLike(const TGraphic& graphic);

}  // namespace forms
