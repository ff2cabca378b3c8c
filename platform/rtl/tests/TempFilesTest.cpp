#include "platform/rtl/TempFiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <thread>
#include <vector>

#include "platform/rtl/Exceptions.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

// True when `text` is head + `count` characters that pass `ok` + tail.
bool Matches(const std::string& text, const std::string& head, size_t count, int (*ok)(int),
             const std::string& tail) {
  if (text.size() != head.size() + count + tail.size()) return false;
  if (text.compare(0, head.size(), head) != 0 || text.compare(text.size() - tail.size(), tail.size(), tail) != 0) {
    return false;
  }
  for (size_t i = head.size(); i < head.size() + count; ++i) {
    if (!ok(static_cast<unsigned char>(text[i]))) return false;
  }
  return true;
}
int IsUpperHex(int c) { return std::isdigit(c) || (c >= 'A' && c <= 'F'); }

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

// A scratch folder that also stands in for $TMPDIR, with a umask that hides
// nothing, so a file made wider than 0600 would show.
class TempFiles : public ::testing::Test {
protected:
  void SetUp() override {
    char templ[] = "/tmp/rtl-tempfiles-XXXXXX";
    ASSERT_NE(::mkdtemp(templ), nullptr);
    dir_ = templ;
    if (const char* old = std::getenv("TMPDIR")) oldTmpdir_ = old;
    ::setenv("TMPDIR", dir_.c_str(), 1);
    oldMask_ = ::umask(0);
  }
  void TearDown() override {
    ::umask(oldMask_);
    if (oldTmpdir_) {
      ::setenv("TMPDIR", oldTmpdir_->c_str(), 1);
    } else {
      ::unsetenv("TMPDIR");
    }
    rtl::detail::SetTempNameSource(nullptr);
    rtl::SetTempPath("");
    fs::remove_all(dir_);
  }

  std::string dir_;
  std::optional<std::string> oldTmpdir_;
  mode_t oldMask_ = 0;
};

TEST_F(TempFiles, NamesStayUniqueUnderEightThreads) {
  constexpr int kThreads = 8;
  constexpr int kPerThread = 200;
  std::vector<std::vector<std::string>> made(kThreads);
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i) made[t].push_back(rtl::CreateTempFile(dir_, "IMG-", ".tmp"));
    });
  }
  for (auto& w : workers) w.join();

  std::set<std::string> names;
  for (const auto& list : made) {
    for (const auto& path : list) {
      EXPECT_TRUE(Matches(path, dir_ + "/IMG-", 8, IsUpperHex, ".tmp")) << path;
      EXPECT_EQ(fs::file_size(path), 0u);
      EXPECT_EQ(ModeOf(path), 0600u) << path;
      names.insert(path);
    }
  }
  EXPECT_EQ(names.size(), static_cast<size_t>(kThreads * kPerThread));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), kThreads * kPerThread);
}

// Names already taken, by a file or by a link planted towards a victim,
// are passed over without opening or following them.
TEST_F(TempFiles, TakenNamesAndPlantedLinksArePassedOver) {
  const std::vector<uint32_t> draws = {0xABC, 0xABC, 0xABD, 0xABE};
  size_t next = 0;
  rtl::detail::SetTempNameSource([&] { return draws[next++]; });
  const std::string victim = dir_ + "/victim";
  WriteAll(victim, "precious");
  WriteAll(dir_ + "/v00000ABC.dat", "keep");
  ASSERT_EQ(::symlink(victim.c_str(), (dir_ + "/v00000ABD.dat").c_str()), 0);

  EXPECT_EQ(rtl::CreateTempFile(dir_ + "/", "v", ".dat"), dir_ + "/v00000ABE.dat");
  EXPECT_EQ(next, 4u);
  EXPECT_EQ(ReadAll(dir_ + "/v00000ABC.dat"), "keep");
  EXPECT_EQ(ReadAll(victim), "precious");
  EXPECT_EQ(ModeOf(victim), 0666u);
}

TEST_F(TempFiles, CreateTempFileErrors) {
  EXPECT_THROW(rtl::CreateTempFile(dir_, "../x", ".tmp"), rtl::EArgumentError);
  EXPECT_THROW(rtl::CreateTempFile(dir_, "x", "/.tmp"), rtl::EArgumentError);
  try {
    rtl::CreateTempFile(dir_ + "/missing", "x", ".tmp");
    ADD_FAILURE() << "no error for a missing folder";
  } catch (const rtl::EInOutError& e) {
    EXPECT_EQ(e.ErrorCode(), ENOENT);
  }
  // Every draw taken: it gives up rather than loop for ever.
  rtl::detail::SetTempNameSource([] { return 7u; });
  rtl::CreateTempFile(dir_, "same", "");
  try {
    rtl::CreateTempFile(dir_, "same", "");
    ADD_FAILURE() << "no error when no name is free";
  } catch (const rtl::EInOutError& e) {
    EXPECT_EQ(e.ErrorCode(), EEXIST);
  }
}

TEST_F(TempFiles, DefaultFolderIsTheProgramsPrivateFolder) {
  const std::string own = dir_ + "/vorix-" + std::to_string(::getuid()) + "/";
  EXPECT_EQ(rtl::SystemTempFolder(), dir_ + "/");
  EXPECT_EQ(rtl::GetTempPath(), own);
  EXPECT_EQ(ModeOf(own), 0700u);
  const std::string path = rtl::CreateTempFile();
  EXPECT_EQ(path.substr(0, own.size()), own);
  EXPECT_TRUE(Matches(path, own, 8, IsUpperHex, ".tmp")) << path;

  // A folder left too open is closed again; a removed one comes back.
  ASSERT_EQ(::chmod(own.c_str(), 0755), 0);
  EXPECT_EQ(rtl::GetTempPath(), own);
  EXPECT_EQ(ModeOf(own), 0700u);
  fs::remove_all(own);
  EXPECT_EQ(rtl::GetTempPath(), own);

  rtl::SetTempPath(dir_ + "/elsewhere");
  EXPECT_EQ(rtl::GetTempPath(), dir_ + "/elsewhere/");
  rtl::SetTempPath("");
  EXPECT_EQ(rtl::GetTempPath(), own);
}

// A system folder where nothing can be made (here a read-only one even root
// cannot write) gives no temporary folder at all, never the shared one.
TEST_F(TempFiles, NoPrivateFolderMeansNoTemporaryFolder) {
  ::setenv("TMPDIR", "/proc", 1);
  ASSERT_EQ(rtl::SystemTempFolder(), "/proc/");
  EXPECT_EQ(rtl::GetTempPath(), "");
  EXPECT_THROW(rtl::CreateTempFile(), rtl::EInOutError);
  std::string name;
  EXPECT_EQ(rtl::GetTempFileName(rtl::GetTempPath(), "tv", 0, name), 0u);
}

// Someone planted the folder's name as a link to a folder they read: the
// program makes a fresh private folder instead and keeps using it.
TEST_F(TempFiles, APlantedLinkInPlaceOfThePrivateFolderIsNotUsed) {
  const std::string own = dir_ + "/vorix-" + std::to_string(::getuid());
  const std::string trap = dir_ + "/trap";
  ASSERT_EQ(::mkdir(trap.c_str(), 0777), 0);
  ASSERT_EQ(::symlink(trap.c_str(), own.c_str()), 0);

  const std::string folder = rtl::GetTempPath();
  EXPECT_TRUE(Matches(folder, own + "-", 6, [](int c) { return std::isalnum(c); }, "/")) << folder;
  EXPECT_EQ(ModeOf(folder), 0700u);
  EXPECT_EQ(rtl::GetTempPath(), folder);
  rtl::CreateTempFile();
  EXPECT_TRUE(fs::is_empty(trap));
  EXPECT_EQ(ModeOf(trap), 0777u);
}

TEST_F(TempFiles, SystemFolderFallsBackToTmp) {
  ::setenv("TMPDIR", (dir_ + "/missing").c_str(), 1);
  EXPECT_EQ(rtl::SystemTempFolder(), "/tmp/");
  ::setenv("TMPDIR", "", 1);
  EXPECT_EQ(rtl::SystemTempFolder(), "/tmp/");
}

TEST_F(TempFiles, GetTempFileNameFormsAndCreatesNames) {
  std::string name;
  // With a number given: only the name, from its low 16 bits.
  EXPECT_EQ(rtl::GetTempFileName(dir_, "v~fabc", 0x1A2B3, name), 0x1A2B3u);
  EXPECT_EQ(name, dir_ + "/v~fA2B3.tmp");
  EXPECT_FALSE(fs::exists(name));
  EXPECT_EQ(rtl::GetTempFileName(dir_ + "/", "tv", 0x12, name), 0x12u);
  EXPECT_EQ(name, dir_ + "/tv0012.tmp");

  // Without: a free number, and the file is made.
  rtl::detail::SetTempNameSource([] { return 0x40u; });  // first try: 0x41
  WriteAll(dir_ + "/v~a0041.tmp", "taken");
  EXPECT_EQ(rtl::GetTempFileName(dir_, "v~a", 0, name), 0x42u);
  EXPECT_EQ(name, dir_ + "/v~a0042.tmp");
  EXPECT_EQ(fs::file_size(name), 0u);
  EXPECT_EQ(ModeOf(name), 0600u);
  EXPECT_EQ(ReadAll(dir_ + "/v~a0041.tmp"), "taken");

  EXPECT_EQ(rtl::GetTempFileName(dir_ + "/missing", "v~a", 0, name), 0u);
  EXPECT_EQ(name, "");
  EXPECT_EQ(rtl::GetTempFileName("", "v~a", 0, name), 0u);
}

}  // namespace
