#pragma once
// Shared by the picture tests: a scratch folder, running ImageMagick and
// friends, and reading a reference PNG.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

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

// What a command prints, without the final line break.
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

// A binary PPM (P6) or PGM (P5) file, as djpeg writes them: bytes per
// pixel 3 (R, G, B) or 1.
struct Pnm {
  int width = 0, height = 0, channels = 0;
  std::vector<uint8_t> data;
  bool Read(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char magic[3] = {};
    int maxval = 0;
    const bool ok = std::fscanf(f, "%2s %d %d %d", magic, &width, &height, &maxval) == 4 && std::fgetc(f) != EOF;
    channels = std::string(magic) == "P6" ? 3 : std::string(magic) == "P5" ? 1 : 0;
    data.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * static_cast<size_t>(channels));
    const bool read = ok && channels && std::fread(data.data(), 1, data.size(), f) == data.size();
    std::fclose(f);
    return read;
  }
  const uint8_t* At(int x, int y) const {
    return &data[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) *
                 static_cast<size_t>(channels)];
  }
};

// The whole file.
inline std::vector<uint8_t> ReadAll(const std::string& path) {
  std::vector<uint8_t> out;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    uint8_t buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
    std::fclose(f);
  }
  return out;
}

// 0xAARRGGBB pixels of a PNG, as the drawing layer reads it.
inline std::unique_ptr<win::Surface> ReadPng(const std::string& path) { return win::LoadPng(path); }

}  // namespace forms::testutil
