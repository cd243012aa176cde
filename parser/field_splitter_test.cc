#include "parser/field_splitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

/// The values of every field; malformed fields show as "<bad>".
std::vector<std::string> split(std::string_view line, SplitRules rules = {}) {
  FieldSplitter splitter(line, rules);
  FieldSpan field;
  std::vector<std::string> values;
  while (splitter.next(&field)) {
    values.push_back(field.length < 0 ? std::string("<bad>")
                                      : std::string(splitter.valueOf(field)));
  }
  return values;
}

using Fields = std::vector<std::string>;

TEST(FieldSplitterTest, PlainQuotedAndBracketedFields) {
  EXPECT_EQ(split("word \"two words\" [two words] last\r\n"),
            (Fields{"word", "two words", "[two words]", "last"}));
  // The bracketed time stamp of the common log format is one field.
  EXPECT_EQ(
      split(
          "1.2.3.4 - - [10/Oct/2000:13:55:36 -0700] \"GET / HTTP/1.0\" 200\n"),
      (Fields{"1.2.3.4", "-", "-", "[10/Oct/2000:13:55:36 -0700]",
              "GET / HTTP/1.0", "200"}));
  // Quotes and brackets only close before a separator or the line end.
  EXPECT_EQ(split("\"a\"b c\" [x]y] z"), (Fields{"a\"b c", "[x]y]", "z"}));
  EXPECT_EQ(split("\"\" x"), (Fields{"", "x"}));
  EXPECT_EQ(split("\"tab\tinside\"\tnext"), (Fields{"tab\tinside", "next"}));
}

TEST(FieldSplitterTest, Separators) {
  EXPECT_EQ(split("a   b"), (Fields{"a", "b"}));
  EXPECT_EQ(split("a\t\tb"), (Fields{"a", "", "b"}));
  EXPECT_EQ(split("a\t  b"), (Fields{"a", "b"}));
  EXPECT_EQ(split("a \tb"), (Fields{"a", "", "b"}));
  // A separator before the line end yields one more, empty field.
  EXPECT_EQ(split("a b \r\n"), (Fields{"a", "b", ""}));
  EXPECT_EQ(split("a b   "), (Fields{"a", "b", ""}));
  EXPECT_EQ(split("a b\r\n"), (Fields{"a", "b"}));
  EXPECT_EQ(split(" a"), (Fields{"", "a"}));
  // A line break ends the line even before its end.
  EXPECT_EQ(split("a\rb c"), (Fields{"a"}));
  EXPECT_EQ(split(""), (Fields{""}));
  EXPECT_EQ(split("\r\n"), (Fields{""}));
  // '=' means nothing in data lines.
  EXPECT_EQ(split("a=b c"), (Fields{"a=b", "c"}));
}

TEST(FieldSplitterTest, PlainFieldsOfEveryLengthEndAtTheirSeparator) {
  // Characters next to the separators in value: controls other than tab,
  // CR and LF, '!', DEL and bytes above 0x7f stay inside a plain field.
  constexpr std::string_view kInside = "a!\x01\x1f\x7f\x80\xff\v";
  for (std::size_t length = 0; length <= 20; ++length) {
    std::string value;
    for (std::size_t i = 0; i < length; ++i) value += kInside[i % kInside.size()];
    for (char separator : {' ', '\t', '\r', '\n'}) {
      const std::string line = value + separator + "next";
      const bool ends = separator == '\r' || separator == '\n';
      EXPECT_EQ(split(line), ends ? Fields{value} : (Fields{value, "next"}))
          << "length " << length << ", separator " << int{separator};
    }
    EXPECT_EQ(split(value), Fields{value}) << "length " << length;
  }
}

TEST(FieldSplitterTest, UnclosedQuotesAndBracketsRunToTheLineEnd) {
  EXPECT_EQ(split("a \"b c\"d\r\n"), (Fields{"a", "b c\"d"}));
  EXPECT_EQ(split("a [b c\r\n"), (Fields{"a", "[b c"}));
  EXPECT_EQ(split("a \"\r\n"), (Fields{"a", "<bad>"}));
}

TEST(FieldSplitterTest, LoneQuoteIsMalformedAndTheLineGoesOn) {
  EXPECT_EQ(split("a \" b"), (Fields{"a", "<bad>", "b"}));
  // The closing quote is searched from the opening one, so a quoted value
  // that begins with a blank is malformed too.
  EXPECT_EQ(split("\" x\" y"), (Fields{"<bad>", "x\"", "y"}));
  EXPECT_EQ(split("a \""), (Fields{"a", "<bad>"}));
  FieldSplitter splitter("\" x");
  FieldSpan field;
  ASSERT_TRUE(splitter.next(&field));
  EXPECT_EQ(field.length, -1);
  EXPECT_EQ(splitter.valueOf(field), "");
}

TEST(FieldSplitterTest, EqualsEndsPlainFieldsWhenAsked) {
  constexpr SplitRules kEquals = {.equalsEndsField = true};
  EXPECT_EQ(split("a=b c", kEquals), (Fields{"a", "b", "c"}));
  EXPECT_EQ(split("a= b", kEquals), (Fields{"a", "b"}));
  EXPECT_EQ(split("\"a=b\" [c=d]", kEquals), (Fields{"a=b", "[c=d]"}));
  EXPECT_EQ(countFields("a=b c", kEquals), 3);
  EXPECT_EQ(countFields("a=b c"), 2);
  EXPECT_EQ(countFields("a b c d", {}, 2), 2);
}

TEST(FieldSplitterTest, BackslashEscapesInQuotedFieldsWhenAsked) {
  constexpr SplitRules kEscapes = {.backslashEscapes = true};
  // An escaped quote before a blank does not close the field; the value
  // keeps its bytes as written.
  EXPECT_EQ(split("\"GET /a\\\" b HTTP/1.1\" 200\r\n", kEscapes),
            (Fields{"GET /a\\\" b HTTP/1.1", "200"}));
  EXPECT_EQ(split("\"GET /a\\\" b HTTP/1.1\" 200\r\n"),
            (Fields{"GET /a\\", "b", "HTTP/1.1\"", "200"}));
  // An escaped backslash before the quote leaves the quote closing.
  EXPECT_EQ(split("\"a\\\\\" b", kEscapes), (Fields{"a\\\\", "b"}));
  EXPECT_EQ(split("\"a\\\\\\\" b\" c", kEscapes),
            (Fields{"a\\\\\\\" b", "c"}));
  EXPECT_EQ(split("\"\\\"\" x", kEscapes), (Fields{"\\\"", "x"}));
  // Backslashes before the opening quote or other characters change
  // nothing; a lone quote is still malformed.
  EXPECT_EQ(split("a\\ \"b\\x\" c", kEscapes), (Fields{"a\\", "b\\x", "c"}));
  EXPECT_EQ(split("\" x", kEscapes), (Fields{"<bad>", "x"}));
  // Never closed: the value runs to the line end.
  EXPECT_EQ(split("\"a\\\"\r\n", kEscapes), (Fields{"a\\\""}));
  EXPECT_EQ(findClosingQuote("x \"a\\\" b\" c", 2, true), 8u);
}

}  // namespace
