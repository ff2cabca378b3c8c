#include "platform/rtl/Resources.h"

#include <gtest/gtest.h>

namespace {

const unsigned char kA[] = {1, 2, 3};
const unsigned char kB[] = {9};
const rtl::ResourceEntry kEntries[] = {{"W95_THUMB", "BMP", kA, 3}, {"VxSpinUp", "CUR", kB, 1}};
const rtl::ResourceTable kTable = {kEntries, 2};

TEST(Resources, NamesMatchIgnoringCaseAndMissingOnesRaise) {
  ASSERT_NE(rtl::FindResource(kTable, "w95_thumb"), nullptr);
  EXPECT_EQ(rtl::FindResource(kTable, "w95_thumb")->Size, 3u);
  EXPECT_STREQ(rtl::GetResource(kTable, "VXSPINUP").Type, "CUR");
  EXPECT_EQ(rtl::FindResource(kTable, "W95_THUMB2"), nullptr);
  EXPECT_EQ(rtl::FindResource(kTable, ""), nullptr);
  try {
    rtl::GetResource(kTable, "Nope");
    FAIL();
  } catch (const rtl::EResNotFound& e) {
    EXPECT_STREQ(e.what(), "Resource Nope not found");
  }
}

}  // namespace
