// The trash over real folders: a temporary HOME (and a folder on /dev/shm,
// another file system) stand in for the user's.
#include "platform/shell/Trash.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "platform/rtl/Clock.h"
#include "platform/rtl/DateUtils.h"

namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& p) {
  std::ifstream in(p);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void Write(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p) << text;
}

class TrashTest : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* name : {"HOME", "XDG_DATA_HOME"}) {
      const char* v = std::getenv(name);
      saved_.push_back({name, v ? std::optional<std::string>(v) : std::nullopt});
    }
    char pattern[] = "/tmp/vorix-trash-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    setenv("HOME", (root_ / "home").c_str(), 1);
    unsetenv("XDG_DATA_HOME");
    trash_ = root_ / "home/.local/share/Trash";
    clock_.clock().SetNow(rtl::EncodeDateTime(2024, 3, 8, 14, 5, 9, 0));
  }
  void TearDown() override {
    for (auto& [name, value] : saved_) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
    fs::remove_all(root_);
  }
  fs::path root_, trash_;
  rtl::ScopedVirtualClock clock_;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(TrashTest, AFileGoesToTheHomeTrashWithItsInfoFile) {
  const fs::path file = root_ / "album/My clip #1.avi";
  Write(file, "video");
  const shell::TrashResult r = shell::MoveToTrash(file.string());
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(shell::HomeTrashFolder(), trash_.string());
  EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(r.trashedAs, (trash_ / "files/My clip #1.avi").string());
  EXPECT_EQ(Read(r.trashedAs), "video");
  EXPECT_EQ(r.infoFile, (trash_ / "info/My clip #1.avi.trashinfo").string());
  EXPECT_EQ(Read(r.infoFile), "[Trash Info]\nPath=" + (root_ / "album").string() +
                                  "/My%20clip%20%231.avi\nDeletionDate=2024-03-08T14:05:09\n");
}

TEST_F(TrashTest, ATakenNameGetsANumberAndFoldersGoWhole) {
  struct Case {
    std::string item, trashedName;
  };
  for (const Case& c : {Case{"a/x.jpg", "x.jpg"}, Case{"b/x.jpg", "x.2.jpg"}, Case{"c/x.jpg", "x.3.jpg"},
                        Case{"d/noext", "noext"}, Case{"e/noext", "noext.2"}}) {
    Write(root_ / c.item, c.item);
    const shell::TrashResult r = shell::MoveToTrash((root_ / c.item).string());
    ASSERT_TRUE(r.ok) << c.item << r.error;
    EXPECT_EQ(fs::path(r.trashedAs).filename(), c.trashedName);
    EXPECT_EQ(Read(r.trashedAs), c.item);
    EXPECT_TRUE(fs::exists(trash_ / "info" / (c.trashedName + ".trashinfo")));
  }
  Write(root_ / "album/one.jpg", "1");
  Write(root_ / "album/deep/two.avi", "2");
  const shell::TrashResult r = shell::MoveToTrash((root_ / "album/").string());
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_FALSE(fs::exists(root_ / "album"));
  EXPECT_EQ(Read(trash_ / "files/album/deep/two.avi"), "2");
  EXPECT_NE(Read(r.infoFile).find("Path=" + (root_ / "album").string() + "\n"), std::string::npos);
}

TEST_F(TrashTest, AFailedMoveLeavesTheItemInPlaceAndNothingInTheTrash) {
  EXPECT_FALSE(shell::MoveToTrash((root_ / "missing.jpg").string()).ok);
  EXPECT_FALSE(shell::MoveToTrash("").ok);
  EXPECT_FALSE(shell::MoveToTrash("/").ok);
  // The trash, or a folder above it, cannot go into itself.
  fs::create_directories(trash_);
  EXPECT_FALSE(shell::MoveToTrash(trash_.string()).ok);
  EXPECT_FALSE(shell::MoveToTrash((root_ / "home").string()).ok);
  EXPECT_TRUE(fs::exists(trash_));
  // A trash whose "files" folder cannot be made.
  fs::remove_all(trash_);
  Write(trash_ / "files", "in the way");
  Write(root_ / "keep.jpg", "picture");
  const shell::TrashResult r = shell::MoveToTrash((root_ / "keep.jpg").string());
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.error.empty());
  EXPECT_EQ(Read(root_ / "keep.jpg"), "picture");
  EXPECT_FALSE(fs::exists(trash_ / "info") && !fs::is_empty(trash_ / "info"));
}

TEST_F(TrashTest, AnItemOnAnotherFileSystemGoesToTheTrashAtItsTop) {
  struct stat shm {}, tmp {};
  if (stat("/dev/shm", &shm) != 0 || stat(root_.c_str(), &tmp) != 0 || shm.st_dev == tmp.st_dev ||
      access("/dev/shm", W_OK) != 0)
    GTEST_SKIP() << "no second writable file system at /dev/shm";
  char pattern[] = "/dev/shm/vorix-trash-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const fs::path dir = pattern;
  const fs::path top = "/dev/shm/.Trash-" + std::to_string(getuid());
  const bool hadTrash = fs::exists(top);
  Write(dir / "clip.avi", "video");
  const shell::TrashResult r = shell::MoveToTrash((dir / "clip.avi").string());
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.trashedAs, (top / "files/clip.avi").string());
  EXPECT_NE(Read(r.infoFile).find("Path=" + dir.filename().string() + "/clip.avi\n"), std::string::npos);
  fs::remove(r.trashedAs);
  fs::remove(r.infoFile);
  fs::remove_all(dir);
  if (!hadTrash) fs::remove_all(top);
}

}  // namespace
