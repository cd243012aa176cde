#include "zxfes/first_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// Reads the first line of a temporary file holding `content`.
std::string firstLineOf(const std::string& content, std::size_t maxChars) {
  std::FILE* file = std::tmpfile();
  EXPECT_NE(file, nullptr);
  if (file == nullptr) return "<no file>";
  std::fwrite(content.data(), 1, content.size(), file);
  std::rewind(file);
  std::string line = readFirstLine(file, maxChars);
  std::fclose(file);
  return line;
}

TEST(FirstLineTest, LineEndsAreNotKept) {
  EXPECT_EQ(firstLineOf("java -jar start.jar\r\nsecond\r\n", 100), "java -jar start.jar");
  EXPECT_EQ(firstLineOf("java -jar start.jar\nsecond\n", 100), "java -jar start.jar");
  EXPECT_EQ(firstLineOf("no line end", 100), "no line end");
}

TEST(FirstLineTest, EmptyFirstLinesAndEmptyFilesGiveEmptyText) {
  EXPECT_EQ(firstLineOf("", 100), "");
  EXPECT_EQ(firstLineOf("\r\nsecond\r\n", 100), "");
  EXPECT_EQ(firstLineOf("\nsecond\n", 100), "");
}

TEST(FirstLineTest, CarriageReturnsNotEndingTheLineAreText) {
  EXPECT_EQ(firstLineOf("a\rb\r\n", 100), "a\rb");
  EXPECT_EQ(firstLineOf("a\r\r\n", 100), "a\r");
  EXPECT_EQ(firstLineOf("ends in return\r", 100), "ends in return\r");
}

TEST(FirstLineTest, LongLinesAreCutAtTheLimit) {
  const std::string exact(5998, 'c');
  EXPECT_EQ(firstLineOf(exact + "\r\nnext", 5998), exact);
  EXPECT_EQ(firstLineOf(exact + "X\r\nnext", 5998), exact);
  EXPECT_EQ(firstLineOf(exact + "\r", 5998), exact);
  const std::string shorter(5997, 'c');
  EXPECT_EQ(firstLineOf(shorter + "\r\n", 5998), shorter);
  EXPECT_EQ(firstLineOf(std::string(20000, 'x') + "\n", 5997).size(), 5997u);
}

TEST(FirstLineTest, ReadsNothingPastTheFirstLine) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  std::fputs("first\r\nsecond\r\n", file);
  std::rewind(file);
  EXPECT_EQ(readFirstLine(file, 3), "fir");
  char rest[16] = {};
  ASSERT_NE(std::fgets(rest, sizeof rest, file), nullptr);
  EXPECT_STREQ(rest, "second\r\n");
  std::fclose(file);
}

TEST(FirstLineTest, ZeroByteEndsTheUsableText) {
  EXPECT_EQ(firstLineOf(std::string("abc\0def\r\n", 9), 100), "abc");
}

}  // namespace
