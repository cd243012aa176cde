#include "hostbridge/utf.h"

#include <gtest/gtest.h>

namespace utf {
namespace {

TEST(UtfTest, RoundTripsAllPlanes) {
  const std::u16string text = u"Gr\u00fcppe \u20ac \U0001F600 a";
  const std::string bytes = toUtf8(text);
  EXPECT_EQ("Gr\xc3\xbcppe \xe2\x82\xac \xf0\x9f\x98\x80 a", bytes);
  EXPECT_EQ(text, toUtf16(bytes));
}

TEST(UtfTest, NulCharacterIsKeptAsOneByte) {
  const std::u16string text(u"a\0b", 3);
  EXPECT_EQ(std::string("a\0b", 3), toUtf8(text));
}

TEST(UtfTest, LoneSurrogatesBecomeReplacementCharacter) {
  EXPECT_EQ(
      "\xef\xbf\xbd"
      "x",
      toUtf8(u"\xD800x"));
  EXPECT_EQ("x\xef\xbf\xbd", toUtf8(u"x\xDC00"));
  EXPECT_EQ("\xef\xbf\xbd", toUtf8(u"\xD800"));
}

TEST(UtfTest, MalformedUtf8BecomesReplacementCharacter) {
  EXPECT_EQ(u"\uFFFDa", toUtf16("\xff"
                                "a"));
  // Truncated sequence at the end.
  EXPECT_EQ(u"a\uFFFD\uFFFD", toUtf16("a\xe2\x82"));
  // Overlong encoding of '/'.
  EXPECT_EQ(u"\uFFFD\uFFFD", toUtf16("\xc0\xaf"));
  // Encoded surrogate.
  EXPECT_EQ(u"\uFFFD\uFFFD\uFFFD", toUtf16("\xed\xa0\x80"));
}

}  // namespace
}  // namespace utf
