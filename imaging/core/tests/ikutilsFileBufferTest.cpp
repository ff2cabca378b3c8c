#include "imaging/core/ikutilsFileBuffer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "imaging/core/tests/IkTestFolder.h"
#include "platform/rtl/TempFiles.h"

namespace imaging {
namespace {

namespace fs = std::filesystem;

using testing::ReadAll;
class IkFileBuffer : public testing::TempFolderTest {};

TEST_F(IkFileBuffer, NamesFilesExclusivelyAndDeletesThemOnRelease) {
  TIKFileBuffer a, b;
  EXPECT_FALSE(a.IsAllocated());
  EXPECT_TRUE(a.FileName().empty());
  ASSERT_TRUE(a.AllocateFile("IMG", 1000));
  ASSERT_TRUE(b.AllocateFile("IMG", 10));
  EXPECT_TRUE(a.IsAllocated());
  const std::regex pattern("IMG-[0-9A-F]{8}\\.tmp");
  for (const auto* buffer : {&a, &b}) {
    const fs::path path(buffer->FileName());
    EXPECT_EQ(path.parent_path().string() + "/", folder_);
    EXPECT_TRUE(std::regex_match(path.filename().string(), pattern)) << path;
    struct stat st {};
    ASSERT_EQ(::stat(buffer->FileName().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
  }
  EXPECT_NE(a.FileName(), b.FileName());
  EXPECT_EQ(fs::file_size(a.FileName()), 1000u);
  EXPECT_EQ(a.FileSize(), 1000);
  a.SetFileSize(4096);
  EXPECT_EQ(fs::file_size(a.FileName()), 4096u);

  const std::string name = a.FileName();
  a.Release();
  EXPECT_FALSE(a.IsAllocated());
  EXPECT_FALSE(fs::exists(name));
  a.Release();  // nothing left to do
  {
    TIKFileBuffer scoped;
    ASSERT_TRUE(scoped.AllocateFile("ILIST", 1));
    EXPECT_EQ(fs::path(scoped.FileName()).filename().string().rfind("ILIST-", 0), 0u);
  }
  EXPECT_EQ(Files().size(), 1u);  // only b's file is left
}

TEST_F(IkFileBuffer, NeverOpensAFileOrLinkAlreadyThere) {
  // The first two draws hit a planted link and a file of someone else; the
  // store must pass both by and leave what they point at untouched.
  const std::string victim = folder_ + "victim";
  std::ofstream(victim) << "keep me";
  ASSERT_EQ(::symlink(victim.c_str(), (folder_ + "IMG-0000002A.tmp").c_str()), 0);
  std::ofstream(folder_ + "IMG-0000002B.tmp") << "theirs";
  uint32_t draws[] = {42, 43, 44};
  size_t next = 0;
  detail::SetFileBufferNameSource([&] { return draws[next++ % 3]; });
  TIKFileBuffer buffer;
  const bool made = buffer.AllocateFile("IMG", 64);
  detail::SetFileBufferNameSource(nullptr);
  ASSERT_TRUE(made);
  EXPECT_EQ(buffer.FileName(), folder_ + "IMG-0000002C.tmp");
  EXPECT_EQ(ReadAll(victim), "keep me");
  EXPECT_EQ(ReadAll(folder_ + "IMG-0000002B.tmp"), "theirs");
  buffer.Release();
  EXPECT_TRUE(fs::exists(folder_ + "IMG-0000002B.tmp"));
}

TEST_F(IkFileBuffer, FailsQuietlyWhenTheFolderIsMissing) {
  DefaultTempDirectory = folder_ + "missing";
  TIKFileBuffer buffer;
  EXPECT_FALSE(buffer.AllocateFile("IMG", 100));
  EXPECT_FALSE(buffer.IsAllocated());
}

TEST_F(IkFileBuffer, FolderWithoutDelimiterIsStillTheFolder) {
  DefaultTempDirectory = folder_.substr(0, folder_.size() - 1);
  TIKFileBuffer buffer;
  ASSERT_TRUE(buffer.AllocateFile("IMG", 1));
  EXPECT_EQ(fs::path(buffer.FileName()).parent_path().string() + "/", folder_);
}

TEST(IkFileBufferDefault, UsesTheProgramsPrivateTempFolder) {
  TIKFileBuffer buffer;
  ASSERT_TRUE(buffer.AllocateFile("IMG", 1));
  EXPECT_EQ(fs::path(buffer.FileName()).parent_path().string() + "/", rtl::GetTempPath());
  struct stat st {};
  ASSERT_EQ(::stat(rtl::GetTempPath().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(IkFileBuffer, RegionsAreCopiesWrittenBackOnlyForWriting) {
  TIKFileBuffer buffer;
  ASSERT_TRUE(buffer.AllocateFile("IMG", 16));
  auto* w = static_cast<uint8_t*>(buffer.Map(ikaWrite, 4, 4));
  std::memcpy(w, "ABCD", 4);
  auto* r = static_cast<uint8_t*>(buffer.Map(ikaRead, 0, 16));
  EXPECT_EQ(r[4], 0);  // the write region has not reached the file yet
  r[0] = 'Z';          // changing a read region changes nothing
  EXPECT_EQ(buffer.MappedCount(), 2);
  buffer.Unmap(w);
  buffer.Unmap(r);
  EXPECT_EQ(buffer.MappedCount(), 0);
  EXPECT_EQ(ReadAll(buffer.FileName()), std::string(4, '\0') + "ABCD" + std::string(8, '\0'));

  // Two copies of the same bytes: the one released last wins.
  auto* first = static_cast<uint8_t*>(buffer.Map(ikaRead | ikaWrite, 0, 2));
  auto* second = static_cast<uint8_t*>(buffer.Map(ikaRead | ikaWrite, 0, 2));
  first[0] = '1';
  second[0] = '2';
  buffer.Unmap(second);
  buffer.Unmap(first);
  EXPECT_EQ(ReadAll(buffer.FileName())[0], '1');

  int stranger = 0;
  EXPECT_THROW(buffer.Unmap(&stranger), rtl::EListError);
}

TEST_F(IkFileBuffer, ReleaseWritesRegionsBackBeforeDeleting) {
  TIKFileBuffer buffer;
  ASSERT_TRUE(buffer.AllocateFile("IMG", 8));
  const std::string name = buffer.FileName();
  // Keep a second name for the same file to see its last content.
  const std::string witness = folder_ + "witness";
  ASSERT_EQ(::link(name.c_str(), witness.c_str()), 0);
  auto* w = static_cast<uint8_t*>(buffer.Map(ikaWrite, 0, 8));
  std::memcpy(w, "released", 8);
  buffer.Release();
  EXPECT_FALSE(fs::exists(name));
  EXPECT_EQ(ReadAll(witness), "released");
}

TEST_F(IkFileBuffer, ReadingPastTheFileRaises) {
  TIKFileBuffer buffer;
  ASSERT_TRUE(buffer.AllocateFile("IMG", 8));
  EXPECT_THROW(buffer.Map(ikaRead, 4, 8), rtl::EReadError);
  EXPECT_EQ(buffer.MappedCount(), 0);
  TIKFileBuffer none;
  EXPECT_THROW(none.SetFileSize(10), EIKError);
}

TEST_F(IkFileBuffer, CopyToWholeFileAndInChunks) {
  constexpr int64_t kSize = 3 * 1048576 + 40;
  std::string pattern(kSize, '\0');
  for (int64_t i = 0; i < kSize; ++i) pattern[i] = static_cast<char>(i * 131 % 251);

  TIKFileBuffer source, whole, part;
  ASSERT_TRUE(source.AllocateFile("IMG", kSize));
  ASSERT_TRUE(whole.AllocateFile("IMG", 5));
  ASSERT_TRUE(part.AllocateFile("IMG", kSize));
  auto* w = static_cast<uint8_t*>(source.Map(ikaWrite, 0, kSize));
  std::memcpy(w, pattern.data(), kSize);
  // CopyTo releases the regions first, so the copy sees this write.
  source.CopyTo(&whole, 0, kSize);
  EXPECT_EQ(source.MappedCount(), 0);
  EXPECT_EQ(ReadAll(whole.FileName()), pattern);

  // 3 MiB + 5 bytes from position 10: four chunks, exactly those bytes.
  source.CopyTo(&part, 10, 3 * 1048576 + 5);
  const std::string copied = ReadAll(part.FileName());
  ASSERT_EQ(copied.size(), static_cast<size_t>(kSize));
  EXPECT_EQ(copied.substr(0, 10), std::string(10, '\0'));
  EXPECT_EQ(copied.substr(10, 3 * 1048576 + 5), pattern.substr(10, 3 * 1048576 + 5));
  EXPECT_EQ(copied.substr(10 + 3 * 1048576 + 5), std::string(25, '\0'));

  TIKFileBuffer empty;
  source.CopyTo(&empty, 0, 10);  // no file: nothing happens
  EXPECT_FALSE(empty.IsAllocated());
}

}  // namespace
}  // namespace imaging
