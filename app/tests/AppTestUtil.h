#pragma once
// A program tree and a home folder of its own for each test: the
// executable's folder, HOME and the XDG variables point into a fresh
// temporary folder, and the path globals and language texts are put back
// afterwards.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>

#include "app/Globals.h"
#include "app/ResStr.h"
#include "capture/VcDeviceManager.h"

namespace apptest {

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

class AppTest : public ::testing::Test {
 protected:
  static constexpr const char* kVariables[] = {"HOME", "XDG_CONFIG_HOME", "XDG_VIDEOS_DIR", "XDG_DOCUMENTS_DIR"};

  void SetUp() override {
    for (const char* name : kVariables) {
      const char* value = std::getenv(name);
      savedEnv_[name] = value ? std::optional<std::string>(value) : std::nullopt;
      unsetenv(name);
    }
    char pattern[] = "/tmp/vorix-app-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    home_ = root_ + "/home";
    exe_ = root_ + "/prog/";
    std::filesystem::create_directories(home_);
    std::filesystem::create_directories(exe_);
    setenv("HOME", home_.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home_ + "/.config").c_str(), 1);
    saved_ = {app::ExeFolder, app::SkinFolder, app::LangFolder, app::LanguageFileName, app::CurrentLanguagePath};
    app::InitDataPaths(exe_);
    app::LanguageFileName = "english.ini";
    app::CurrentLanguagePath.clear();
  }

  void TearDown() override {
    app::ExeFolder = saved_[0];
    app::SkinFolder = saved_[1];
    app::LangFolder = saved_[2];
    app::LanguageFileName = saved_[3];
    app::CurrentLanguagePath = saved_[4];
    app::RestoreEnglishTexts();
    // The capture component's manager keeps the device lists a case built;
    // the next case builds its own.
    capture::FreeSyncManager();
    for (const auto& [name, value] : savedEnv_) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  // Declares the user's videos and documents folders (relative to HOME) in
  // user-dirs.dirs, creating the folders that `create` names.
  void DeclareUserFolders(const std::string& videos, const std::string& documents, bool createVideos,
                          bool createDocuments) {
    std::string text;
    if (!videos.empty()) text += "XDG_VIDEOS_DIR=\"$HOME/" + videos + "\"\n";
    if (!documents.empty()) text += "XDG_DOCUMENTS_DIR=\"$HOME/" + documents + "\"\n";
    WriteFile(home_ + "/.config/user-dirs.dirs", text);
    if (createVideos) std::filesystem::create_directories(home_ + "/" + videos);
    if (createDocuments) std::filesystem::create_directories(home_ + "/" + documents);
  }

  static bool IsDir(const std::string& p) { return std::filesystem::is_directory(p); }

  std::string root_, home_, exe_;

 private:
  std::map<std::string, std::optional<std::string>> savedEnv_;
  std::array<std::string, 5> saved_;
};

}  // namespace apptest
