#include "common/text_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::FILE* fileWith(const std::string& bytes) {
  std::FILE* file = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::rewind(file);
  return file;
}

TEST(TextFileTest, CarriageReturnLineFeedReadsAsLineFeed) {
  std::FILE* file = fileWith("ab\r\ncd\nlone\rcr\r\nlast");
  char buffer[64];
  EXPECT_EQ(readTextLine(file, buffer, sizeof buffer), 3);
  EXPECT_STREQ(buffer, "ab\n");
  EXPECT_EQ(readTextLine(file, buffer, sizeof buffer), 3);
  EXPECT_STREQ(buffer, "cd\n");
  EXPECT_EQ(readTextLine(file, buffer, sizeof buffer), 8);
  EXPECT_STREQ(buffer, "lone\rcr\n");
  EXPECT_EQ(readTextLine(file, buffer, sizeof buffer), 4);
  EXPECT_STREQ(buffer, "last");
  EXPECT_EQ(readTextLine(file, buffer, sizeof buffer), -1);
  std::fclose(file);
}

TEST(TextFileTest, LongLinesArriveInPieces) {
  std::FILE* file = fileWith("abcdefg\r\n");
  char buffer[4];
  EXPECT_EQ(readTextLine(file, buffer, sizeof buffer), 3);
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(readTextLine(file, buffer, sizeof buffer), 3);
  EXPECT_STREQ(buffer, "def");
  EXPECT_EQ(readTextLine(file, buffer, sizeof buffer), 2);
  EXPECT_STREQ(buffer, "g\n");
  EXPECT_EQ(readTextLine(file, buffer, sizeof buffer), -1);
  std::fclose(file);
}

}  // namespace
