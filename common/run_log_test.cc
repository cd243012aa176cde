#include "common/run_log.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "common/test_files.h"

namespace {

TEST(RunLogTest, LineFormatIsExact) {
  RunLog log("parser");
  EXPECT_EQ(log.formatLine(3, "Line Count = 12", 12, 7, 2026, 1, 30, 5),
            "12072026_013005 3 System parser \"Line Count = 12\" \"\"\r\n");
  // A double quote inside the message is written unchanged.
  EXPECT_EQ(log.formatLine(4, "a \"b\"", 1, 2, 2003, 4, 5, 6),
            "01022003_040506 4 System parser \"a \"b\"\" \"\"\r\n");
}

TEST(RunLogTest, MessagesAreCutAt255Characters) {
  RunLog log("zxsort");
  std::string text(300, 'x');
  std::string line = log.formatLine(2, text, 1, 1, 2000, 0, 0, 0);
  EXPECT_NE(line.find(std::string(255, 'x') + "\" \"\"\r\n"), std::string::npos);
  EXPECT_EQ(line.find(std::string(256, 'x')), std::string::npos);
}

TEST(RunLogTest, AppendsOneLinePerMessageAndFormatsNumbers) {
  std::string path = ::testing::TempDir() + "run_log_test.out";
  std::remove(path.c_str());
  RunLog log("parser");
  log.setPath(path);
  log.logCount(3, "Line Count = ", 42);
  log.logReal(3, "Percent of Error/Successful = ", 75.0);
  log.logFormat(5, "Could not open log file %s", "x.log");
  std::string text = readAll(path);
  ASSERT_EQ(text.size() > 0, true);
  EXPECT_NE(text.find(" 3 System parser \"Line Count = 42\" \"\"\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("\"Percent of Error/Successful = 75.000000\" \"\"\r\n"),
            std::string::npos);
  EXPECT_NE(text.find(" 5 System parser \"Could not open log file x.log\""),
            std::string::npos);
  int lines = 0;
  for (char c : text) lines += c == '\n';
  EXPECT_EQ(lines, 3);
  std::remove(path.c_str());
}

TEST(RunLogTest, UnwritableOrEmptyPathDropsTheMessage) {
  RunLog log("parser");
  log.logLine(2, "nowhere");  // no path: nothing happens
  log.setPath(::testing::TempDir() + "no/such/dir/run.out");
  log.logLine(2, "lost");  // cannot be opened: dropped without effect
  SUCCEED();
}

}  // namespace
