#include "hostbridge/command_line.h"

#include <gtest/gtest.h>

namespace command_line {
namespace {

TEST(QuoteArgumentTest, PlainArgumentsPassUnchanged) {
  EXPECT_EQ(u"bcp", quoteArgument(u"bcp"));
  EXPECT_EQ(u"C:\\data\\log.srt", quoteArgument(u"C:\\data\\log.srt"));
  // Backslashes only matter before a quote; without one nothing is added.
  EXPECT_EQ(u"a\\\\b\\", quoteArgument(u"a\\\\b\\"));
}

TEST(QuoteArgumentTest, BlanksAndTabsAreQuoted) {
  EXPECT_EQ(u"\"C:\\Program Files\\bcp.exe\"",
            quoteArgument(u"C:\\Program Files\\bcp.exe"));
  EXPECT_EQ(u"\"a\tb\"", quoteArgument(u"a\tb"));
  EXPECT_EQ(u"\" \"", quoteArgument(u" "));
}

TEST(QuoteArgumentTest, EmptyArgumentBecomesEmptyQuotes) {
  EXPECT_EQ(u"\"\"", quoteArgument(u""));
}

TEST(QuoteArgumentTest, QuotesAreEscapedWithBackslashesDoubled) {
  EXPECT_EQ(u"\"say \\\"hi\\\"\"", quoteArgument(u"say \"hi\""));
  // One backslash before a quote: doubled, plus one escaping the quote.
  EXPECT_EQ(u"\"a\\\\\\\"b\"", quoteArgument(u"a\\\"b"));
  // A lone quote cannot open a quoted section of its own.
  EXPECT_EQ(u"\"\\\"\"", quoteArgument(u"\""));
}

TEST(QuoteArgumentTest, TrailingBackslashesAreDoubledBeforeClosingQuote) {
  EXPECT_EQ(u"\"C:\\My Dir\\\\\"", quoteArgument(u"C:\\My Dir\\"));
  EXPECT_EQ(u"\"a b\\\\\\\\\"", quoteArgument(u"a b\\\\"));
}

TEST(QuoteArgumentTest, InjectionAttemptStaysOneArgument) {
  // Without quoting this would reach the child as three arguments.
  EXPECT_EQ(u"\"pw\\\" -o \\\"x\"", quoteArgument(u"pw\" -o \"x"));
}

TEST(ProgramCandidatesTest, NameWithExtensionIsUsedAsGiven) {
  EXPECT_EQ(std::vector<std::u16string>{u"bcp.exe"},
            programCandidates(u"bcp.exe"));
  EXPECT_EQ(std::vector<std::u16string>{u"C:\\tools\\load.bat"},
            programCandidates(u"C:\\tools\\load.bat"));
}

TEST(ProgramCandidatesTest, NameWithoutExtensionTriesFourInOrder) {
  const std::vector<std::u16string> expected = {u"bcp.com", u"bcp.exe",
                                                u"bcp.bat", u"bcp.cmd"};
  EXPECT_EQ(expected, programCandidates(u"bcp"));
}

TEST(ProgramCandidatesTest, DotInDirectoryIsNoExtension) {
  const auto candidates = programCandidates(u"C:\\sql.70\\binn\\bcp");
  ASSERT_EQ(4u, candidates.size());
  EXPECT_EQ(u"C:\\sql.70\\binn\\bcp.com", candidates[0]);
  EXPECT_EQ(u"C:\\sql.70\\binn\\bcp.cmd", candidates[3]);
  EXPECT_EQ(4u, programCandidates(u"./tools.d/bcp").size());
}

}  // namespace
}  // namespace command_line
