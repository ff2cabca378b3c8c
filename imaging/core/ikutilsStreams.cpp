#include "imaging/core/ikutilsStreams.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace imaging {

// ---- TIKBufferedReadStream ----

TIKBufferedReadStream::TIKBufferedReadStream(rtl::TStream* source, int32_t bufferSize) : source_(source) {
  if (!source_) throw EIKError("TIKBufferedReadStream needs a source stream");
  sourceSize_ = source_->Size();
  position_ = source_->Position();
  SetBufferSize(bufferSize);
}

void TIKBufferedReadStream::SetBufferSize(int32_t size) {
  if (size < 1) size = 1;
  buffer_ = std::make_unique<uint8_t[]>(static_cast<size_t>(size));
  bufferSize_ = size;
  Refill();
}

void TIKBufferedReadStream::Refill() {
  bufferIndex_ = 0;
  bufferFill_ = 0;
  // Outside the source there is nothing to read; a source that cannot move
  // to the position would otherwise hand over bytes from somewhere else.
  if (position_ < 0 || position_ >= sourceSize_) return;
  if (source_->Seek(position_, rtl::soBeginning) != position_) return;
  const int64_t got = source_->Read(buffer_.get(), bufferSize_);
  bufferFill_ = static_cast<int32_t>(std::clamp<int64_t>(got, 0, bufferSize_));
}

int64_t TIKBufferedReadStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || position_ < 0 || position_ >= sourceSize_) return 0;
  if (count > bufferSize_) {
    const int64_t want = std::min<int64_t>({count, sourceSize_ - position_, std::numeric_limits<int32_t>::max()});
    if (want > bufferSize_) SetBufferSize(static_cast<int32_t>(want));
  }
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count && position_ < sourceSize_) {
    if (bufferIndex_ >= bufferFill_) {
      Refill();
      if (bufferFill_ == 0) break;
    }
    const int64_t n = std::min<int64_t>({count - done, bufferFill_ - bufferIndex_, sourceSize_ - position_});
    std::memcpy(out + done, buffer_.get() + bufferIndex_, static_cast<size_t>(n));
    bufferIndex_ += static_cast<int32_t>(n);
    position_ += n;
    done += n;
  }
  return done;
}

int64_t TIKBufferedReadStream::Write(const void*, int64_t) {
  throw EIKError("TIKBufferedReadStream cannot write!");
}

int64_t TIKBufferedReadStream::Seek(int64_t offset, rtl::TSeekOrigin origin) {
  int64_t target = position_;
  switch (origin) {
    case rtl::soBeginning: target = offset; break;
    case rtl::soCurrent: target = position_ + offset; break;
    case rtl::soEnd: target = sourceSize_ - offset; break;
  }
  if (target != position_) {
    position_ = target;
    Refill();
  }
  return position_;
}

// ---- TIKMemStream ----

TIKMemStream::TIKMemStream(const void* memory, int64_t size)
    : memory_(static_cast<const uint8_t*>(memory)), size_(memory && size > 0 ? size : 0) {}

int64_t TIKMemStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || position_ < 0 || position_ >= size_) return 0;
  const int64_t n = std::min(count, size_ - position_);
  std::memcpy(buffer, memory_ + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TIKMemStream::Seek(int64_t offset, rtl::TSeekOrigin origin) {
  switch (origin) {
    case rtl::soBeginning: position_ = offset; break;
    case rtl::soCurrent: position_ += offset; break;
    case rtl::soEnd: position_ = size_ + offset; break;
  }
  return position_;
}

// ---- text writers ----

void WriteText(rtl::TStream& stream, const String& text) {
  stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

void WriteLineCRLF(rtl::TStream& stream, const String& text) { WriteText(stream, text + "\r\n"); }

void WriteLineLF(rtl::TStream& stream, const String& text) { WriteText(stream, text + "\n"); }

// ---- ASCII85 ----

int32_t EncodeAscii85Group(const uint8_t*& input, int32_t count, char*& output) {
  count = std::clamp(count, 1, 4);
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = v << 8 | (i < count ? input[i] : 0);
  input += count;
  if (v == 0 && count == 4) {
    *output++ = 'z';
    return 1;
  }
  char digits[5];
  for (int i = 4; i >= 0; --i) {
    digits[i] = static_cast<char>(v % 85 + 33);
    v /= 85;
  }
  for (int i = 0; i <= count; ++i) *output++ = digits[i];
  return count + 1;
}

int32_t Ascii85Encode(const uint8_t*& input, int32_t length, char*& output, int32_t& outputCounter) {
  int32_t written = 0;
  int32_t lineChars = 0;
  while (length > 0) {
    const int32_t n = std::min(4, length);
    const int32_t chars = EncodeAscii85Group(input, n, output);
    length -= n;
    written += chars;
    outputCounter += chars;
    lineChars += chars;
    if (lineChars > 74) {
      *output++ = '\r';
      *output++ = '\n';
      written += 2;
      lineChars = 0;
    }
  }
  for (char c : {'~', '>', '\r', '\n'}) *output++ = c;
  return written + 4;
}

int64_t Ascii85MaxLength(int64_t length) {
  const int64_t groups = length > 0 ? (length + 3) / 4 : 0;
  // Every line holds at least 75 characters before its break.
  return groups * 5 + 2 * (groups * 5 / 75 + 1) + 4;
}

// ---- RunLength ----

int32_t RunLengthEncode(const uint8_t* input, int32_t length, uint8_t* output) {
  int32_t j = 0;
  int32_t written = 0;
  while (j < length) {
    int32_t run = 1;
    while (j + run < length && run < 128 && input[j + run] == input[j]) ++run;
    if (run >= 2) {
      output[written++] = static_cast<uint8_t>(257 - run);
      output[written++] = input[j];
      j += run;
      continue;
    }
    int32_t literal = 1;
    while (j + literal < length && literal < 128 && input[j + literal] != input[j + literal - 1]) ++literal;
    output[written++] = static_cast<uint8_t>(literal - 1);
    std::memcpy(output + written, input + j, static_cast<size_t>(literal));
    written += literal;
    j += literal;
  }
  output[written++] = 128;
  return written;
}

int64_t RunLengthMaxLength(int64_t length) {
  // A literal of one byte costs two; nothing costs more.
  return length > 0 ? 2 * length + 1 : 1;
}

}  // namespace imaging
