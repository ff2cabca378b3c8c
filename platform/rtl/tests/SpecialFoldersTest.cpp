#include "platform/rtl/SpecialFolders.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

#include "platform/rtl/tests/ToolCheck.h"

using namespace rtl;

namespace {

// Points HOME and the XDG variables at a temporary home for one test and
// puts them back afterwards.
class SpecialFoldersTest : public ::testing::Test {
protected:
  static constexpr const char* kVariables[] = {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME",
                                               "XDG_VIDEOS_DIR", "XDG_DOWNLOAD_DIR", "XDG_MUSIC_DIR"};
  void SetUp() override {
    for (const char* name : kVariables) {
      const char* value = std::getenv(name);
      saved_[name] = value ? std::optional<String>(value) : std::nullopt;
      unsetenv(name);
    }
    char pattern[] = "/tmp/vorix-home-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    home_ = pattern;
    setenv("HOME", home_.c_str(), 1);
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
    std::filesystem::remove_all(home_);
  }
  void WriteUserDirs(const String& configFolder, const String& text) {
    std::filesystem::create_directories(configFolder);
    std::ofstream(configFolder + "/user-dirs.dirs") << text;
  }
  // What the system's xdg-user-dir prints for `name`, or nothing without it
  // (a failure under CI=true, where the install step provides it).
  static std::optional<String> SystemAnswer(const String& name) {
    if (access("/usr/bin/xdg-user-dir", X_OK) != 0) {
      if (testtools::InCi()) ADD_FAILURE() << "xdg-user-dir is not installed, yet CI=true promises every tool";
      return std::nullopt;
    }
    FILE* p = popen(("/usr/bin/xdg-user-dir " + name).c_str(), "r");
    if (p == nullptr) return std::nullopt;
    char buf[512];
    String out;
    while (fgets(buf, sizeof buf, p) != nullptr) out += buf;
    pclose(p);
    while (!out.empty() && out.back() == '\n') out.pop_back();
    // Our folders never end in '/', whatever the file wrote.
    while (out.size() > 1 && out.back() == '/') out.pop_back();
    return out;
  }

  String home_;
  std::map<String, std::optional<String>> saved_;
};

const char* kSampleUserDirs =
    "# This file is written by xdg-user-dirs-update\n"
    "# If you want to change or add directories, just edit the line you're\n"
    "# interested in.\n"
    "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
    "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n"
    "XDG_VIDEOS_DIR=\"/media/videos/\"\n"
    "XDG_PICTURES_DIR=\"$HOME/My \\\"Pics\\\" \\$x\"\n"
    "  XDG_TEMPLATES_DIR=\"$HOME\"\n"
    "XDG_MUSIC_DIR=\"relative/music\"\n"
    "XDG_PUBLICSHARE_DIR=\"$HOMEless\"\n"
    "XDG_DOCUMENTS_DIR_OLD=\"/old\"\n";

}  // namespace

TEST_F(SpecialFoldersTest, UserFoldersFromASampleUserDirsFile) {
  WriteUserDirs(home_ + "/.config", kSampleUserDirs);
  struct Case {
    TUserFolder folder;
    const char* key;
    String expected;
  };
  const Case cases[] = {
      {TUserFolder::Desktop, "DESKTOP", home_ + "/Schreibtisch"},
      {TUserFolder::Documents, "DOCUMENTS", home_ + "/Dokumente"},
      {TUserFolder::Videos, "VIDEOS", "/media/videos"},
      {TUserFolder::Pictures, "PICTURES", home_ + "/My \"Pics\" $x"},
      {TUserFolder::Templates, "TEMPLATES", home_},
      {TUserFolder::Download, "DOWNLOAD", home_},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(UserFolder(c.folder), c.expected);
    if (auto system = SystemAnswer(c.key)) {
      EXPECT_EQ(*system, c.expected) << "xdg-user-dir disagrees";
    }
  }
  // The file allows only absolute and $HOME paths; the rest fall back.
  EXPECT_EQ(UserFolder(TUserFolder::Music), home_);
  EXPECT_EQ(UserFolder(TUserFolder::PublicShare), home_);
  EXPECT_EQ(DesktopFolder(), home_ + "/Schreibtisch");
  EXPECT_EQ(DocumentsFolder(), home_ + "/Dokumente");
  EXPECT_EQ(VideosFolder(), "/media/videos");
}

TEST_F(SpecialFoldersTest, FallbacksWithoutTheFile) {
  EXPECT_EQ(HomeFolder(), home_);
  EXPECT_EQ(DesktopFolder(), home_ + "/Desktop");
  EXPECT_EQ(DocumentsFolder(), home_);
  EXPECT_EQ(VideosFolder(), home_);
  if (auto system = SystemAnswer("DESKTOP")) {
    EXPECT_EQ(*system, home_ + "/Desktop");
  }
  setenv("XDG_VIDEOS_DIR", "/env/videos", 1);
  EXPECT_EQ(VideosFolder(), "/env/videos") << "the environment answers when the file does not";
  if (auto system = SystemAnswer("VIDEOS")) {
    EXPECT_EQ(*system, "/env/videos");
  }
  WriteUserDirs(home_ + "/.config", "XDG_VIDEOS_DIR=\"$HOME/Filme\"\n");
  EXPECT_EQ(VideosFolder(), home_ + "/Filme") << "the file wins over the environment";
}

TEST_F(SpecialFoldersTest, ConfigHomeMovesTheUserDirsFile) {
  const String config = home_ + "/elsewhere";
  WriteUserDirs(config, "XDG_VIDEOS_DIR=\"$HOME/Clips\"\n");
  EXPECT_EQ(VideosFolder(), home_);
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  EXPECT_EQ(ConfigFolder(), config);
  EXPECT_EQ(VideosFolder(), home_ + "/Clips");
  if (auto system = SystemAnswer("VIDEOS")) {
    EXPECT_EQ(*system, home_ + "/Clips");
  }
}

TEST_F(SpecialFoldersTest, BaseFoldersTakeOnlyAbsoluteVariables) {
  EXPECT_EQ(ConfigFolder(), home_ + "/.config");
  EXPECT_EQ(CacheFolder(), home_ + "/.cache");
  EXPECT_EQ(DataFolder(), home_ + "/.local/share");
  setenv("XDG_CONFIG_HOME", "relative/config", 1);
  setenv("XDG_CACHE_HOME", "/var/cache/me/", 1);
  setenv("XDG_DATA_HOME", "", 1);
  EXPECT_EQ(ConfigFolder(), home_ + "/.config");
  EXPECT_EQ(CacheFolder(), "/var/cache/me");
  EXPECT_EQ(DataFolder(), home_ + "/.local/share");
}

TEST_F(SpecialFoldersTest, ShellFolderValueNames) {
  WriteUserDirs(home_ + "/.config", kSampleUserDirs);
  struct Case {
    const char* name;
    String expected;
  };
  const Case cases[] = {
      {"My Video", "/media/videos"},        {"MY VIDEO", "/media/videos"},
      {"Personal", home_ + "/Dokumente"},   {"Desktop", home_ + "/Schreibtisch"},
      {"My Pictures", home_ + "/My \"Pics\" $x"}, {"AppData", home_ + "/.config"},
      {"Local AppData", home_ + "/.local/share"}, {"Fonts", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ShellFolderPath(c.name), c.expected) << c.name;
}

TEST_F(SpecialFoldersTest, HomeComesFromTheAccountWhenUnset) {
  unsetenv("HOME");
  const String home = HomeFolder();
  EXPECT_FALSE(home.empty());
  EXPECT_EQ(home.front(), '/');
  EXPECT_NE(home, home_);
}
