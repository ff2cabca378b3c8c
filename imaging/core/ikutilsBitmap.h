#pragma once
// TIKBitmap, the imaging component's image buffer: one raster of one of ten
// pixel formats, kept in memory, in a temporary file (one row mapped at a
// time) or in a wrapped platform bitmap, with an optional 8-bit alpha plane.
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "imaging/core/ikdefs.h"
#include "imaging/core/ikutilsFileBuffer.h"
#include "platform/forms/Classes.h"
#include "platform/forms/Graphics.h"

namespace imaging {

class TIKMask;
class TIKDibbitmap;
struct TIKRenderCache;
enum TResampleFilter : uint8_t;

// One ikRGB48 pixel: three 16-bit samples, red first.
struct TRGB48 {
  uint16_t r = 0;
  uint16_t g = 0;
  uint16_t b = 0;
  friend bool operator==(const TRGB48&, const TRGB48&) = default;
};
static_assert(sizeof(TRGB48) == 6);

// The base of the component's bitmaps.
class TIKBaseBitmap : public forms::TObject {
public:
  TIKDataAccess Access() const { return access_; }
  // Narrowed to read or write only by copy loops for the length of a call.
  void SetAccess(TIKDataAccess access) { access_ = access; }

  // Row 0 is the top row.
  virtual void* ScanLine(int32_t row) = 0;
  virtual int32_t BitCount() = 0;
  virtual int32_t Height() = 0;
  virtual int32_t Width() = 0;
  virtual TIKPixelFormat PixelFormat() = 0;
  virtual int32_t RowLength() = 0;
  virtual TRGB GetPaletteColor(int32_t index) = 0;
  virtual void SetPaletteColor(int32_t index, const TRGB& color) = 0;
  virtual int32_t PaletteLength() = 0;
  // Discards the old raster and allocates a new one.
  virtual void Allocate(int32_t width, int32_t height, TIKPixelFormat format) = 0;
  virtual void Assign(forms::TObject* source) = 0;

private:
  TIKDataAccess access_ = ikaRead | ikaWrite;
};

// Memory threshold for bitmaps created from now on; -1: half of the
// available memory.
extern std::atomic<int64_t> DefaultMemoryThreshold;

// The largest raster a bitmap takes, in bytes. Sizes come from file
// headers; everything the component's 32-bit row arithmetic can address is
// allowed, anything larger is refused before it is allocated.
inline constexpr int64_t MaxRasterSize = 2147483647;

// Narrows two bitmaps' access for one copy or conversion (so file-backed
// rows of the source are never written back) and restores it however the
// work ends.
class TIKAccessScope {
public:
  TIKAccessScope(TIKBaseBitmap* source, TIKBaseBitmap* dest)
      : source_(source), dest_(dest), sourceAccess_(source->Access()), destAccess_(dest->Access()) {
    source_->SetAccess(ikaRead);
    dest_->SetAccess(ikaWrite);
  }
  ~TIKAccessScope() {
    source_->SetAccess(sourceAccess_);
    dest_->SetAccess(destAccess_);
  }
  TIKAccessScope(const TIKAccessScope&) = delete;
  TIKAccessScope& operator=(const TIKAccessScope&) = delete;

private:
  TIKBaseBitmap* source_;
  TIKBaseBitmap* dest_;
  TIKDataAccess sourceAccess_;
  TIKDataAccess destAccess_;
};

class TIKBitmap : public TIKBaseBitmap {
public:
  TIKBitmap();
  ~TIKBitmap() override;

  // A fully opaque alpha plane: 8-bit gray, all 255, Full. ikTBitmap
  // becomes ikMemory.
  static std::unique_ptr<TIKBitmap> CreateAsAlpha(int32_t width, int32_t height, TIKLocation location);

  // ---- geometry (in ikTBitmap re-read from the wrapped bitmap first) ----
  // In ikFile the address holds until the next ScanLine of this bitmap.
  void* ScanLine(int32_t row) override;
  int32_t BitCount() override;
  int32_t Height() override;
  int32_t Width() override;
  TIKPixelFormat PixelFormat() override;
  int32_t RowLength() override;
  int32_t ChannelCount() const { return channelCount_; }
  bool IsEmpty() const;

  // ---- palette (ikPalette8: 256 entries) ----
  TRGB GetPaletteColor(int32_t index) override;
  void SetPaletteColor(int32_t index, const TRGB& color) override;
  int32_t PaletteLength() override { return paletteLength_; }
  TRGB* Palette() { return palette_.get(); }

  // ---- storage ----
  // EIKError when the raster would be larger than MaxRasterSize (the bitmap
  // is then left empty) or when ikTBitmap cannot hold the format.
  void Allocate(int32_t width, int32_t height, TIKPixelFormat format) override;
  void FreeImage(bool freeAlpha);
  TIKLocation Location() const { return location_; }
  void SetLocation(TIKLocation location);
  forms::TBitmap* GetTBitmap();
  forms::TCanvas* GetCanvas();
  // Wraps a caller's bitmap without copying. A bitmap of a depth the buffer
  // has no format for (4, 15, 16, 32 bits, device) is converted to 24 bits,
  // so that its rows have the length the buffer reads.
  void EncapsulateTBitmap(forms::TBitmap* bitmap, bool freeFirst);
  // Wraps a caller's raster of Height bottom-up rows of RowLength bytes.
  void EncapsulateMemory(void* buffer, int32_t width, int32_t height, TIKPixelFormat format, bool freeFirst);
  // Moves the whole raster, alpha plane and file store to `destination`
  // without copying; this bitmap is left empty.
  void TransferTo(TIKBitmap* destination);

  // ---- copying ----
  // A TIKBitmap source: pixels, palette, alpha plane and dither method.
  void Assign(forms::TObject* source) override;
  // Pixels and palette only; this bitmap keeps its alpha plane.
  void AssignImage(TIKBitmap* source);

  // ---- pixel-format conversion (ikutilsConvert.cpp) ----
  // Nothing when the format is the current one.
  void SetPixelFormat(TIKPixelFormat format);
  // Converts in place; the alpha plane stays, the memory threshold decides
  // the location anew.
  void ConvertPixelFormat(TIKPixelFormat format);
  // Fills `destination`, already allocated in the target format, from a
  // source of the same size. A conversion through ikRGB24 converts the
  // source in place first, and the source's alpha plane moves to the
  // destination.
  static void ConvertPixelFormatCopy(TIKBitmap* destination, TIKBitmap* source);

  // ---- size, pixels, fills and rectangle copies (ikutilsEdit.cpp) ----
  void SetWidth(int32_t value);
  void SetHeight(int32_t value);
  // Positions: 0 left or top, 1 centre, 2 right or bottom.
  void ResizeCanvas(int32_t newWidth, int32_t newHeight, double fillValue, double alphaFillValue,
                    int32_t horizontalPosition, int32_t verticalPosition);
  void MoveRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t destX, int32_t destY, double fillValue);
  // Typed accessors: no bounds check, callers stay inside the bitmap.
  uint8_t GetPixelByte(int32_t x, int32_t y);
  void SetPixelByte(int32_t x, int32_t y, uint8_t value);
  uint16_t GetPixelWord(int32_t x, int32_t y);
  void SetPixelWord(int32_t x, int32_t y, uint16_t value);
  float GetPixelFloat(int32_t x, int32_t y);
  void SetPixelFloat(int32_t x, int32_t y, float value);
  // The four bytes c, m, y, k from the low byte up.
  uint32_t GetPixelCMYK(int32_t x, int32_t y);
  void SetPixelCMYK(int32_t x, int32_t y, uint32_t value);
  TRGB GetPixelRGB24(int32_t x, int32_t y);
  void SetPixelRGB24(int32_t x, int32_t y, const TRGB& value);
  TRGB48 GetPixelRGB48(int32_t x, int32_t y);
  void SetPixelRGB48(int32_t x, int32_t y, const TRGB48& value);
  // Any format as a colour.
  TRGB GetPixelRGB(int32_t x, int32_t y);
  void Fill(double value);
  void FillRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, double value);
  // Copies between equal formats, and ikMono1 into ikRGB24; the rectangle
  // is clipped against both bitmaps and a part outside either is skipped.
  void CopyRectTo(TIKBitmap* destination, int32_t sourceX, int32_t sourceY, int32_t destX, int32_t destY,
                  int32_t width, int32_t height);
  void MergeAlphaRectTo(TIKBitmap* destination, int32_t sourceX, int32_t sourceY, int32_t destX, int32_t destY,
                        int32_t width, int32_t height);
  void CopyFromTBitmap(forms::TBitmap* bitmap);
  void CopyFromTIKMask(TIKMask* mask);
  void CopyToTIKMask(TIKMask* mask);
  void CopyFromDibBitmap(TIKDibbitmap* dib);
  bool IsAllZero();
  bool IsGrayscale();

  // ---- drawing into a 24-bit bitmap (ikutilsRender.cpp) ----
  // `cache` keeps the destination row, column and row tables between
  // calls (empty tables are built here); `clip` limits the destination
  // pixels that change (inclusive corners). Raises EIKError for a
  // destination that is not ikRGB24 with all rows in memory at once.
  void RenderBitmapRect(TIKBitmap* destination, TIKRenderCache* cache, const forms::TRect* clip, int32_t destX,
                        int32_t destY, int32_t destWidth, int32_t destHeight, int32_t sourceX, int32_t sourceY,
                        int32_t sourceWidth, int32_t sourceHeight, bool useAlpha, bool repeatRows, int32_t opacity,
                        TResampleFilter filter, bool freeTables, uint8_t operation);
  void RenderToTIKBitmap(TIKBitmap* destination, int32_t destX, int32_t destY, int32_t destWidth, int32_t destHeight,
                         int32_t sourceX, int32_t sourceY, int32_t sourceWidth, int32_t sourceHeight, int32_t opacity,
                         TResampleFilter filter, uint8_t operation);
  void RenderToTBitmapEx(forms::TBitmap* bitmap, TIKRenderCache* cache, const forms::TRect* clip, int32_t destX,
                         int32_t destY, int32_t destWidth, int32_t destHeight, int32_t sourceX, int32_t sourceY,
                         int32_t sourceWidth, int32_t sourceHeight, bool useAlpha, bool repeatRows, int32_t opacity,
                         TResampleFilter filter, bool freeTables, uint8_t operation);
  void RenderToTBitmap(forms::TBitmap* bitmap, int32_t destX, int32_t destY, int32_t destWidth, int32_t destHeight,
                       int32_t sourceX, int32_t sourceY, int32_t sourceWidth, int32_t sourceHeight, int32_t opacity,
                       TResampleFilter filter, uint8_t operation);

  // ---- alpha plane (255 = opaque) ----
  // Made on first use; null on a bitmap that is itself an alpha plane.
  TIKBitmap* GetAlphaChannel();
  bool HasAlphaChannel() const { return alpha_ != nullptr; }
  void RemoveAlphaChannel();
  bool IsAlphaPlane() const { return isAlphaPlane_; }
  uint8_t GetAlphaPixel(int32_t x, int32_t y);
  void SetAlphaPixel(int32_t x, int32_t y, uint8_t value);
  void CheckFullyOpaque();

  // ---- settings ----
  // True when every sample holds its maximum; renderers skip blending then.
  bool Full() const { return full_; }
  void SetFull(bool full) { full_ = full; }
  int64_t MemoryThreshold() const { return memoryThreshold_; }
  void SetMemoryThreshold(int64_t bytes) { memoryThreshold_ = bytes; }
  uint8_t DitherMethod() const { return ditherMethod_; }
  void SetDitherMethod(uint8_t method) { ditherMethod_ = method; }
  int32_t PaletteCapacity() const { return paletteCapacity_; }
  void SetPaletteCapacity(int32_t colors) { paletteCapacity_ = colors; }
  int32_t RowAlignment() const { return rowAlignment_; }
  // 0: heap blocks; 1: whole pages from the system.
  uint8_t AllocationKind() const { return allocationKind_; }
  void SetAllocationKind(uint8_t kind) { allocationKind_ = kind; }
  bool PlatformBitmapNotOwned() const { return platformBitmapNotOwned_; }
  bool MemoryNotOwned() const { return memoryNotOwned_; }

  // The store of the ikFile location and the raster of ikMemory.
  TIKFileBuffer* FileBuffer() { return fileBuffer_.get(); }
  uint8_t* Bits() { return bits_; }

private:
  void AllocateBitmapStorage();
  void SetGeometry(int32_t width, int32_t height, TIKPixelFormat format);
  void PrepareTBitmap();
  void RebuildRowCache();
  void SyncFromTBitmap();
  void PushPaletteToTBitmap();
  void UnmapRow();
  void FreeBitsBlock();
  void CopyPixelsFrom(TIKBitmap* source);
  void CopyRowsFrom(TIKBitmap* source);
  void AssignCommon(TIKBitmap* source, bool withAlpha);
  void FillOpaque();
  void ResizeTo(int32_t width, int32_t height);
  void ShiftForCanvas(bool horizontal, int32_t oldSize, int32_t newSize, int32_t position, double fillValue,
                      bool growing);
  void ConvertCopy(TIKBitmap* source, uint8_t ditherMethod, int32_t paletteCapacity);
  uint8_t* PixelAddress(int32_t x, int32_t y, int32_t bytesPerPixel) {
    return static_cast<uint8_t*>(ScanLine(y)) + static_cast<int64_t>(x) * bytesPerPixel;
  }

  std::unique_ptr<TIKFileBuffer> fileBuffer_;
  void* mappedRow_ = nullptr;
  std::unique_ptr<TRGB[]> palette_;
  int32_t paletteLength_ = 0;
  std::unique_ptr<TIKBitmap> alpha_;
  uint8_t* bits_ = nullptr;
  void* bitsBlock_ = nullptr;
  struct FreeBlock {
    void operator()(uint8_t* p) const { std::free(p); }
  };
  // bitsBlock_ when it came from the heap (calloc: large blocks arrive as
  // fresh zero pages without a pass of their own).
  std::unique_ptr<uint8_t[], FreeBlock> heapBlock_;
  bool pageBlock_ = false;                 // bitsBlock_ came from PageAlloc
  forms::TBitmap* platformBitmap_ = nullptr;
  std::unique_ptr<forms::TBitmap> ownedPlatformBitmap_;
  std::vector<uint8_t*> rowCache_;
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t bitCount_ = 0;
  int32_t channelCount_ = 0;
  int32_t rowLength_ = 0;
  TIKPixelFormat pixelFormat_ = ikNoFormat;
  bool isAlphaPlane_ = false;
  TIKLocation location_ = ikFile;
  bool full_ = false;
  bool platformBitmapNotOwned_ = false;
  bool memoryNotOwned_ = false;
  int64_t memoryThreshold_ = 0;
  uint8_t ditherMethod_ = 1;
  int32_t paletteCapacity_ = 256;
  int32_t rowAlignment_ = 32;
  uint8_t allocationKind_ = 0;
};

}  // namespace imaging
