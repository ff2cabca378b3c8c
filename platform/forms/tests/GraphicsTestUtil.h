#pragma once
// Shared by the picture tests: a scratch folder, running ImageMagick and
// friends, and reading a reference PNG.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/win/ImageFiles.h"

namespace forms::testutil {

class ScratchDir {
public:
  ScratchDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "vorix-gfx-XXXXXX").string();
    path_ = ::mkdtemp(tmpl.data());
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
  std::string path_;
};

// Runs a shell command, true when it exits with 0.
inline bool Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// The first line a command prints.
inline std::string Output(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buf[512];
    while (fgets(buf, sizeof buf, p)) out += buf;
    ::pclose(p);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

// 0xAARRGGBB pixels of a PNG, as the drawing layer reads it.
inline std::unique_ptr<win::Surface> ReadPng(const std::string& path) { return win::LoadPng(path); }

}  // namespace forms::testutil
