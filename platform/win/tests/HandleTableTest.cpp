#include "platform/win/HandleTable.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(HandleTable, StaleHandleIsRejectedAfterSlotReuse) {
  win::HandleTable<int> table;
  std::set<uintptr_t> seen;
  const uintptr_t first = table.Add(std::make_shared<int>(1));
  ASSERT_NE(first, 0u);
  EXPECT_EQ(*table.Find(first), 1);
  EXPECT_NE(table.Remove(first), nullptr);
  EXPECT_EQ(table.Find(first), nullptr);
  EXPECT_EQ(table.Remove(first), nullptr);
  // Churn until the freed slot is reused: the old value must stay dead.
  for (int i = 0; i < 200; ++i) {
    const uintptr_t h = table.Add(std::make_shared<int>(i));
    EXPECT_NE(h, first);
    EXPECT_TRUE(seen.insert(h).second);
    table.Remove(h);
  }
  EXPECT_EQ(table.Find(first), nullptr);
  EXPECT_EQ(table.Count(), 0u);
}

TEST(HandleTable, ValuesFitASigned32BitIntegerAndGarbageIsRejected) {
  win::HandleTable<int> table;
  const uintptr_t h = table.Add(std::make_shared<int>(7));
  const int32_t asInt = static_cast<int32_t>(h);
  EXPECT_GT(asInt, 0);
  EXPECT_EQ(*table.Find(static_cast<uintptr_t>(asInt)), 7);
  for (uintptr_t bad : {uintptr_t{0}, uintptr_t{12345}, uintptr_t{0xFFFFFFFF}, ~uintptr_t{0}})
    EXPECT_EQ(table.Find(bad), nullptr);
}

}  // namespace
