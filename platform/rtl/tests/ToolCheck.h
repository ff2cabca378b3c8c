#pragma once
// Tests that check our results against an outside program (ImageMagick,
// xdotool, xclip, ...) skip where that program is not installed. Under
// CI=true the install step guarantees every one of them, so a missing tool
// there is a broken install or a broken command: the test fails instead of
// hiding it behind a skip.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace testtools {

inline bool InCi() {
  const char* v = std::getenv("CI");
  return v && std::string(v) == "true";
}

inline bool OnPath(const std::string& tool) {
  return std::system(("command -v '" + tool + "' >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace testtools

// Skips (or, under CI=true, fails) the calling test when `available` is
// false. It returns from the calling function, so use it in a test body or
// SetUp, never in a helper the test calls.
#define VORIX_NEED_TOOL(available, what)                                             \
  if (available) {                                                                   \
  } else if (::testtools::InCi()) {                                                  \
    GTEST_FAIL() << (what) << " is not installed, yet CI=true promises every tool"; \
  } else                                                                             \
    GTEST_SKIP() << (what) << " is not installed"
