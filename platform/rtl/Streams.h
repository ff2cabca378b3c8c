#pragma once
// Byte streams in the class library's shape: a stream reads and writes at a
// position, seeks from the start, the current position or the end, and knows
// its size. Sizes and positions are 64-bit, so capture files past 4 GB work.
#include <cstdint>
#include <vector>

#include "platform/rtl/Types.h"

namespace rtl {

enum TSeekOrigin : int { soBeginning = 0, soCurrent = 1, soEnd = 2 };
// The older names of the same origins.
inline constexpr TSeekOrigin soFromBeginning = soBeginning;
inline constexpr TSeekOrigin soFromCurrent = soCurrent;
inline constexpr TSeekOrigin soFromEnd = soEnd;

class TStream {
public:
  virtual ~TStream() = default;
  TStream() = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;

  // Transfer up to `count` bytes and return how many moved; a short count is
  // not an error here (ReadBuffer/WriteBuffer make it one).
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Returns the new position, or -1 when the stream cannot move there.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t position) { Seek(position, soBeginning); }
  virtual int64_t Size();
  virtual void SetSize(int64_t newSize);

  // Raise EReadError / EWriteError unless exactly `count` bytes move.
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);
  // Copies `count` bytes from the source's position; a count of 0 (or less)
  // copies the whole source from its start. Returns the bytes copied.
  int64_t CopyFrom(TStream& source, int64_t count);
};

// A stream over an open POSIX descriptor that someone else owns.
class THandleStream : public TStream {
public:
  explicit THandleStream(int handle) : handle_(handle) {}
  int Handle() const { return handle_; }

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  // Truncates or extends the file; the position ends at the new size.
  // Raises EInOutError when the descriptor refuses.
  void SetSize(int64_t newSize) override;

protected:
  int handle_;
};

// Open modes: one access mode combined with one share mode, or fmCreate.
inline constexpr uint16_t fmCreate = 0xFF00;
inline constexpr uint16_t fmOpenRead = 0x0000;
inline constexpr uint16_t fmOpenWrite = 0x0001;
inline constexpr uint16_t fmOpenReadWrite = 0x0002;
inline constexpr uint16_t fmShareCompat = 0x0000;
inline constexpr uint16_t fmShareExclusive = 0x0010;
inline constexpr uint16_t fmShareDenyWrite = 0x0020;
inline constexpr uint16_t fmShareDenyRead = 0x0030;
inline constexpr uint16_t fmShareDenyNone = 0x0040;

// A file opened by name. fmCreate creates or empties the file and opens it
// for reading and writing. Share modes are accepted but not enforced: POSIX
// has no mandatory sharing, and readers of a growing capture file must work.
// A file without the owner's write permission is read-only and is not opened
// for writing. Failures raise EFCreateError / EFOpenError naming the file
// and the reason.
class TFileStream : public THandleStream {
public:
  TFileStream(const String& fileName, uint16_t mode, uint32_t rights = 0666);
  ~TFileStream() override;
  const String& FileName() const { return fileName_; }

private:
  String fileName_;
};

// A stream over a growable block of memory. Positions past the end are
// allowed; writing there fills the gap with zeros.
class TMemoryStream : public TStream {
public:
  TMemoryStream() = default;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }
  // Keeps the position unless it lies beyond the new end.
  void SetSize(int64_t newSize) override;

  uint8_t* Memory() { return data_.data(); }
  const uint8_t* Memory() const { return data_.data(); }
  void Clear();

  // Replaces the contents with the whole of `stream`, read from its start.
  void LoadFromStream(TStream& stream);
  void LoadFromFile(const String& fileName);
  // Writes the whole contents at the target's current position.
  void SaveToStream(TStream& stream);
  void SaveToFile(const String& fileName);

protected:
  std::vector<uint8_t> data_;

private:
  int64_t position_ = 0;
};

// A memory stream whose bytes are read back as a String.
class TStringStream : public TMemoryStream {
public:
  explicit TStringStream(const String& data = String());
  String DataString() const;
  // Reads up to `count` bytes from the position.
  String ReadString(int64_t count);
  void WriteString(const String& text);
};

}  // namespace rtl
