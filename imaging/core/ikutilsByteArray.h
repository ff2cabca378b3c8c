#pragma once
// A byte buffer that grows in fixed steps (the GIF LZW codec and the
// processing component collect bytes in it), a stream that stores nothing
// and only counts (writing an image into it measures its encoded size), and
// the colour count of a pixel layout.
#include <cstdint>
#include <memory>

#include "imaging/core/ikdefs.h"
#include "platform/rtl/Streams.h"

namespace imaging {

class TIKByteArray {
public:
  TIKByteArray();
  TIKByteArray(const TIKByteArray&) = delete;
  TIKByteArray& operator=(const TIKByteArray&) = delete;

  // Grows by whole steps and shrinks only when more than one step would be
  // spare. A negative size, or one past the 32-bit range, raises EIKError.
  void SetSize(int32_t size);
  void AddByte(uint8_t value);
  // Reads up to `count` bytes from the stream's position onto the end;
  // returns the bytes that came.
  int32_t AppendFromStream(rtl::TStream& stream, int32_t count);

  int32_t Size() const { return size_; }
  int32_t Capacity() const { return capacity_; }
  int32_t BlockSize() const { return blockSize_; }
  uint8_t* Data() { return data_.get(); }

private:
  void Reallocate(int32_t capacity, int32_t keep);

  int32_t size_ = 0;
  int32_t capacity_ = 0;
  int32_t blockSize_ = 8192;
  std::unique_ptr<uint8_t[]> data_;
};

// Reads and writes touch no memory: they move the position and raise the
// size. Seek from the end subtracts the offset (a distance back from the
// end) and leaves the size alone.
class TNulStream : public rtl::TStream {
public:
  TNulStream() = default;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, rtl::TSeekOrigin origin) override;

private:
  int64_t Advance(int64_t count);
  int64_t position_ = 0;
  int64_t size_ = 0;
};

// The number of colours of `samples` samples of `bits` bits, in 32-bit
// arithmetic (each factor 2^(bits mod 32)); 1 for no samples.
int32_t ColorCountFromBits(int32_t bits, int32_t samples);

}  // namespace imaging
