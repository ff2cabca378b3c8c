#pragma once
// Small streams and encoders the input/output class and the format filters
// share: a buffered reader over another stream (decoders read byte by byte
// through it), a read-only stream over a caller's memory block, line
// writers, and the ASCII85 and RunLength encoders of the PostScript and PDF
// writers.
#include <cstdint>
#include <memory>

#include "imaging/core/ikdefs.h"
#include "platform/rtl/Streams.h"

namespace imaging {

// Reads the source through a buffer. The source is not owned; its size is
// taken once, at creation, and its position is moved by every refill.
//
// Seek from the end takes a distance back from the end as a positive number
// (Seek(2, soEnd) on 10 bytes is position 8), unlike other streams.
class TIKBufferedReadStream : public rtl::TStream {
public:
  TIKBufferedReadStream(rtl::TStream* source, int32_t bufferSize);

  // The buffer grows to the largest read asked for, but never beyond what
  // the source still holds, so a count taken from a damaged header cannot
  // claim memory for bytes that do not exist.
  int64_t Read(void* buffer, int64_t count) override;
  // Raises EIKError "TIKBufferedReadStream cannot write!".
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, rtl::TSeekOrigin origin) override;

  void SetBufferSize(int32_t size);
  // Reads the buffer afresh from the source at Position.
  void Refill();

  int32_t BufferSize() const { return bufferSize_; }
  int64_t SourceSize() const { return sourceSize_; }

private:
  rtl::TStream* source_;
  int32_t bufferSize_ = 0;
  std::unique_ptr<uint8_t[]> buffer_;
  int64_t position_ = 0;
  int32_t bufferIndex_ = 0;
  // Bytes the last refill really delivered; the rest of the buffer is stale.
  int32_t bufferFill_ = 0;
  int64_t sourceSize_ = 0;
};

// A read-only stream over a block the caller owns and keeps alive; it never
// allocates. Writes and SetSize do nothing.
class TIKMemStream : public rtl::TStream {
public:
  TIKMemStream(const void* memory, int64_t size);

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, rtl::TSeekOrigin origin) override;
  int64_t Size() override { return size_; }
  void SetSize(int64_t) override {}
  const uint8_t* Memory() const { return memory_; }

private:
  const uint8_t* memory_;
  int64_t size_;
  int64_t position_ = 0;
};

// The text followed by CR LF, by LF, or alone (8-bit characters).
void WriteLineCRLF(rtl::TStream& stream, const String& text);
void WriteLineLF(rtl::TStream& stream, const String& text);
void WriteText(rtl::TStream& stream, const String& text);

// One group of 1 to 4 bytes as ASCII85 ("z" for four zero bytes); returns
// the characters written. The cursors advance.
int32_t EncodeAscii85Group(const uint8_t*& input, int32_t count, char*& output);
// The whole input as ASCII85 with a CR LF once a line passes 74 characters,
// then "~>" and CR LF. Returns every character written; `outputCounter`
// grows by the group characters only. The output must hold
// Ascii85MaxLength(length) characters.
int32_t Ascii85Encode(const uint8_t*& input, int32_t length, char*& output, int32_t& outputCounter);
int64_t Ascii85MaxLength(int64_t length);

// RunLength (PostScript and PDF) of the input, ending with the
// end-of-data byte 128; returns the bytes written. The output must hold
// RunLengthMaxLength(length) bytes.
int32_t RunLengthEncode(const uint8_t* input, int32_t length, uint8_t* output);
int64_t RunLengthMaxLength(int64_t length);

}  // namespace imaging
