#include "imaging/core/ikutilsImageList.h"

#include <algorithm>
#include <cstring>

#include "imaging/core/ikutilsBitmap.h"

namespace imaging {

namespace {

int64_t RowLen(int64_t width, int32_t bits) { return ((width * bits + 31) / 32) * 4; }

}  // namespace

int64_t TIKVirtualImageList::BlockSize(int32_t width, int32_t height, int32_t bitsPerPixel, bool hasAlpha) {
  int64_t size = static_cast<int64_t>(height) * RowLen(width, bitsPerPixel);
  if (hasAlpha) size += 1 + static_cast<int64_t>(height) * RowLen(width, 8);
  return size;
}

TIKVirtualImageList::TIKVirtualImageList(const String& prefix) : prefix_(prefix) { Reinitialize(); }

TIKVirtualImageList::~TIKVirtualImageList() {
  try {
    ClearAll();
  } catch (...) {
    // A file that cannot be written back any more is gone with the list.
  }
}

void TIKVirtualImageList::Reinitialize() {
  free_.clear();
  if (store_.IsAllocated()) {
    while (!mapped_.empty()) UnmapRecord(mapped_.front());
    store_.SetFileSize(fileSize_);
  } else {
    ClearAll();
    store_.AllocateFile(prefix_, fileSize_);
  }
}

bool TIKVirtualImageList::MapRecord(Handle image, TIKDataAccess access) {
  if (image->Address && image->Access != access) UnmapRecord(image);
  if (!image->Address) {
    const int32_t limit = std::max(1, maxMapped_);
    while (mappedCount_ + 1 > limit && !mapped_.empty()) UnmapRecord(mapped_.front());
    if (!store_.IsAllocated()) return false;
    void* p = nullptr;
    try {
      // A zero-sized block still gets an address of its own.
      p = store_.Map(access, image->Position, std::max<int64_t>(1, image->MappedSize));
    } catch (const rtl::Exception&) {
      p = nullptr;
    }
    if (!p) return false;
    image->Address = static_cast<uint8_t*>(p);
    ++mappedCount_;
    mapped_.push_back(image);
  } else {
    mapped_.remove(image);
    mapped_.push_back(image);
  }
  image->Access = access;
  return true;
}

void TIKVirtualImageList::UnmapRecord(Handle image) {
  if (!image->Address) return;
  store_.Unmap(image->Address);
  mapped_.remove(image);
  --mappedCount_;
  image->Address = nullptr;
}

void TIKVirtualImageList::Allocate(Handle image, int32_t width, bool hasAlpha, uint8_t pixelFormat,
                                   int32_t bitsPerPixel, int32_t height) {
  const int64_t size = BlockSize(width, height, bitsPerPixel, hasAlpha);
  bool appended = false;
  auto fit = std::find_if(free_.begin(), free_.end(),
                          [&](const FreeBlock& b) { return b.size >= size && b.size < (int64_t{1} << 32); });
  if (fit != free_.end()) {
    image->Position = fit->position;
    free_.erase(fit);
  } else {
    if (size > growthStep_) growthStep_ = static_cast<int32_t>(std::min<int64_t>(size + lastBlockSize_, INT32_MAX));
    lastBlockSize_ = static_cast<int32_t>(std::min<int64_t>(size, INT32_MAX));
    while (end_ + size > fileSize_) {
      fileSize_ += growthStep_;
      Reinitialize();
    }
    image->Position = end_;
    appended = true;
  }
  image->Size = size;
  image->MappedSize = size;
  image->Address = nullptr;
  image->Lent = false;
  image->FullWidth = width;
  image->FullHeight = height;
  image->HasAlpha = hasAlpha;
  image->Width = width;
  image->Height = height;
  image->BitsPerPixel = bitsPerPixel;
  image->PixelFormat = pixelFormat;
  // The end moves past an appended block even when it could not be mapped,
  // so no later block is placed on top of it.
  if (appended) end_ += size;
  MapRecord(image, ikaWrite);
}

void TIKVirtualImageList::CopyInto(Handle image, TIKBitmap* bitmap) {
  const int32_t h = image->Height;
  const int64_t rl = RowLen(image->Width, image->BitsPerPixel);
  const int64_t n = std::min<int64_t>(rl, bitmap->RowLength());
  uint8_t* p = image->Address;
  for (int32_t i = 0; i < h; ++i, p += rl) std::memcpy(p, bitmap->ScanLine(h - 1 - i), static_cast<size_t>(n));
  if (!image->HasAlpha) return;
  TIKBitmap* alpha = bitmap->GetAlphaChannel();
  *p++ = alpha->Full() ? 1 : 0;
  const int64_t al = RowLen(image->Width, 8);
  const int64_t an = std::min<int64_t>(al, alpha->RowLength());
  for (int32_t i = 0; i < h; ++i, p += al) std::memcpy(p, alpha->ScanLine(h - 1 - i), static_cast<size_t>(an));
}

TIKVirtualImageList::Handle TIKVirtualImageList::AddImage(TIKBitmap* bitmap) {
  auto record = std::make_unique<TIKVirtualImage>();
  Handle image = record.get();
  images_.push_back(std::move(record));
  Allocate(image, bitmap->Width(), bitmap->HasAlphaChannel(), static_cast<uint8_t>(bitmap->PixelFormat()),
           bitmap->BitCount(), bitmap->Height());
  if (image->Address) CopyInto(image, bitmap);
  return image;
}

void TIKVirtualImageList::CopyToBitmap(Handle image, TIKBitmap* bitmap) {
  if (!MapRecord(image, ikaRead)) return;
  // 1-bit and 24-bit images come back as they were stored; any other
  // layout is rebuilt in its own pixel format rather than read with a row
  // length it does not have.
  const TIKPixelFormat pf = image->BitsPerPixel == 1    ? ikMono1
                            : image->BitsPerPixel == 24 ? ikRGB24
                                                        : static_cast<TIKPixelFormat>(image->PixelFormat);
  if (bitmap->PixelFormat() != pf || bitmap->Width() != image->Width || bitmap->Height() != image->Height)
    bitmap->Allocate(image->Width, image->Height, pf);
  const int32_t h = image->Height;
  const int64_t rl = RowLen(image->Width, image->BitsPerPixel);
  const int64_t n = std::min<int64_t>(rl, bitmap->RowLength());
  const uint8_t* p = image->Address;
  for (int32_t i = 0; i < h; ++i, p += rl) std::memcpy(bitmap->ScanLine(h - 1 - i), p, static_cast<size_t>(n));
  if (!image->HasAlpha || *p != 0) {
    bitmap->RemoveAlphaChannel();
    return;
  }
  TIKBitmap* alpha = bitmap->GetAlphaChannel();
  alpha->SetFull(false);
  ++p;
  const int64_t al = RowLen(image->Width, 8);
  const int64_t an = std::min<int64_t>(al, alpha->RowLength());
  for (int32_t i = 0; i < h; ++i, p += al) std::memcpy(alpha->ScanLine(h - 1 - i), p, static_cast<size_t>(an));
}

void TIKVirtualImageList::WriteBack(Handle image, TIKBitmap* bitmap) {
  if (!MapRecord(image, ikaRead | ikaWrite)) return;
  if (bitmap->Width() != image->Width || bitmap->Height() != image->Height ||
      bitmap->BitCount() != image->BitsPerPixel || bitmap->HasAlphaChannel() != image->HasAlpha) {
    UnmapRecord(image);
    const bool lent = image->Lent;
    Allocate(image, bitmap->Width(), bitmap->HasAlphaChannel(), static_cast<uint8_t>(bitmap->PixelFormat()),
             bitmap->BitCount(), bitmap->Height());
    image->Lent = lent;
    if (!image->Address) return;
  }
  CopyInto(image, bitmap);
}

TIKVirtualImageList::LentEntry* TIKVirtualImageList::FindLent(Handle image) {
  for (auto& e : lent_)
    if (e.image == image) return &e;
  return nullptr;
}

TIKBitmap* TIKVirtualImageList::GetBitmap(Handle image) {
  if (!MapRecord(image, ikaRead)) return nullptr;
  TIKBitmap* result = nullptr;
  if (LentEntry* e = FindLent(image)) {
    ++e->count;
    result = e->bitmap.get();
  } else {
    lent_.push_back(LentEntry{image, std::make_unique<TIKBitmap>(), 1});
    result = lent_.back().bitmap.get();
    CopyToBitmap(image, result);
  }
  image->Lent = true;
  return result;
}

void TIKVirtualImageList::ReleaseBitmap(TIKBitmap* bitmap, bool writeBack) {
  if (!bitmap) return;
  auto it = std::find_if(lent_.begin(), lent_.end(), [&](const LentEntry& e) { return e.bitmap.get() == bitmap; });
  if (it == lent_.end()) return;
  --it->count;
  if (writeBack) WriteBack(it->image, bitmap);
  if (it->count <= 0) {
    it->image->Lent = false;
    lent_.erase(it);
  }
}

void TIKVirtualImageList::ReleaseBitmapByHandle(Handle image, bool writeBack) {
  if (LentEntry* e = FindLent(image)) ReleaseBitmap(e->bitmap.get(), writeBack);
}

int32_t TIKVirtualImageList::GetImageWidth(Handle image) {
  const LentEntry* e = FindLent(image);
  return e ? e->bitmap->Width() : image->Width;
}
int32_t TIKVirtualImageList::GetImageHeight(Handle image) {
  const LentEntry* e = FindLent(image);
  return e ? e->bitmap->Height() : image->Height;
}
int32_t TIKVirtualImageList::GetImageBitCount(Handle image) {
  const LentEntry* e = FindLent(image);
  return e ? e->bitmap->BitCount() : image->BitsPerPixel;
}
int32_t TIKVirtualImageList::GetImagePixelFormat(Handle image) {
  const LentEntry* e = FindLent(image);
  return e ? static_cast<int32_t>(e->bitmap->PixelFormat()) : image->PixelFormat;
}

void* TIKVirtualImageList::GetImageBits(Handle image) {
  if (const LentEntry* e = FindLent(image)) return e->bitmap->ScanLine(e->bitmap->Height() - 1);
  if (!MapRecord(image, ikaRead)) return nullptr;
  return image->Address;
}

void* TIKVirtualImageList::GetAlphaBits(Handle image) {
  if (!image->HasAlpha) return nullptr;
  if (const LentEntry* e = FindLent(image)) {
    if (!e->bitmap->HasAlphaChannel()) return nullptr;
    TIKBitmap* alpha = e->bitmap->GetAlphaChannel();
    return alpha->ScanLine(alpha->Height() - 1);
  }
  if (!MapRecord(image, ikaRead)) return nullptr;
  uint8_t* flag = image->Address + static_cast<int64_t>(image->Height) * RowLen(image->Width, image->BitsPerPixel);
  return *flag == 0 ? flag + 1 : nullptr;
}

void TIKVirtualImageList::DeleteRecord(Handle image) {
  lent_.erase(std::remove_if(lent_.begin(), lent_.end(), [&](const LentEntry& e) { return e.image == image; }),
              lent_.end());
  UnmapRecord(image);
  images_.erase(std::find_if(images_.begin(), images_.end(), [&](const auto& r) { return r.get() == image; }));
}

void TIKVirtualImageList::Delete(Handle image) {
  free_.push_back(FreeBlock{image->Position, image->Size});
  DeleteRecord(image);
  if (images_.empty()) {
    fileSize_ = growthStep_;
    end_ = 0;
    Reinitialize();
  }
}

void TIKVirtualImageList::ClearAll() {
  while (!images_.empty()) DeleteRecord(images_.front().get());
  mapped_.clear();
  mappedCount_ = 0;
  free_.clear();
  lent_.clear();
  store_.Release();
  end_ = 0;
}

}  // namespace imaging
