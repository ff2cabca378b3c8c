#include "imaging/core/ikutilsBitmap.h"

#include <sys/mman.h>

#include <cstring>

#include <algorithm>
#include <cstring>
#include <new>

#include "imaging/core/ikutils.h"

namespace imaging {

std::atomic<int64_t> DefaultMemoryThreshold{-1};

namespace {

constexpr int64_t kFallbackThreshold = 33554432;

// The platform bitmap depth that holds a format in the ikTBitmap location,
// or pfDevice for a format that location cannot hold.
forms::TPixelFormat TBitmapFormatFor(TIKPixelFormat format) {
  switch (format) {
    case ikMono1: return forms::pf1bit;
    case ikPalette8:
    case ikGray8:
    case ikGray16: return forms::pf8bit;
    case ikRGB24: return forms::pf24bit;
    default: return forms::pfDevice;
  }
}

[[noreturn]] void RaiseNotInTBitmap(TIKPixelFormat format) {
  throw EIKError(String(IKPixelFormatInfo(format).Name) + " pixel format not allowed when Location=ikTBitmap");
}

}  // namespace

TIKBitmap::TIKBitmap() : fileBuffer_(std::make_unique<TIKFileBuffer>()) {
  const int64_t preset = DefaultMemoryThreshold.load();
  if (preset != -1) {
    memoryThreshold_ = preset;
  } else {
    const int64_t available = AvailablePhysicalMemory();
    memoryThreshold_ = available != 0 ? available / 2 : kFallbackThreshold;
  }
}

TIKBitmap::~TIKBitmap() { FreeImage(true); }

std::unique_ptr<TIKBitmap> TIKBitmap::CreateAsAlpha(int32_t width, int32_t height, TIKLocation location) {
  auto plane = std::make_unique<TIKBitmap>();
  plane->isAlphaPlane_ = true;
  plane->location_ = location == ikTBitmap ? ikMemory : location;
  plane->Allocate(width, height, ikGray8);
  plane->FillOpaque();
  return plane;
}

// ---- geometry ----

void TIKBitmap::SetGeometry(int32_t width, int32_t height, TIKPixelFormat format) {
  const auto& info = IKPixelFormatInfo(format);
  const int64_t row = width > 0 ? BitmapRowLength(width, info.BitCount, rowAlignment_) : 0;
  // The row first: the product of an unchecked row and height can pass
  // even 64 bits.
  const int64_t size = row <= MaxRasterSize ? row * std::max(height, 0) : row;
  if (row > MaxRasterSize || size > MaxRasterSize) {
    FreeImage(false);
    width_ = height_ = bitCount_ = channelCount_ = rowLength_ = 0;
    throw EIKError("Image of " + std::to_string(width) + " x " + std::to_string(height) + " pixels (" + info.Name +
                   ") is too large: " + (row > MaxRasterSize ? "a row of " + std::to_string(row) + " bytes"
                                                             : std::to_string(size) + " bytes") +
                   ", at most " + std::to_string(MaxRasterSize) + " bytes are allowed");
  }
  width_ = width;
  height_ = height;
  pixelFormat_ = format;
  bitCount_ = info.BitCount;
  channelCount_ = info.ChannelCount;
  rowLength_ = static_cast<int32_t>(row);
}

bool TIKBitmap::IsEmpty() const { return width_ == 0 || height_ == 0 || rowLength_ == 0 || bitCount_ == 0; }

int32_t TIKBitmap::BitCount() {
  if (location_ == ikTBitmap) SyncFromTBitmap();
  return bitCount_;
}
int32_t TIKBitmap::Height() {
  if (location_ == ikTBitmap) SyncFromTBitmap();
  return height_;
}
int32_t TIKBitmap::Width() {
  if (location_ == ikTBitmap) SyncFromTBitmap();
  return width_;
}
TIKPixelFormat TIKBitmap::PixelFormat() {
  if (location_ == ikTBitmap) SyncFromTBitmap();
  return pixelFormat_;
}
int32_t TIKBitmap::RowLength() {
  if (location_ == ikTBitmap) SyncFromTBitmap();
  return rowLength_;
}

void* TIKBitmap::ScanLine(int32_t row) {
  switch (location_) {
    case ikMemory: return bits_ + static_cast<int64_t>(rowLength_) * (height_ - row - 1);
    case ikFile:
      UnmapRow();
      mappedRow_ = fileBuffer_->Map(Access(), static_cast<int64_t>(row) * rowLength_, rowLength_);
      return mappedRow_;
    case ikTBitmap:
      // The caller may have resized or reformatted the wrapped bitmap,
      // which moves its rows; a stale cache would point at freed memory.
      if (platformBitmap_ &&
          (platformBitmap_->Width() != width_ || platformBitmap_->Height() != height_ ||
           (!rowCache_.empty() && platformBitmap_->ScanLine(0) != rowCache_[0]))) {
        SyncFromTBitmap();
      }
      return rowCache_[row];
  }
  return nullptr;
}

// ---- palette ----

TRGB TIKBitmap::GetPaletteColor(int32_t index) {
  if (index < 0 || index >= paletteLength_ || !palette_) return TRGB{};
  return palette_[index];
}

void TIKBitmap::SetPaletteColor(int32_t index, const TRGB& color) {
  if (index < 0 || index >= paletteLength_ || !palette_) return;
  palette_[index] = color;
  if (location_ == ikTBitmap) PushPaletteToTBitmap();
}

void TIKBitmap::PushPaletteToTBitmap() {
  if (!platformBitmap_ || !palette_ || paletteLength_ == 0 || platformBitmap_->PixelFormat() != forms::pf8bit) return;
  std::vector<uint32_t> table(static_cast<size_t>(paletteLength_));
  for (int32_t i = 0; i < paletteLength_; ++i) table[i] = static_cast<uint32_t>(PackRGB(palette_[i]));
  platformBitmap_->SetColorTable(table);
}

// ---- storage ----

void TIKBitmap::UnmapRow() {
  if (!mappedRow_) return;
  void* row = mappedRow_;
  mappedRow_ = nullptr;
  fileBuffer_->Unmap(row);
}

void TIKBitmap::FreeBitsBlock() {
  heapBlock_.reset();
  if (pageBlock_) PageFree(bitsBlock_);
  pageBlock_ = false;
  bitsBlock_ = nullptr;
  bits_ = nullptr;
}

void TIKBitmap::FreeImage(bool freeAlpha) {
  if (freeAlpha) alpha_.reset();
  palette_.reset();
  paletteLength_ = 0;
  // The file is deleted next, so a row that cannot be written back loses
  // nothing anyone could read.
  mappedRow_ = nullptr;
  try {
    fileBuffer_->Release();
  } catch (const rtl::Exception&) {
  }
  FreeBitsBlock();
  ownedPlatformBitmap_.reset();
  platformBitmap_ = nullptr;
  rowCache_.clear();
  width_ = height_ = bitCount_ = channelCount_ = rowLength_ = 0;
  full_ = false;
  platformBitmapNotOwned_ = false;
  memoryNotOwned_ = false;
}

void TIKBitmap::Allocate(int32_t width, int32_t height, TIKPixelFormat format) {
  if (!platformBitmapNotOwned_)
    FreeImage(true);
  else
    alpha_.reset();
  width_ = width;
  height_ = height;
  pixelFormat_ = format;
  AllocateBitmapStorage();
}

namespace {

// A picture of many megabytes is touched page by page as it is first
// written (calloc leaves fresh pages untouched); with 2 MiB pages the kernel takes a few hundred faults instead of
// thousands, which dominates decoding time on machines where faults are
// dear. Only the whole 2 MiB pages inside the block are marked.
void AdviseLargePages(void* block, size_t size) {
  constexpr uintptr_t kHuge = uintptr_t{2} << 20;
  if (size < 4 * kHuge) return;
  const auto begin = (reinterpret_cast<uintptr_t>(block) + kHuge - 1) & ~(kHuge - 1);
  const auto end = (reinterpret_cast<uintptr_t>(block) + size) & ~(kHuge - 1);
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

}  // namespace

void TIKBitmap::AllocateBitmapStorage() {
  if (width_ <= 0 || height_ <= 0 || pixelFormat_ == ikNoFormat) return;
  SetGeometry(width_, height_, pixelFormat_);
  if (pixelFormat_ == ikPalette8) {
    palette_ = std::make_unique<TRGB[]>(256);
    paletteLength_ = 256;
  }
  const int64_t size = static_cast<int64_t>(rowLength_) * height_;
  if (location_ == ikFile && size < memoryThreshold_) location_ = ikMemory;
  if (location_ == ikMemory && size > memoryThreshold_) location_ = ikFile;
  switch (location_) {
    case ikFile:
      UnmapRow();
      if (fileBuffer_->AllocateFile("IMG", size)) break;
      fileBuffer_->Release();
      location_ = ikMemory;
      [[fallthrough]];
    case ikMemory: {
      FreeBitsBlock();
      const size_t blockSize = static_cast<size_t>(size) + 32;
      // Zeroed: row padding that writers copy into files must not carry
      // whatever the heap held before.
      if (allocationKind_ == 1) {
        bitsBlock_ = PageAlloc(blockSize);
        if (!bitsBlock_) throw std::bad_alloc();
        pageBlock_ = true;
      } else {
        heapBlock_.reset(static_cast<uint8_t*>(std::calloc(blockSize, 1)));
        if (!heapBlock_) throw std::bad_alloc();
        bitsBlock_ = heapBlock_.get();
        AdviseLargePages(heapBlock_.get(), blockSize);
      }
      const auto address = reinterpret_cast<uintptr_t>(bitsBlock_);
      bits_ = static_cast<uint8_t*>(bitsBlock_) + (32 - address % 32) % 32;
      break;
    }
    case ikTBitmap: PrepareTBitmap(); break;
  }
  full_ = false;
}

void TIKBitmap::PrepareTBitmap() {
  if (!platformBitmap_) {
    ownedPlatformBitmap_ = std::make_unique<forms::TBitmap>();
    platformBitmap_ = ownedPlatformBitmap_.get();
  }
  forms::TBitmap* b = platformBitmap_;
  b->SetSize(1, 1);
  b->SetPixelFormat(forms::pfDevice);
  const forms::TPixelFormat depth = TBitmapFormatFor(pixelFormat_);
  if (depth == forms::pfDevice) RaiseNotInTBitmap(pixelFormat_);
  if (pixelFormat_ == ikGray16) SetGeometry(width_, height_, ikGray8);
  b->SetPixelFormat(depth);
  b->SetSize(width_, height_);
  if (pixelFormat_ == ikGray8) SetGrayColorTable(b);
  RebuildRowCache();
}

void TIKBitmap::RebuildRowCache() {
  rowCache_.clear();
  if (!platformBitmap_ || platformBitmap_->Width() <= 0 || platformBitmap_->Height() <= 0) return;
  const int32_t rows = platformBitmap_->Height();
  rowCache_.resize(static_cast<size_t>(rows));
  for (int32_t r = 0; r < rows; ++r) rowCache_[r] = static_cast<uint8_t*>(platformBitmap_->ScanLine(r));
}

void TIKBitmap::SyncFromTBitmap() {
  forms::TBitmap* b = platformBitmap_;
  if (!b) return;
  forms::TPixelFormat depth = b->PixelFormat();
  if (depth != forms::pf1bit && depth != forms::pf8bit && depth != forms::pf24bit) {
    // Rows of any other depth are not as long as the format we would
    // report, so readers and writers would run past them.
    b->SetPixelFormat(forms::pf24bit);
    depth = forms::pf24bit;
  }
  TIKPixelFormat format = ikRGB24;
  if (depth == forms::pf1bit) format = ikMono1;
  if (depth == forms::pf8bit) format = isAlphaPlane_ || IsGrayColorTable(b) ? ikGray8 : ikPalette8;
  if (b->Width() != width_ || b->Height() != height_ || format != pixelFormat_) {
    SetGeometry(b->Width(), b->Height(), format);
    if (alpha_ && (alpha_->width_ != width_ || alpha_->height_ != height_)) alpha_->Allocate(width_, height_, ikGray8);
    RebuildRowCache();
  } else if (!IsEmpty() &&
             (rowCache_.size() != static_cast<size_t>(height_) || b->ScanLine(0) != rowCache_[0])) {
    RebuildRowCache();
  }
  if (format == ikPalette8) {
    if (!palette_) palette_ = std::make_unique<TRGB[]>(256);
    paletteLength_ = 256;
    const auto table = b->ColorTable();
    for (size_t i = 0; i < table.size() && i < 256; ++i) {
      palette_[i] = CreateRGB(static_cast<uint8_t>(table[i] >> 16), static_cast<uint8_t>(table[i] >> 8),
                              static_cast<uint8_t>(table[i]));
    }
  } else {
    paletteLength_ = 0;
  }
}

void TIKBitmap::SetLocation(TIKLocation location) {
  if (location == location_) return;
  if (location == ikTBitmap && !IsEmpty() && TBitmapFormatFor(pixelFormat_) == forms::pfDevice) {
    // Refused before the raster moves, so it stays where it was.
    RaiseNotInTBitmap(pixelFormat_);
  }
  const TIKLocation old = location_;
  TIKBitmap held;
  TransferTo(&held);
  try {
    location_ = location;
    Allocate(held.width_, held.height_, held.pixelFormat_);
    if (!IsEmpty()) CopyPixelsFrom(&held);
    const int32_t colors = std::min(paletteLength_, held.paletteLength_);
    if (colors > 0) std::copy_n(held.palette_.get(), colors, palette_.get());
    if (location_ == ikTBitmap) PushPaletteToTBitmap();
  } catch (...) {
    FreeImage(true);
    held.TransferTo(this);
    location_ = old;
    throw;
  }
  alpha_ = std::move(held.alpha_);
  isAlphaPlane_ = held.isAlphaPlane_;
  full_ = false;
}

forms::TBitmap* TIKBitmap::GetTBitmap() {
  SetLocation(ikTBitmap);
  return platformBitmap_;
}

forms::TCanvas* TIKBitmap::GetCanvas() {
  if (location_ != ikTBitmap) SetLocation(ikTBitmap);
  return platformBitmap_ ? platformBitmap_->Canvas() : nullptr;
}

void TIKBitmap::EncapsulateTBitmap(forms::TBitmap* bitmap, bool freeFirst) {
  if (freeFirst) FreeImage(true);
  if (!bitmap) return;
  platformBitmap_ = bitmap;
  platformBitmapNotOwned_ = true;
  location_ = ikTBitmap;
  TIKPixelFormat format = pixelFormat_;
  if (bitmap->PixelFormat() == forms::pf1bit) format = ikMono1;
  if (bitmap->PixelFormat() == forms::pf24bit) format = ikRGB24;
  SetGeometry(bitmap->Width(), bitmap->Height(), format);
  // Brings depths the buffer has no format for to 24 bits and an 8-bit
  // bitmap to the format its colour table says.
  SyncFromTBitmap();
}

void TIKBitmap::EncapsulateMemory(void* buffer, int32_t width, int32_t height, TIKPixelFormat format,
                                  bool freeFirst) {
  if (freeFirst) FreeImage(true);
  if (!buffer) return;
  SetGeometry(width, height, format);
  location_ = ikMemory;
  memoryNotOwned_ = true;
  bits_ = static_cast<uint8_t*>(buffer);
  bitsBlock_ = buffer;
}

void TIKBitmap::TransferTo(TIKBitmap* destination) {
  if (!destination || destination == this) return;
  if (destination == alpha_.get() || destination->alpha_.get() == this) {
    throw EIKError("TransferTo cannot move a bitmap into its own alpha plane or owner");
  }
  TIKBitmap& d = *destination;
  d.FreeImage(true);
  d.width_ = width_;
  d.height_ = height_;
  d.bitCount_ = bitCount_;
  d.channelCount_ = channelCount_;
  d.rowLength_ = rowLength_;
  d.pixelFormat_ = pixelFormat_;
  d.mappedRow_ = mappedRow_;
  d.palette_ = std::move(palette_);
  d.paletteLength_ = paletteLength_;
  d.alpha_ = std::move(alpha_);
  d.isAlphaPlane_ = isAlphaPlane_;
  d.bits_ = bits_;
  d.bitsBlock_ = bitsBlock_;
  d.heapBlock_ = std::move(heapBlock_);
  d.pageBlock_ = pageBlock_;
  d.platformBitmap_ = platformBitmap_;
  d.ownedPlatformBitmap_ = std::move(ownedPlatformBitmap_);
  d.location_ = location_;
  d.full_ = full_;
  d.platformBitmapNotOwned_ = platformBitmapNotOwned_;
  d.memoryNotOwned_ = memoryNotOwned_;
  d.rowCache_ = std::move(rowCache_);
  d.ditherMethod_ = ditherMethod_;
  d.rowAlignment_ = rowAlignment_;
  d.allocationKind_ = allocationKind_;
  d.fileBuffer_ = std::move(fileBuffer_);

  fileBuffer_ = std::make_unique<TIKFileBuffer>();
  width_ = height_ = bitCount_ = channelCount_ = rowLength_ = 0;
  pixelFormat_ = ikNoFormat;
  mappedRow_ = nullptr;
  paletteLength_ = 0;
  bits_ = nullptr;
  bitsBlock_ = nullptr;
  pageBlock_ = false;
  platformBitmap_ = nullptr;
  rowCache_.clear();
  full_ = false;
  platformBitmapNotOwned_ = false;
  memoryNotOwned_ = false;
}

// ---- copying ----

void TIKBitmap::CopyRowsFrom(TIKBitmap* source) {
  const int32_t rows = std::min(height_, source->height_);
  if (source->pixelFormat_ == ikGray16 && pixelFormat_ == ikGray8) {
    // A 16-bit gray raster moving where only 8 bits fit keeps its high
    // bytes, not the raw sample bytes.
    const int32_t columns = std::min(width_, source->width_);
    for (int32_t r = 0; r < rows; ++r) {
      auto* to = static_cast<uint8_t*>(ScanLine(r));
      const auto* from = static_cast<const uint16_t*>(source->ScanLine(r));
      for (int32_t x = 0; x < columns; ++x) to[x] = static_cast<uint8_t>(from[x] >> 8);
    }
    return;
  }
  const int32_t bytes = std::min(rowLength_, source->rowLength_);
  for (int32_t r = 0; r < rows; ++r) std::memcpy(ScanLine(r), source->ScanLine(r), static_cast<size_t>(bytes));
}

void TIKBitmap::CopyPixelsFrom(TIKBitmap* source) {
  TIKAccessScope scope(source, this);
  if (location_ == ikFile && source->location_ == ikFile && rowLength_ == source->rowLength_ &&
      height_ == source->height_) {
    source->UnmapRow();
    UnmapRow();
    source->fileBuffer_->CopyTo(fileBuffer_.get(), 0, static_cast<int64_t>(rowLength_) * height_);
  } else {
    CopyRowsFrom(source);
  }
}

void TIKBitmap::Assign(forms::TObject* source) {
  if (dynamic_cast<forms::TBitmap*>(source)) {
    CopyFromTBitmap(dynamic_cast<forms::TBitmap*>(source));
    return;
  }
  auto* image = dynamic_cast<TIKBitmap*>(source);
  if (!image || image == this) return;
  AssignCommon(image, true);
}

void TIKBitmap::AssignImage(TIKBitmap* source) {
  if (!source || source == this) return;
  AssignCommon(source, false);
}

void TIKBitmap::AssignCommon(TIKBitmap* source, bool withAlpha) {
  // Read through the getters: a wrapped source may have changed.
  const int32_t width = source->Width();
  const int32_t height = source->Height();
  const TIKPixelFormat format = source->PixelFormat();
  if (source->IsEmpty()) return;
  if (location_ == ikTBitmap) {
    if (TBitmapFormatFor(format) == forms::pfDevice) RaiseNotInTBitmap(format);
    rowAlignment_ = source->rowAlignment_;
    full_ = source->full_;
    width_ = width;
    height_ = height;
    pixelFormat_ = format;
    SetGeometry(width, height, format);
    PrepareTBitmap();
    if (pixelFormat_ == ikPalette8) {
      if (!palette_) palette_ = std::make_unique<TRGB[]>(256);
      paletteLength_ = 256;
    } else {
      paletteLength_ = 0;
    }
  } else {
    FreeImage(withAlpha);
    rowAlignment_ = source->rowAlignment_;
    width_ = width;
    height_ = height;
    pixelFormat_ = format;
    AllocateBitmapStorage();
  }
  CopyPixelsFrom(source);
  if (withAlpha && !isAlphaPlane_) {
    if (source->HasAlphaChannel())
      GetAlphaChannel()->Assign(source->alpha_.get());
    else
      RemoveAlphaChannel();
  }
  const int32_t colors = std::min(paletteLength_, source->paletteLength_);
  if (colors > 0) std::copy_n(source->palette_.get(), colors, palette_.get());
  if (location_ == ikTBitmap) PushPaletteToTBitmap();
  if (withAlpha)
    ditherMethod_ = source->ditherMethod_;
  else
    full_ = false;
}

// ---- alpha plane ----

void TIKBitmap::FillOpaque() {
  for (int32_t r = 0; r < height_; ++r) std::memset(ScanLine(r), 255, static_cast<size_t>(rowLength_));
  full_ = true;
}

TIKBitmap* TIKBitmap::GetAlphaChannel() {
  if (isAlphaPlane_) return nullptr;
  if (!alpha_) alpha_ = CreateAsAlpha(Width(), Height(), location_);
  return alpha_.get();
}

void TIKBitmap::RemoveAlphaChannel() {
  if (!isAlphaPlane_) alpha_.reset();
}

uint8_t TIKBitmap::GetAlphaPixel(int32_t x, int32_t y) {
  TIKBitmap* plane = isAlphaPlane_ ? this : GetAlphaChannel();
  return static_cast<const uint8_t*>(plane->ScanLine(y))[x];
}

void TIKBitmap::SetAlphaPixel(int32_t x, int32_t y, uint8_t value) {
  TIKBitmap* plane = isAlphaPlane_ ? this : GetAlphaChannel();
  static_cast<uint8_t*>(plane->ScanLine(y))[x] = value;
  if (value != 255) {
    plane->full_ = false;
    full_ = false;
  }
}

void TIKBitmap::CheckFullyOpaque() {
  const int32_t rows = Height();
  const TIKDataAccess access = Access();
  SetAccess(ikaRead);
  bool full = true;
  for (int32_t r = 0; r < rows && full; ++r) {
    const auto* row = static_cast<const uint8_t*>(ScanLine(r));
    full = std::all_of(row, row + rowLength_, [](uint8_t v) { return v == 255; });
  }
  SetAccess(access);
  full_ = full;
}

}  // namespace imaging
