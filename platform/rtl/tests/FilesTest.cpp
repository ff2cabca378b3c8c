#include "platform/rtl/Files.h"

#include <gtest/gtest.h>

#include "PythonRunner.h"
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include "platform/rtl/Clock.h"
#include "platform/rtl/Exceptions.h"

using namespace rtl;
namespace fs = std::filesystem;

namespace {

class FilesTest : public ::testing::Test {
protected:
  void SetUp() override { dir_ = MakeTemp("/tmp/vorix-files-XXXXXX"); }
  void TearDown() override {
    for (const String& d : temps_) {
      std::error_code ec;
      fs::permissions(d, fs::perms::owner_all, fs::perm_options::add, ec);
      fs::remove_all(d, ec);
    }
  }
  String MakeTemp(const char* pattern) {
    std::vector<char> buf(pattern, pattern + std::strlen(pattern) + 1);
    if (mkdtemp(buf.data()) == nullptr) return String();
    temps_.emplace_back(buf.data());
    return buf.data();
  }
  String Path(const String& name) const { return dir_ + "/" + name; }
  void Write(const String& name, const String& bytes) {
    fs::create_directories(fs::path(Path(name)).parent_path());
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }
  String Read(const String& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  static String RunPython(const String& script) {
    String out = rtltest::RunPython(script);
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
  }

  String dir_;
  std::vector<String> temps_;
};

// Every entry FindFirst/FindNext report, in their order.
std::vector<String> Search(const String& path, int32_t attr, int* firstResult = nullptr) {
  std::vector<String> names;
  TSearchRec sr;
  int r = FindFirst(path, attr, sr);
  if (firstResult != nullptr) *firstResult = r;
  while (r == 0) {
    names.push_back(sr.Name);
    r = FindNext(sr);
  }
  EXPECT_EQ(FindNext(sr), kFindNoMoreFiles);
  FindClose(sr);
  return names;
}

std::vector<String> Sorted(std::vector<String> v) {
  std::sort(v.begin(), v.end());
  return v;
}

}  // namespace

TEST_F(FilesTest, ExistenceTestsTellFilesFromFolders) {
  Write("f.txt", "x");
  fs::create_directory(Path("d"));
  fs::create_symlink(Path("f.txt"), Path("link"));
  fs::create_symlink(Path("gone"), Path("dangling"));
  fs::create_symlink(Path("d"), Path("dirlink"));
  struct Case {
    String name;
    bool file, folder;
  };
  const Case cases[] = {{"f.txt", true, false}, {"d", false, true},        {"link", true, false},
                        {"dangling", false, false}, {"dirlink", false, true}, {"missing", false, false},
                        {"d/", false, true},     {"f.txt/", false, false}};
  for (const Case& c : cases) {
    EXPECT_EQ(FileExists(Path(c.name)), c.file) << c.name;
    EXPECT_EQ(DirectoryExists(Path(c.name)), c.folder) << c.name;
  }
  EXPECT_FALSE(FileExists(""));
  EXPECT_FALSE(DirectoryExists(""));
}

TEST_F(FilesTest, CreatingAndRemovingFolders) {
  EXPECT_TRUE(ForceDirectories(Path("a/b/c/")));
  EXPECT_TRUE(DirectoryExists(Path("a/b/c")));
  EXPECT_TRUE(ForceDirectories(Path("a/b"))) << "an existing folder is success";
  EXPECT_THROW(ForceDirectories(""), EInOutError);
  Write("file", "x");
  EXPECT_FALSE(ForceDirectories(Path("file/sub"))) << "a file stands in the way";

  EXPECT_FALSE(CreateDir(Path("a"))) << "already there";
  EXPECT_FALSE(CreateDir(Path("x/y"))) << "CreateDir makes no parents";
  EXPECT_FALSE(RemoveDir(Path("a/b"))) << "not empty";
  EXPECT_TRUE(RemoveDir(Path("a/b/c")));
  EXPECT_FALSE(DeleteFile(Path("a/b"))) << "DeleteFile leaves folders alone";
  EXPECT_TRUE(DirectoryExists(Path("a/b")));
  EXPECT_TRUE(DeleteFile(Path("file")));
  EXPECT_FALSE(DeleteFile(Path("file")));
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(SysErrorMessage(ENOENT), "No such file or directory");
}

TEST_F(FilesTest, DeleteFolderTreeRemovesLinksWithoutFollowingThem) {
  const String outside = MakeTemp("/tmp/vorix-outside-XXXXXX");
  std::ofstream(outside + "/keep.txt") << "keep";
  Write("tree/a/b/file.bin", "1");
  Write("tree/top.txt", "2");
  fs::create_directory_symlink(outside, Path("tree/a/out"));
  chmod(Path("tree/a/b/file.bin").c_str(), 0444);
  EXPECT_TRUE(DeleteFolderTree(Path("tree")));
  EXPECT_FALSE(fs::exists(Path("tree")));
  EXPECT_TRUE(fs::exists(outside + "/keep.txt"));
  EXPECT_FALSE(DeleteFolderTree(Path("tree")));
}

TEST_F(FilesTest, RenameAndMoveNeverReplaceTheTarget) {
  Write("a.txt", "A");
  Write("b.txt", "B");
  EXPECT_FALSE(RenameFile(Path("a.txt"), Path("b.txt")));
  EXPECT_EQ(Read("a.txt"), "A");
  EXPECT_EQ(Read("b.txt"), "B");
  EXPECT_TRUE(RenameFile(Path("a.txt"), Path("A.TXT"))) << "a change of case is a plain rename";
  EXPECT_EQ(Read("A.TXT"), "A");
  EXPECT_FALSE(FileExists(Path("a.txt")));
  fs::create_directory(Path("album"));
  EXPECT_TRUE(MoveFile(Path("album"), Path("renamed album")));
  EXPECT_TRUE(DirectoryExists(Path("renamed album")));
  EXPECT_FALSE(MoveFile(Path("missing"), Path("x")));
}

TEST_F(FilesTest, MoveFileAcrossFileSystemsCopiesFilesButNotFolders) {
  const String other = MakeTemp("/dev/shm/vorix-move-XXXXXX");
  struct stat a {}, b {};
  if (other.empty() || stat(other.c_str(), &a) != 0 || stat(dir_.c_str(), &b) != 0 || a.st_dev == b.st_dev)
    GTEST_SKIP() << "no second file system to move across";
  Write("clip.avi", "video bytes");
  ASSERT_EQ(FileSetDate(Path("clip.avi"), DateTimeToFileDate(45000.5)), 0);
  EXPECT_TRUE(MoveFile(Path("clip.avi"), other + "/clip.avi"));
  EXPECT_FALSE(FileExists(Path("clip.avi")));
  EXPECT_EQ(FileSize(other + "/clip.avi"), 11);
  EXPECT_EQ(FileAge(other + "/clip.avi"), DateTimeToFileDate(45000.5));
  fs::create_directory(Path("album"));
  EXPECT_FALSE(MoveFile(Path("album"), other + "/album"));
  EXPECT_EQ(errno, EXDEV);
  EXPECT_TRUE(DirectoryExists(Path("album")));
}

TEST_F(FilesTest, CopyFileRules) {
  Write("src.jpg", "picture");
  chmod(Path("src.jpg").c_str(), 0640);
  ASSERT_EQ(FileSetDateTime(Path("src.jpg"), 45359.5), 0);  // 2024-03-08 12:00:00
  Write("old.jpg", "older, longer contents");
  Write("ro.jpg", "read-only");
  chmod(Path("ro.jpg").c_str(), 0444);
  fs::create_directory(Path("folder"));

  struct Case {
    String target;
    bool failIfExists;
    bool ok;
    String contentsAfter;  // of the target
  };
  const Case cases[] = {
      {"new.jpg", true, true, "picture"},
      {"old.jpg", true, false, "older, longer contents"},
      {"old.jpg", false, true, "picture"},
      {"ro.jpg", false, false, "read-only"},
      {"src.jpg", false, false, "picture"},
      {"folder/../src.jpg", false, false, "picture"},
      {"no/such/dir.jpg", false, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    EXPECT_EQ(CopyFile(Path("src.jpg"), Path(c.target), c.failIfExists), c.ok);
    EXPECT_EQ(Read(c.target), c.contentsAfter);
  }
  EXPECT_FALSE(CopyFile(Path("src.jpg"), Path("folder"), false));
  EXPECT_TRUE(DirectoryExists(Path("folder")));
  EXPECT_FALSE(CopyFile(Path("missing.jpg"), Path("m.jpg"), false));
  EXPECT_FALSE(FileExists(Path("m.jpg")));
  EXPECT_FALSE(CopyFile(Path("folder"), Path("f2"), false));

  struct stat st {};
  ASSERT_EQ(stat(Path("new.jpg").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  TDateTime copied = 0;
  ASSERT_TRUE(FileAge(Path("new.jpg"), copied));
  EXPECT_NEAR(copied, 45359.5, 1e-9);
}

TEST_F(FilesTest, AppendToFileCreatesThenAppends) {
  EXPECT_FALSE(AppendToFile(Path("Log/AlarmLogFile.txt"), "")) << "the folder is missing";
  fs::create_directory(Path("Log"));
  EXPECT_TRUE(AppendToFile(Path("Log/AlarmLogFile.txt"), "first\r\n"));
  EXPECT_TRUE(AppendToFile(Path("Log/AlarmLogFile.txt"), "second\r\n"));
  EXPECT_EQ(Read("Log/AlarmLogFile.txt"), "first\r\nsecond\r\n");
  EXPECT_FALSE(AppendToFile(Path("Log"), "x"));
}

TEST_F(FilesTest, CopyFileCopiesLargeContentsExactly) {
  String bytes(3 * 1024 * 1024 + 17, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 131) ^ (i >> 9));
  Write("big.bin", bytes);
  ASSERT_TRUE(CopyFile(Path("big.bin"), Path("copy.bin"), true));
  EXPECT_EQ(Read("copy.bin"), bytes);
  EXPECT_EQ(FileSize(Path("copy.bin")), static_cast<int64_t>(bytes.size()));
}

TEST(FileDatesTest, PackedDatesRoundTripToEvenSeconds) {
  struct Case {
    TDateTime in;
    TDateTime out;
    int32_t packed;
  };
  // 2024-03-08 14:05:09 keeps 14:05:08; 1979 clamps to 1980-01-01.
  const double day = 45359;  // 2024-03-08
  const Case cases[] = {
      {day + (14 * 3600 + 5 * 60 + 9) / 86400.0, day + (14 * 3600 + 5 * 60 + 8) / 86400.0,
       static_cast<int32_t>((44u << 25) | (3u << 21) | (8u << 16) | (14u << 11) | (5u << 5) | 4u)},
      {29221.0 /* 1980-01-01 */, 29221.0, static_cast<int32_t>((1u << 21) | (1u << 16))},
      {28000.0 /* 1976 */, 29221.0, static_cast<int32_t>((1u << 21) | (1u << 16))},
      {day + 0.99999999, day + 1, static_cast<int32_t>((44u << 25) | (3u << 21) | (9u << 16))},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DateTimeToFileDate(c.in), c.packed) << c.in;
    EXPECT_NEAR(FileDateToDateTime(c.packed), c.out, 1e-9) << c.in;
  }
  EXPECT_THROW(FileDateToDateTime(-1), EConvertError) << "the missing file's age is no date";
  EXPECT_THROW(FileDateToDateTime(static_cast<int32_t>((44u << 25) | (2u << 21) | (30u << 16))), EConvertError);
  EXPECT_NO_THROW(FileDateToDateTime(static_cast<int32_t>((44u << 25) | (2u << 21) | (29u << 16))));
  EXPECT_THROW(FileDateToDateTime(static_cast<int32_t>((44u << 25) | (2u << 21) | (1u << 16) | (24u << 11))),
               EConvertError);
}

TEST_F(FilesTest, SizesAndDatesOfFiles) {
  Write("f.bin", String(1234, 'x'));
  EXPECT_EQ(FileSize(Path("f.bin")), 1234);
  EXPECT_EQ(FileSize(Path("missing")), -1);
  EXPECT_EQ(FileSize(dir_), -1);
  EXPECT_EQ(FileAge(Path("missing")), -1);

  const int32_t stamp = DateTimeToFileDate(45359.0 + 0.25);  // 2024-03-08 06:00
  ASSERT_EQ(FileSetDate(Path("f.bin"), stamp), 0);
  EXPECT_EQ(FileAge(Path("f.bin")), stamp);
  // The local time we set must be the file's local time: cross-check the
  // stored instant with Python's reading of it.
  const String pyLocal =
      RunPython("import os,time; print(time.strftime(\"%Y-%m-%d %H:%M:%S\", time.localtime(os.stat(\"" +
                Path("f.bin") + "\").st_mtime)))");
  EXPECT_EQ(pyLocal, "2024-03-08 06:00:00");
  EXPECT_NE(FileSetDate(Path("missing"), stamp), 0);
}

TEST_F(FilesTest, CurrentFolderAndExpandFileName) {
  const String saved = GetCurrentDir();
  ASSERT_TRUE(SetCurrentDir(dir_));
  const String real = fs::canonical(dir_).string();
  EXPECT_EQ(GetCurrentDir(), real);
  EXPECT_EQ(ExpandFileName("sub/../x.txt"), real + "/x.txt");
  EXPECT_EQ(ExpandFileName("/etc/./passwd"), "/etc/passwd");
  EXPECT_FALSE(SetCurrentDir(Path("missing")));
  ASSERT_TRUE(SetCurrentDir(saved));
}

class FindFirstTest : public FilesTest {
protected:
  void SetUp() override {
    FilesTest::SetUp();
    for (const char* name : {"a.jpg", "B.JPG", "c.jpeg", "noext", ".hidden", "photo.jpg.png", "ro.txt"})
      Write(name, String(7, 'x'));
    chmod(Path("ro.txt").c_str(), 0444);
    fs::create_directory(Path("sub"));
    fs::create_directory(Path("sub.d"));
    fs::create_directory(Path(".git"));
  }
};

TEST_F(FindFirstTest, MasksAndAttributeFilters) {
  struct Case {
    const char* spec;
    int32_t attr;
    std::vector<String> names;
  };
  const std::vector<String> files = {"B.JPG", "a.jpg", "c.jpeg", "noext", "photo.jpg.png", "ro.txt"};
  auto plus = [](std::vector<String> a, std::vector<String> b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const Case cases[] = {
      {"*.*", 0, files},
      {"*.*", faReadOnly | faArchive, files},
      {"*.*", faDirectory, plus(files, {".", "..", "sub", "sub.d"})},
      {"*.*", faHidden, plus(files, {".hidden"})},
      {"*.*", faAnyFile, plus(files, {".", "..", ".git", ".hidden", "sub", "sub.d"})},
      {"*", faAnyFile, plus(files, {".", "..", ".git", ".hidden", "sub", "sub.d"})},
      {"*.jpg", faAnyFile, {"B.JPG", "a.jpg"}},
      {"?.JPG", 0, {"B.JPG", "a.jpg"}},
      {"*.", faDirectory, {".", "..", "noext", "sub"}},
      {"sub*", faDirectory, {"sub", "sub.d"}},
      {"NOEXT", 0, {"noext"}},
      {"sub", 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.spec);
    EXPECT_EQ(Sorted(Search(Path(c.spec), c.attr)), Sorted(c.names));
  }
}

TEST_F(FindFirstTest, ResultsAndRecordFields) {
  int result = -1;
  EXPECT_TRUE(Search(Path("*.gif"), faAnyFile, &result).empty());
  EXPECT_EQ(result, kFindNoMatch);
  EXPECT_TRUE(Search(Path("missing/*.*"), faAnyFile, &result).empty());
  EXPECT_EQ(result, kFindPathNotFound);

  const std::vector<String> all = Search(Path("*.*"), faAnyFile);
  ASSERT_GE(all.size(), 2u);
  EXPECT_EQ(all[0], ".");
  EXPECT_EQ(all[1], "..");

  ASSERT_EQ(FileSetDate(Path("ro.txt"), DateTimeToFileDate(45359.75)), 0);
  TSearchRec sr;
  ASSERT_EQ(FindFirst(Path("RO.TXT"), faAnyFile, sr), 0);
  EXPECT_EQ(sr.Name, "ro.txt");
  EXPECT_EQ(sr.Size, 7);
  EXPECT_EQ(sr.Attr, faReadOnly | faArchive);
  EXPECT_EQ(sr.Time, DateTimeToFileDate(45359.75));
  EXPECT_NEAR(sr.TimeStamp, 45359.75, 1e-9);
  EXPECT_EQ(FindNext(sr), kFindNoMoreFiles);
  FindClose(sr);

  ASSERT_EQ(FindFirst(Path(".git"), faAnyFile, sr), 0);
  EXPECT_EQ(sr.Attr, faDirectory | faHidden);
  EXPECT_EQ(sr.Size, 0);
  FindClose(sr);
  EXPECT_EQ(FileGetAttr(Path(".git/")), faDirectory | faHidden);
  EXPECT_EQ(FileGetAttr(Path("ro.txt")), faReadOnly | faArchive);
  EXPECT_EQ(FileGetAttr("/dev/null"), faSysFile);
  EXPECT_EQ(FileGetAttr(Path("missing")), -1);
  EXPECT_EQ(FindNext(sr), kFindNoMoreFiles) << "a closed search finds nothing more";
}

TEST_F(FindFirstTest, EntriesDeletedDuringTheSearchAreSkipped) {
  // The media scan deletes and renames as it walks; the search must survive.
  TSearchRec sr;
  std::set<String> seen;
  ASSERT_EQ(FindFirst(Path("*.jpg*"), 0, sr), 0);
  do {
    seen.insert(sr.Name);
    for (const char* name : {"a.jpg", "B.JPG", "c.jpeg", "photo.jpg.png"})
      if (name != sr.Name) std::remove(Path(name).c_str());
  } while (FindNext(sr) == 0);
  FindClose(sr);
  EXPECT_EQ(seen.size(), 1u);
}

TEST_F(FilesTest, FindFileIgnoringCaseResolvesEveryPart) {
  Write("Lang/English.ini", "e");
  Write("Lang/Deutsch.INI", "d");
  Write("skin/Été/Skin.ini", "s");
  Write("dup/x.TXT", "1");
  Write("dup/X.txt", "2");
  Write("dup/x.txt", "3");
  struct Case {
    String asked, found;
  };
  const Case cases[] = {
      {"lang/ENGLISH.INI", "Lang/English.ini"},
      {"Lang/English.ini", "Lang/English.ini"},
      {"LANG/deutsch.ini", "Lang/Deutsch.INI"},
      {"SKIN/été/skin.INI", "skin/Été/Skin.ini"},
      {"dup/x.txt", "dup/x.txt"},
      {"dup/X.TXT", "dup/X.txt"},
      {"lang/", "Lang/"},
      {"lang//./english.ini", "Lang/./English.ini"},
  };
  for (const Case& c : cases) EXPECT_EQ(FindFileIgnoringCase(Path(c.asked)), Path(c.found)) << c.asked;
  EXPECT_EQ(FindFileIgnoringCase(Path("lang/french.ini")), "");
  EXPECT_EQ(FindFileIgnoringCase(Path("nolang/english.ini")), "");
  EXPECT_EQ(ResolvePathIgnoringCase(Path("LANG/new.ini")), Path("Lang/new.ini"));
  EXPECT_EQ(ResolvePathIgnoringCase(Path("LANG/New/english.ini")), Path("Lang/New/english.ini"));

  const String saved = GetCurrentDir();
  ASSERT_TRUE(SetCurrentDir(dir_));
  EXPECT_EQ(FindFileIgnoringCase("LANG/english.INI"), "Lang/English.ini");
  ASSERT_TRUE(SetCurrentDir(saved));
}

TEST_F(FilesTest, DiskSpaceOfTheFileSystemHoldingAPath) {
  const String py = RunPython("import os; s=os.statvfs(\"" + dir_ + "\"); print(s.f_blocks*s.f_frsize)");
  EXPECT_EQ(std::to_string(DiskSize(dir_)), py);
  const int64_t free = DiskFree(dir_);
  EXPECT_GT(free, 0);
  EXPECT_LE(free, DiskSize(dir_));
  EXPECT_EQ(DiskSize(Path("not/made/yet")), DiskSize(dir_)) << "a missing folder counts where it would be made";
  EXPECT_EQ(DiskFree(""), -1);

  SetDiskSpaceQuery([](const String& path, int64_t& freeBytes, int64_t& totalBytes) {
    if (path == "/full") return false;
    freeBytes = 5 << 20;
    totalBytes = int64_t{1} << 40;
    return true;
  });
  EXPECT_EQ(DiskFree("/videos"), 5 << 20);
  EXPECT_EQ(DiskSize("/videos"), int64_t{1} << 40);
  EXPECT_EQ(DiskFree("/full"), -1);
  SetDiskSpaceQuery(nullptr);
  EXPECT_EQ(DiskSize(dir_), DiskSize(dir_ + "/"));
}

TEST_F(FilesTest, DriveKindFromTheFileSystemType) {
  struct Case {
    int64_t type;
    TDriveKind kind;
  };
  const Case cases[] = {{0x6969, TDriveKind::Remote},      {0xFF534D42, TDriveKind::Remote},
                        {0xFE534D42, TDriveKind::Remote},  {0x9660, TDriveKind::CDRom},
                        {0x15013346, TDriveKind::CDRom},   {0x01021994, TDriveKind::RamDisk},
                        {0xEF53 /* ext4 */, TDriveKind::Fixed}, {0x58465342 /* xfs */, TDriveKind::Fixed}};
  for (const Case& c : cases) EXPECT_EQ(DriveKindOfFileSystemType(c.type), c.kind) << std::hex << c.type;
  EXPECT_EQ(DriveKindOf(""), TDriveKind::NoRootDir);
  if (DirectoryExists("/dev/shm")) {
    EXPECT_EQ(DriveKindOf("/dev/shm/not/made/yet"), TDriveKind::RamDisk);
  }
  EXPECT_EQ(DriveKindOf("/proc/self"), TDriveKind::Fixed);
}

TEST(ProgramFolderTest, TheExecutablesFolderUnlessATestSetsAnother) {
  const String folder = ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(FileExists(ProgramFileName()));
  EXPECT_EQ(ExtractFileName(ProgramFileName()), "rtl_tests");
  SetProgramFolder("/opt/vorix");
  EXPECT_EQ(ProgramFolder(), "/opt/vorix/");
  EXPECT_EQ(ProgramFileName(), "/opt/vorix/rtl_tests");
  SetProgramFolder("");
  EXPECT_EQ(ProgramFolder(), folder);
}
