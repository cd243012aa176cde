#include "common/options.h"

#include <gtest/gtest.h>

TEST(OptionsTest, OptionsAreChosenByTheirSecondCharacter) {
  EXPECT_TRUE(isOption("-l"));
  EXPECT_TRUE(isOption("/log"));
  EXPECT_FALSE(isOption("log"));
  EXPECT_FALSE(isOption(""));
  EXPECT_EQ(optionLetter("-log"), 'l');
  EXPECT_EQ(optionLetter("/d"), 'd');
  EXPECT_EQ(optionLetter("-"), '\0');
}

TEST(OptionsTest, PathValuesTurnPlusIntoBlankAndStopAtWhiteSpace) {
  EXPECT_EQ(pathValue("my+access.log"), "my access.log");
  EXPECT_EQ(pathValue("a.log extra"), "a.log");
  EXPECT_EQ(pathValue("a\tb"), "a");
  EXPECT_EQ(firstWord("x+y z"), "x+y");
  EXPECT_EQ(firstWord("  \tlead"), "lead");
  EXPECT_EQ(firstWord(" \t "), "");
  std::string text = "a-b-c";
  replaceChar(text, '-', '_');
  EXPECT_EQ(text, "a_b_c");
}
