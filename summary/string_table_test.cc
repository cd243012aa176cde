#include "summary/string_table.h"

#include <gtest/gtest.h>

TEST(StringTable, NumbersStayThroughGrowth) {
  StringTable table;
  for (int i = 0; i < 50000; ++i) ASSERT_EQ(table.intern("value " + std::to_string(i)), static_cast<std::uint32_t>(i));
  for (int i = 0; i < 50000; i += 997) EXPECT_EQ(table.intern("value " + std::to_string(i)), static_cast<std::uint32_t>(i));
  EXPECT_EQ(table.at(12345), "value 12345");
  EXPECT_EQ(table.intern(""), 50000u);
  EXPECT_EQ(table.intern(std::string_view()), 50000u);
  EXPECT_EQ(table.intern(std::string("a\0b", 3)), 50001u);
  EXPECT_EQ(table.intern("a"), 50002u);
}

TEST(NumberSet, CountsEachNumberOnce) {
  NumberSet set;
  for (std::uint64_t i = 0; i < 20000; ++i) EXPECT_TRUE(set.insert(i * 0x10000001ULL));
  for (std::uint64_t i = 0; i < 20000; i += 7) EXPECT_FALSE(set.insert(i * 0x10000001ULL));
  EXPECT_TRUE(set.insert(~0ULL));
  EXPECT_FALSE(set.insert(~0ULL));
  EXPECT_EQ(set.size(), 20001u);
}

TEST(NumberIndex, IndexesInTheOrderFirstSeen) {
  NumberIndex index;
  bool added = false;
  for (std::uint64_t i = 0; i < 5000; ++i) {
    ASSERT_EQ(index.find(i << 32 | (i % 7), &added), i);
    ASSERT_TRUE(added);
  }
  EXPECT_EQ(index.find(123ULL << 32 | 4, &added), 123u);
  EXPECT_FALSE(added);
  EXPECT_EQ(index.key(4999), 4999ULL << 32 | (4999 % 7));
}

TEST(GroupMembers, CountsEachValueOncePerGroupOnBothSidesOf64) {
  GroupMembers members;
  for (std::uint32_t group : {0u, 1u, 63u, 64u, 65u, 1000u}) {
    EXPECT_TRUE(members.insert(group, 7));
    EXPECT_TRUE(members.insert(group, 70000));
    EXPECT_FALSE(members.insert(group, 7));
    EXPECT_FALSE(members.insert(group, 70000));
  }
  EXPECT_TRUE(members.insert(2, 7));
  EXPECT_TRUE(members.insert(64, 8));
}
