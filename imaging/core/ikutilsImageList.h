#pragma once
// TIKVirtualImageList: any number of images in one temporary file, with at
// most MaxMapped of them held in memory as heap copies (least recently used
// released first). An image is read back into a buffer, lent out as a
// shared TIKBitmap with a reference count, or reached through the address
// of its bottom-up rows for drawing. Freed blocks are reused first-fit.
// The list has no lock; callers serialize their calls.
#include <cstdint>
#include <list>
#include <memory>
#include <vector>

#include "imaging/core/ikdefs.h"
#include "imaging/core/ikutilsFileBuffer.h"

namespace imaging {

class TIKBitmap;

// One stored image; the handle the list hands out.
struct TIKVirtualImage {
  int64_t Position = 0;
  int64_t Size = 0;
  int64_t MappedSize = 0;
  uint8_t* Address = nullptr;
  bool Lent = false;
  int32_t FullWidth = 0;
  int32_t FullHeight = 0;
  bool HasAlpha = false;
  TIKDataAccess Access = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t BitsPerPixel = 0;
  uint8_t PixelFormat = 0;
};

class TIKVirtualImageList {
public:
  using Handle = TIKVirtualImage*;

  explicit TIKVirtualImageList(const String& prefix);
  ~TIKVirtualImageList();
  TIKVirtualImageList(const TIKVirtualImageList&) = delete;
  TIKVirtualImageList& operator=(const TIKVirtualImageList&) = delete;

  Handle AddImage(TIKBitmap* bitmap);
  void CopyToBitmap(Handle image, TIKBitmap* bitmap);
  void WriteBack(Handle image, TIKBitmap* bitmap);
  // Lends the image; the same bitmap while it is out. Null when its block
  // cannot be read.
  TIKBitmap* GetBitmap(Handle image);
  void ReleaseBitmap(TIKBitmap* bitmap, bool writeBack);
  void ReleaseBitmapByHandle(Handle image, bool writeBack);

  int32_t GetImageWidth(Handle image);
  int32_t GetImageHeight(Handle image);
  int32_t GetImageBitCount(Handle image);
  int32_t GetImagePixelFormat(Handle image);
  int32_t GetOriginalWidth(Handle image) const { return image->FullWidth; }
  int32_t GetOriginalHeight(Handle image) const { return image->FullHeight; }
  void SetOriginalWidth(Handle image, int32_t value) { image->FullWidth = value; }
  void SetOriginalHeight(Handle image, int32_t value) { image->FullHeight = value; }
  // The bottom row's address (rows run upwards from it); valid until the
  // image's copy is released. Null when the block cannot be read.
  void* GetImageBits(Handle image);
  // The alpha rows likewise; null without alpha or when fully opaque.
  void* GetAlphaBits(Handle image);

  void Delete(Handle image);
  void ClearAll();

  int32_t MaxMapped() const { return maxMapped_; }
  // Below 1 counts as 1: making room needs one copy to release.
  void SetMaxMapped(int32_t value) { maxMapped_ = value; }
  int32_t MappedCount() const { return mappedCount_; }
  int32_t ImageCount() const { return static_cast<int32_t>(images_.size()); }
  int64_t FileSize() const { return fileSize_; }
  const String& FileName() const { return store_.FileName(); }

  // Bytes of an image's block: rows padded to 4 bytes, plus with alpha the
  // fully-opaque flag byte and the 8-bit alpha rows.
  static int64_t BlockSize(int32_t width, int32_t height, int32_t bitsPerPixel, bool hasAlpha);

private:
  struct FreeBlock {
    int64_t position;
    int64_t size;
  };
  struct LentEntry {
    Handle image;
    std::unique_ptr<TIKBitmap> bitmap;
    int32_t count;
  };

  void Allocate(Handle image, int32_t width, bool hasAlpha, uint8_t pixelFormat, int32_t bitsPerPixel,
                int32_t height);
  bool MapRecord(Handle image, TIKDataAccess access);
  void UnmapRecord(Handle image);
  void Reinitialize();
  void CopyInto(Handle image, TIKBitmap* bitmap);
  LentEntry* FindLent(Handle image);
  void DeleteRecord(Handle image);

  TIKFileBuffer store_;
  int64_t fileSize_ = 262144;
  std::vector<std::unique_ptr<TIKVirtualImage>> images_;
  std::list<Handle> mapped_;
  std::vector<FreeBlock> free_;
  int64_t end_ = 0;
  int32_t growthStep_ = 262144;
  int32_t maxMapped_ = 10;
  int32_t mappedCount_ = 0;
  std::vector<LentEntry> lent_;
  int32_t lastBlockSize_ = 0;
  String prefix_;
};

}  // namespace imaging
