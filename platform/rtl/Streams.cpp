#include "platform/rtl/Streams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/rtl/Exceptions.h"

namespace rtl {

int64_t TStream::Size() {
  const int64_t position = Seek(0, soCurrent);
  const int64_t size = Seek(0, soEnd);
  Seek(position, soBeginning);
  return size;
}

void TStream::SetSize(int64_t) {}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count <= 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  constexpr int64_t kChunk = 64 * 1024;
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min(count, kChunk)));
  int64_t left = count;
  while (left > 0) {
    const int64_t n = std::min(left, kChunk);
    source.ReadBuffer(buffer.data(), n);
    WriteBuffer(buffer.data(), n);
    left -= n;
  }
  return count;
}

// --- THandleStream ---------------------------------------------------------

int64_t THandleStream::Read(void* buffer, int64_t count) {
  if (count <= 0) return 0;
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  // A pipe or a slow device may hand over less than asked; keep reading
  // until the count is met or the end is reached, as a file read does.
  while (done < count) {
    const ssize_t n = ::read(handle_, out + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t THandleStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  const auto* in = static_cast<const uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(handle_, in + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t THandleStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
  return static_cast<int64_t>(::lseek(handle_, static_cast<off_t>(offset), whence));
}

void THandleStream::SetSize(int64_t newSize) {
  if (newSize < 0 || Seek(newSize, soBeginning) < 0 || ::ftruncate(handle_, static_cast<off_t>(newSize)) != 0) {
    const int code = errno;
    throw EInOutError(String("Cannot set the stream size: ") + std::strerror(code), code);
  }
}

// --- TFileStream -----------------------------------------------------------

namespace {

int openFile(const String& fileName, uint16_t mode, uint32_t rights, int& error) {
  const bool create = (mode & fmCreate) == fmCreate;
  // A file without write permission for its owner is read-only: writing is
  // refused even to a user the system would let through, and the check
  // comes before fmCreate could empty it.
  struct stat existing {};
  if ((create || (mode & 3) != fmOpenRead) && ::stat(fileName.c_str(), &existing) == 0 &&
      S_ISREG(existing.st_mode) && (existing.st_mode & S_IWUSR) == 0) {
    error = EACCES;
    return -1;
  }
  int flags = O_CLOEXEC;
  if (create) {
    flags |= O_RDWR | O_CREAT | O_TRUNC;
  } else {
    switch (mode & 3) {
      case fmOpenWrite: flags |= O_WRONLY; break;
      case fmOpenReadWrite: flags |= O_RDWR; break;
      default: flags |= O_RDONLY; break;
    }
  }
  int fd;
  do {
    fd = ::open(fileName.c_str(), flags, static_cast<mode_t>(rights));
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    error = errno;
    return -1;
  }
  // open() hands out read descriptors for folders; a file stream over a
  // folder is refused, as a file open refuses it elsewhere.
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    error = EISDIR;
    return -1;
  }
  return fd;
}

}  // namespace

TFileStream::TFileStream(const String& fileName, uint16_t mode, uint32_t rights)
    : THandleStream(-1), fileName_(fileName) {
  int error = 0;
  handle_ = openFile(fileName, mode, rights, error);
  if (handle_ < 0) {
    const String reason = std::strerror(error);
    if ((mode & fmCreate) == fmCreate)
      throw EFCreateError("Cannot create file \"" + fileName + "\". " + reason);
    throw EFOpenError("Cannot open file \"" + fileName + "\". " + reason);
  }
}

TFileStream::~TFileStream() {
  if (handle_ >= 0) ::close(handle_);
}

// --- TMemoryStream ---------------------------------------------------------

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  const int64_t size = Size();
  if (position_ < 0 || count <= 0 || position_ >= size) return 0;
  const int64_t n = std::min(count, size - position_);
  std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (position_ < 0 || count <= 0) return 0;
  const int64_t end = position_ + count;
  if (end > Size()) {
    try {
      data_.resize(static_cast<size_t>(end));
    } catch (const std::bad_alloc&) {
      throw EOutOfMemory("Out of memory while expanding memory stream");
    }
  }
  std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  switch (origin) {
    case soBeginning: position_ = offset; break;
    case soCurrent: position_ += offset; break;
    case soEnd: position_ = Size() + offset; break;
  }
  return position_;
}

void TMemoryStream::SetSize(int64_t newSize) {
  if (newSize < 0) newSize = 0;
  try {
    data_.resize(static_cast<size_t>(newSize));
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory("Out of memory while expanding memory stream");
  }
  if (position_ > newSize) position_ = newSize;
}

void TMemoryStream::Clear() {
  data_.clear();
  data_.shrink_to_fit();
  position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& stream) {
  stream.SetPosition(0);
  const int64_t count = stream.Size();
  SetSize(count);
  stream.ReadBuffer(data_.data(), count);
}

void TMemoryStream::LoadFromFile(const String& fileName) {
  TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(file);
}

void TMemoryStream::SaveToStream(TStream& stream) { stream.WriteBuffer(data_.data(), Size()); }

void TMemoryStream::SaveToFile(const String& fileName) {
  TFileStream file(fileName, fmCreate);
  SaveToStream(file);
}

// --- TStringStream ---------------------------------------------------------

TStringStream::TStringStream(const String& data) {
  WriteString(data);
  SetPosition(0);
}

String TStringStream::DataString() const {
  return String(data_.begin(), data_.end());
}

String TStringStream::ReadString(int64_t count) {
  const int64_t position = Position();
  const int64_t available = position < 0 ? 0 : std::max<int64_t>(0, Size() - position);
  String result(static_cast<size_t>(std::clamp<int64_t>(count, 0, available)), '\0');
  Read(result.data(), static_cast<int64_t>(result.size()));
  return result;
}

void TStringStream::WriteString(const String& text) { Write(text.data(), static_cast<int64_t>(text.size())); }

}  // namespace rtl
