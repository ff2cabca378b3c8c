#include "platform/forms/Classes.h"

#include <gtest/gtest.h>

namespace {

class TApple : public forms::TPersistent {};
class TPear : public forms::TPersistent {};

TEST(TPersistent, AssignWithoutSupportNamesBothClasses) {
  TApple apple;
  TPear pear;
  EXPECT_EQ(apple.ClassName(), "TApple");
  try {
    apple.Assign(&pear);
    FAIL() << "expected EConvertError";
  } catch (const rtl::EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TPear to a TApple");
  }
  try {
    apple.Assign(nullptr);
    FAIL() << "expected EConvertError";
  } catch (const rtl::EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a nil to a TApple");
  }
}

}  // namespace
