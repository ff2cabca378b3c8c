#pragma once
// Helpers of the wide-string library's tests: a scratch folder, the ANSI
// code page set for one scope, hex forms for talking to Python, and running
// command-line tools.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/rtl/Files.h"
#include "platform/rtl/Text.h"
#include "platform/rtl/Types.h"

namespace uctest {

class ScratchDir {
public:
  ScratchDir() {
    char tmpl[] = "/tmp/vorix_uc_XXXXXX";
    const char* p = mkdtemp(tmpl);
    path_ = p ? std::string(p) + "/" : std::string();
  }
  ~ScratchDir() {
    if (!path_.empty()) rtl::DeleteFolderTree(path_);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + name; }

private:
  std::string path_;
};

class AnsiCodePage {
public:
  explicit AnsiCodePage(uint32_t cp) : saved_(rtl::GetAnsiCodePage()) { rtl::SetAnsiCodePage(cp); }
  ~AnsiCodePage() { rtl::SetAnsiCodePage(saved_); }
  AnsiCodePage(const AnsiCodePage&) = delete;
  AnsiCodePage& operator=(const AnsiCodePage&) = delete;

private:
  uint32_t saved_;
};

inline std::string Hex(std::string_view bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

inline std::string Unhex(std::string_view hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  return out;
}

// UTF-16 code units as big-endian hex (the form Python's 'utf-16-be' reads).
inline std::string WideHex(const rtl::WideString& w) {
  std::string bytes;
  for (char16_t c : w) {
    bytes += static_cast<char>(c >> 8);
    bytes += static_cast<char>(c & 0xFF);
  }
  return Hex(bytes);
}

inline rtl::WideString WideFromHex(std::string_view hex) {
  const std::string bytes = Unhex(hex);
  rtl::WideString w;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    w += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) << 8 | static_cast<unsigned char>(bytes[i + 1]));
  return w;
}

inline bool OnPath(const char* tool) {
  return std::system(("command -v " + std::string(tool) + " >/dev/null 2>&1").c_str()) == 0;
}

// A missing tool skips the test, except on CI, where it fails it.
#define UC_REQUIRE_TOOL(tool)                                                          \
  do {                                                                                 \
    if (!uctest::OnPath(tool)) {                                                       \
      const char* ci = std::getenv("CI");                                              \
      if (ci && std::string(ci) == "true") FAIL() << tool << " is not installed";      \
      GTEST_SKIP() << tool << " is not installed";                                     \
    }                                                                                  \
  } while (0)

inline int Run(const std::string& command) { return std::system(command.c_str()); }

}  // namespace uctest
