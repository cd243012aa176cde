#include "zxreport/escape.h"

#include <gtest/gtest.h>

TEST(Escape, MarkupBecomesText) {
  EXPECT_EQ(htmlEscape("\"><img src=x onerror='a&b'>"),
            "&quot;&gt;&lt;img src=x onerror=&#39;a&amp;b&#39;&gt;");
}

TEST(Escape, JsonCannotEndTheScriptElement) {
  std::string json = jsonString("</script><!-- \"\\\n\x01 \xe2\x80\xa8");
  EXPECT_EQ(json.find('<'), std::string::npos);
  EXPECT_EQ(json.find('>'), std::string::npos);
  EXPECT_EQ(json, "\"\\u003c/script\\u003e\\u003c!-- \\\"\\\\\\u000a\\u0001 \\u2028\"");
}

TEST(Escape, InvalidBytesAreLatin1Characters) {
  EXPECT_EQ(validUtf8("caf\xe9 \xc3\xa9 \xed\xa0\x80"), "caf\xc3\xa9 \xc3\xa9 \xc3\xad\xc2\xa0\xc2\x80");
  EXPECT_EQ(jsonString("\xff"), "\"\xc3\xbf\"");
}

TEST(Escape, DisplayCutsWholeCharactersAndHidesControls) {
  bool cut = false;
  EXPECT_EQ(displayText("a\x01\xc3\xa9\xe2\x82\xac", 3, &cut), "a\xef\xbf\xbd\xc3\xa9\xe2\x80\xa6");
  EXPECT_TRUE(cut);
  EXPECT_EQ(displayText("abc", 3, &cut), "abc");
  EXPECT_FALSE(cut);
}

TEST(Escape, CsvFormulasGetAQuote) {
  EXPECT_EQ(csvCell("=HYPERLINK(\"x\")"), "\"'=HYPERLINK(\"\"x\"\")\"");
  for (const char* formula : {"+1", "-1", "@SUM(A1)", "\tx", "\rx"}) {
    EXPECT_EQ(csvCell(formula).substr(0, 2), "\"'") << formula;
  }
  EXPECT_EQ(csvCell("a,b"), "\"a,b\"");
  EXPECT_EQ(csvCell(""), "\"\"");
}
