#include "zxsort/memory_check.h"

#include <gtest/gtest.h>

namespace {

TEST(MemoryCheck, FakeMemoryText) {
  platform::MemoryStatus status;
  ASSERT_TRUE(parseFakeMemory("100,1", &status));
  EXPECT_EQ(100u, status.total);
  EXPECT_EQ(1u, status.available);
  EXPECT_FLOAT_EQ(99.0f, percentUsed(status));
  EXPECT_FALSE(parseFakeMemory("100", &status));
  EXPECT_FALSE(parseFakeMemory("100,", &status));
  EXPECT_FALSE(parseFakeMemory("0,0", &status));
  EXPECT_FALSE(parseFakeMemory("10,11", &status));
  EXPECT_FALSE(parseFakeMemory("10,1x", &status));
  EXPECT_FALSE(parseFakeMemory(nullptr, &status));
}

TEST(MemoryCheck, ThresholdAndMessage) {
  platform::MemoryStatus status;
  status.total = 100;
  status.available = 5;
  EXPECT_GE(percentUsed(status), 95.0f);
  status.available = 6;
  EXPECT_LT(percentUsed(status), 95.0f);
  status.total = 8589934592ull;  // past 32 bits
  status.available = 4294967296ull;
  EXPECT_EQ("physical mem: 8589934592 bytes, free physical mem: 4294967296 bytes, "
            "percentage used: 50.00%:",
            memoryStatusMessage(status));
  EXPECT_FLOAT_EQ(0.0f, percentUsed(platform::MemoryStatus{}));
}

}  // namespace
