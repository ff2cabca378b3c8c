#pragma once
// A private folder for the component's temporary files during one test, so
// a test can see exactly which files exist.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/ikutilsFileBuffer.h"

namespace imaging::testing {

// A whole file's bytes, "" when it cannot be read.
inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class TempFolderTest : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/vorix-iktest-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = std::string(pattern) + "/";
    DefaultTempDirectory = folder_;
  }
  void TearDown() override {
    DefaultTempDirectory.clear();
    std::filesystem::remove_all(folder_);
  }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder_)) names.push_back(e.path().filename());
    return names;
  }

  std::string folder_;
};

// A memory threshold of 1000 bytes, so small pictures already go to files.
class SmallThresholdTest : public TempFolderTest {
protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    DefaultMemoryThreshold = 1000;
  }
  void TearDown() override {
    DefaultMemoryThreshold = -1;
    TempFolderTest::TearDown();
  }
};

}  // namespace imaging::testing
