#include "zxload/row_values.h"

#include <gtest/gtest.h>

#ifdef ZXLOAD_WITH_POSTGRES
#include "zxload/postgres_target.h"
#endif

namespace {

LoadPlan planOf(bool quoted) {
  LoadPlan plan;
  plan.columns = {{"timestampid", ColumnType::kTimestamp},
                  {"url", ColumnType::kText},
                  {"groupid", ColumnType::kInteger},
                  {"bytecount", ColumnType::kReal}};
  plan.quotedText = quoted;
  return plan;
}

TEST(RowSplitterTest, QuotedRunsStripQuotesOnTextAndOnNumbersThatHaveThem) {
  LoadPlan plan = planOf(true);
  RowSplitter splitter(plan);
  std::string error;
  ASSERT_TRUE(splitter.split("'2001-12-17 15:00:00.000','/it's','7',12.500", &error)) << error;
  EXPECT_EQ(splitter.values()[0].text, "2001-12-17 15:00:00.000");
  EXPECT_EQ(splitter.values()[1].text, "/it's");
  EXPECT_EQ(splitter.values()[2].text, "7");
  EXPECT_EQ(splitter.values()[3].text, "12.500");
  EXPECT_FALSE(splitter.split("'2001-12-17 15:00:00.000',/a,7,1", &error));
  EXPECT_EQ(error, "column url: text value not enclosed in single quotes: /a");
}

TEST(RowSplitterTest, UnquotedRunsKeepQuotesAndCheckValues) {
  LoadPlan plan = planOf(false);
  RowSplitter splitter(plan);
  std::string error;
  ASSERT_TRUE(splitter.split("0000-00-00 00:00:00,'a',,1e3", &error)) << error;
  EXPECT_TRUE(splitter.values()[0].null);
  EXPECT_EQ(splitter.values()[1].text, "'a'");
  EXPECT_TRUE(splitter.values()[2].null);
  EXPECT_FALSE(splitter.values()[3].null);
  EXPECT_FALSE(splitter.split("2001-12-17 15:00:00,a,x,1", &error));
  EXPECT_EQ(error, "column groupid: not a number: x");
  EXPECT_FALSE(splitter.split("2001-12-17 15:00,a,1,1", &error));
  EXPECT_FALSE(splitter.split("2001-13-17 15:00:00,a,1,1", &error));
  EXPECT_EQ(error, "column timestampid: not a time stamp: 2001-13-17 15:00:00");
  EXPECT_FALSE(splitter.split("2001-12-17 15:00:00,a,1,1,", &error));
  EXPECT_EQ(error, "5 values, expected 4");
  EXPECT_FALSE(splitter.split("2001-12-17 15:00:00,a,1", &error));
  EXPECT_EQ(error, "3 values, expected 4");
  for (const char* bad : {"", "-", ".", "1.", "+", "1e", "1x", " 1"}) {
    EXPECT_EQ(isNumber(bad), std::string_view(bad) == "1.") << bad;
  }
}

#ifdef ZXLOAD_WITH_POSTGRES
TEST(CopyTextTest, EscapesAndKeepsOrMapsBytesByEncoding) {
  std::string out;
  appendCopyText(std::string_view("a\\b\tc\xff\xc3\xa9\xed\xa0\x80", 11), false, &out);
  EXPECT_EQ(out, "a\\\\b\\tc\xc3\xbf\xc3\xa9\xc3\xad\xc2\xa0\xc2\x80");
  out.clear();
  appendCopyText(std::string_view("\xff\r\n\0", 4), true, &out);
  EXPECT_EQ(out, std::string("\xff\\r\\n?"));
}
#endif

}  // namespace
