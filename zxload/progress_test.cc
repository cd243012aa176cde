#include "zxload/progress.h"

#include <gtest/gtest.h>

namespace {

TEST(ProgressTest, RewritesOneLineWithRowsAndRateThenErasesIt) {
  testing::internal::CaptureStderr();
  {
    Progress quiet("a.csv", false, std::chrono::milliseconds(0));
    quiet.update(1000000);
    Progress progress("b.csv", true, std::chrono::milliseconds(0));
    progress.update(4095);  // between looks at the clock: nothing
    progress.update(1234567);
  }
  std::string shown = testing::internal::GetCapturedStderr();
  const std::string start = "\r\033[Kzxload: b.csv: 1,234,567 rows, ";
  ASSERT_EQ(shown.compare(0, start.size(), start), 0) << shown;
  EXPECT_NE(shown.find(" rows/s\r\033[K"), std::string::npos) << shown;
  EXPECT_EQ(shown.substr(shown.size() - 4), "\r\033[K");
  EXPECT_EQ(groupedNumber(0), "0");
  EXPECT_EQ(groupedNumber(999), "999");
  EXPECT_EQ(groupedNumber(1000), "1,000");
}

}  // namespace
