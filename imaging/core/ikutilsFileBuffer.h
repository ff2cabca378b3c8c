#pragma once
// TIKFileBuffer: a block of data kept in a temporary file and lent out in
// pieces as ordinary memory. A "mapped" region is a heap copy of the file's
// bytes, written back when it is released, so any number of regions may be
// out at once and the file may be larger than the address space.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "imaging/core/ikdefs.h"

namespace imaging {

// Folder for new temporary files of the component; empty: the program's own
// private temporary folder.
extern String DefaultTempDirectory;

class TIKFileBuffer {
public:
  TIKFileBuffer() = default;
  ~TIKFileBuffer();
  TIKFileBuffer(const TIKFileBuffer&) = delete;
  TIKFileBuffer& operator=(const TIKFileBuffer&) = delete;

  // Creates a new file named prefix + "-" + 8 upper-case hexadecimal digits
  // + ".tmp" of `size` bytes; any failure gives false. The file is created
  // exclusively with mode 0600, so nothing already there, a planted link
  // included, is ever opened.
  bool AllocateFile(const String& prefix, int64_t size);
  // EIKError when the store has no file; EWriteError when the size cannot
  // be set.
  void SetFileSize(int64_t size);
  bool IsAllocated() const { return fd_ >= 0; }
  // Writes back every region, then closes and deletes the file.
  void Release();

  // A new heap copy of `size` bytes at `position`: read from the file when
  // `access` includes ikaRead, written back at Unmap when it includes
  // ikaWrite. EReadError when the bytes cannot be read.
  void* Map(TIKDataAccess access, int64_t position, int64_t size);
  // EListError for an address that is not a mapped region.
  void Unmap(void* address);
  void UnmapAll();
  // Copies `size` bytes at `position` to the same place in the target's
  // file; nothing when either store has no file.
  void CopyTo(TIKFileBuffer* target, int64_t position, int64_t size);

  const String& FileName() const { return fileName_; }
  int64_t FileSize() const;
  int32_t MappedCount() const { return static_cast<int32_t>(regions_.size()); }

private:
  struct Region {
    int64_t position;
    int64_t size;
    std::unique_ptr<uint8_t[]> block;
    TIKDataAccess access;
  };
  void WriteAt(const uint8_t* data, int64_t size, int64_t position);
  void ReadAt(uint8_t* data, int64_t size, int64_t position);

  String fileName_;
  int fd_ = -1;
  std::vector<Region> regions_;
};

namespace detail {
// Replaces the draws behind temporary names (empty restores them), so tests
// can make names collide.
void SetFileBufferNameSource(std::function<uint32_t()> source);
}  // namespace detail

}  // namespace imaging
