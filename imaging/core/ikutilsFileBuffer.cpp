#include "imaging/core/ikutilsFileBuffer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "platform/rtl/TempFiles.h"

namespace imaging {

String DefaultTempDirectory;

namespace {

constexpr int64_t kCopyChunk = 1048576;

std::function<uint32_t()>& NameSource() {
  static std::function<uint32_t()> source;
  return source;
}

uint32_t DrawNameNumber() {
  if (NameSource()) return NameSource()();
  thread_local std::mt19937 engine{std::random_device{}()};
  return std::uniform_int_distribution<uint32_t>(0, 2147483646)(engine);
}

String TempFolder() {
  if (DefaultTempDirectory.empty()) return rtl::GetTempPath();
  // A folder given without its delimiter still means that folder, not a
  // name prefix in its parent.
  return DefaultTempDirectory.back() == '/' ? DefaultTempDirectory : DefaultTempDirectory + "/";
}

}  // namespace

namespace detail {
void SetFileBufferNameSource(std::function<uint32_t()> source) { NameSource() = std::move(source); }
}  // namespace detail

TIKFileBuffer::~TIKFileBuffer() {
  try {
    Release();
  } catch (const rtl::Exception&) {
    // A region that cannot be written back is lost with the file anyway.
  }
}

bool TIKFileBuffer::AllocateFile(const String& prefix, int64_t size) {
  Release();
  if (size < 0 || prefix.find('/') != String::npos) return false;
  const String folder = TempFolder();
  // Four billion names: only a folder full of them takes more than a few
  // draws, and then giving up sends the raster to memory.
  for (int attempt = 0; attempt < 1000; ++attempt) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08X", DrawNameNumber());
    const String name = folder + prefix + "-" + digits + ".tmp";
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    fd_ = fd;
    fileName_ = name;
    // A file that cannot take the size stays ours and goes at Release.
    return ::ftruncate(fd_, size) == 0;
  }
  return false;
}

void TIKFileBuffer::SetFileSize(int64_t size) {
  if (fd_ < 0) throw EIKError("TIKFileBuffer has no file");
  if (size < 0 || ::ftruncate(fd_, size) != 0) throw rtl::EWriteError("Cannot set the size of " + fileName_);
}

int64_t TIKFileBuffer::FileSize() const {
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return 0;
  return st.st_size;
}

void TIKFileBuffer::Release() {
  if (fd_ < 0) return;
  // The file goes even when a region cannot be written back.
  struct Closer {
    TIKFileBuffer* self;
    ~Closer() {
      self->regions_.clear();
      ::close(self->fd_);
      self->fd_ = -1;
      ::unlink(self->fileName_.c_str());
    }
  } closer{this};
  UnmapAll();
}

void TIKFileBuffer::ReadAt(uint8_t* data, int64_t size, int64_t position) {
  while (size > 0) {
    const ssize_t n = ::pread(fd_, data, static_cast<size_t>(size), position);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw rtl::EReadError("Stream read error");
    data += n;
    size -= n;
    position += n;
  }
}

void TIKFileBuffer::WriteAt(const uint8_t* data, int64_t size, int64_t position) {
  while (size > 0) {
    const ssize_t n = ::pwrite(fd_, data, static_cast<size_t>(size), position);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw rtl::EWriteError("Stream write error");
    data += n;
    size -= n;
    position += n;
  }
}

void* TIKFileBuffer::Map(TIKDataAccess access, int64_t position, int64_t size) {
  if (size < 0 || position < 0) throw rtl::EReadError("Stream read error");
  auto block = std::make_unique<uint8_t[]>(static_cast<size_t>(size));
  if (access & ikaRead) {
    if (fd_ < 0) throw rtl::EReadError("Stream read error");
    ReadAt(block.get(), size, position);
  }
  void* address = block.get();
  regions_.push_back(Region{position, size, std::move(block), access});
  return address;
}

void TIKFileBuffer::Unmap(void* address) {
  const auto it = std::find_if(regions_.begin(), regions_.end(),
                               [address](const Region& r) { return r.block.get() == address; });
  if (it == regions_.end()) throw rtl::EListError("List index out of bounds (-1)");
  // The region leaves the list whether or not its bytes reach the file.
  Region region = std::move(*it);
  regions_.erase(it);
  if (region.access & ikaWrite) {
    if (fd_ < 0) throw rtl::EWriteError("Stream write error");
    WriteAt(region.block.get(), region.size, region.position);
  }
}

void TIKFileBuffer::UnmapAll() {
  if (fd_ < 0) return;
  while (!regions_.empty()) Unmap(regions_.back().block.get());
}

void TIKFileBuffer::CopyTo(TIKFileBuffer* target, int64_t position, int64_t size) {
  if (!target || target == this || fd_ < 0 || target->fd_ < 0) return;
  UnmapAll();
  target->UnmapAll();
  if (position == 0 && size == FileSize()) {
    // The whole file: let the kernel copy it (and share the blocks where
    // the file system can).
    if (::ftruncate(target->fd_, 0) != 0) throw rtl::EWriteError("Stream write error");
    loff_t in = 0, out = 0;
    while (in < size) {
      const ssize_t n = ::copy_file_range(fd_, &in, target->fd_, &out, static_cast<size_t>(size - in), 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
    }
    position = in;
    size -= in;
  }
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min(size, kCopyChunk)));
  while (size > 0) {
    const int64_t chunk = std::min(size, kCopyChunk);
    ReadAt(buffer.data(), chunk, position);
    target->WriteAt(buffer.data(), chunk, position);
    position += chunk;
    size -= chunk;
  }
}

}  // namespace imaging
