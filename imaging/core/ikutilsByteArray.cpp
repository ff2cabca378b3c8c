#include "imaging/core/ikutilsByteArray.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace imaging {

TIKByteArray::TIKByteArray() : capacity_(8192), data_(std::make_unique<uint8_t[]>(8192)) {}

void TIKByteArray::Reallocate(int32_t capacity, int32_t keep) {
  auto block = std::make_unique<uint8_t[]>(static_cast<size_t>(capacity));
  if (keep > 0) std::memcpy(block.get(), data_.get(), static_cast<size_t>(keep));
  data_ = std::move(block);
  capacity_ = capacity;
}

void TIKByteArray::SetSize(int32_t size) {
  if (size < 0) throw EIKError("TIKByteArray: negative size");
  const int64_t roomy = static_cast<int64_t>(size) + blockSize_;
  if (size > size_) {
    if (size > capacity_) {
      if (roomy > std::numeric_limits<int32_t>::max()) throw EIKError("TIKByteArray: size too large");
      Reallocate(static_cast<int32_t>(roomy), size_);
    }
  } else if (size < capacity_ - blockSize_) {
    Reallocate(static_cast<int32_t>(roomy), size);
  }
  size_ = size;
}

void TIKByteArray::AddByte(uint8_t value) {
  SetSize(size_ + 1);
  data_[static_cast<size_t>(size_ - 1)] = value;
}

int32_t TIKByteArray::AppendFromStream(rtl::TStream& stream, int32_t count) {
  if (count <= 0) return 0;
  const int32_t old = size_;
  SetSize(old + count);
  const int64_t got = std::clamp<int64_t>(stream.Read(data_.get() + old, count), 0, count);
  if (got < count) SetSize(old + static_cast<int32_t>(got));
  return static_cast<int32_t>(got);
}

int64_t TNulStream::Advance(int64_t count) {
  position_ += count;
  if (position_ >= size_) size_ = position_;
  return count;
}

int64_t TNulStream::Read(void*, int64_t count) { return Advance(count); }

int64_t TNulStream::Write(const void*, int64_t count) { return Advance(count); }

int64_t TNulStream::Seek(int64_t offset, rtl::TSeekOrigin origin) {
  switch (origin) {
    case rtl::soBeginning:
      position_ = offset;
      if (position_ >= size_) size_ = position_;
      break;
    case rtl::soCurrent:
      position_ += offset;
      if (position_ >= size_) size_ = position_;
      break;
    case rtl::soEnd: position_ = size_ - offset; break;
  }
  return position_;
}

int32_t ColorCountFromBits(int32_t bits, int32_t samples) {
  uint32_t result = 1;
  for (int32_t i = 0; i < samples; ++i) result *= uint32_t{1} << (static_cast<uint32_t>(bits) & 31);
  return static_cast<int32_t>(result);
}

}  // namespace imaging
