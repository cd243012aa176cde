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

TEST(RowSplitterTest, RefusesNumbersAndTimeStampsNoColumnHoldsExactly) {
  struct Case {
    const char* number;
    ColumnType type;
    const char* problem;  // null: accepted
  };
  const Case cases[] = {
      {"9223372036854775807", ColumnType::kInteger, nullptr},
      {"-9223372036854775808", ColumnType::kInteger, nullptr},
      {"+0009223372036854775807", ColumnType::kInteger, nullptr},
      {"9223372036854775808", ColumnType::kInteger, kOutOfIntegerRange},
      {"-9223372036854775809", ColumnType::kInteger, kOutOfIntegerRange},
      {"99999999999999999999", ColumnType::kInteger, kOutOfIntegerRange},
      {"12.500", ColumnType::kInteger, nullptr},  // an average of the sorter
      {"9223372036854774784.000", ColumnType::kInteger, nullptr},
      {"9223372036854775808.000", ColumnType::kInteger, kOutOfIntegerRange},
      {"1e19", ColumnType::kInteger, kOutOfIntegerRange},
      {"0.0000e1000", ColumnType::kInteger, nullptr},
      {"0e-1001", ColumnType::kInteger, kOutOfIntegerRange},
      {"0e-400000", ColumnType::kReal, nullptr},
      {"1e999", ColumnType::kInteger, kOutOfRealRange},
      {"99999999999999999999", ColumnType::kReal, nullptr},
      {"1.7976931348623157e308", ColumnType::kReal, nullptr},
      {"1e309", ColumnType::kReal, kOutOfRealRange},
      {"-1e999", ColumnType::kReal, kOutOfRealRange},
      {"4.9e-324", ColumnType::kReal, nullptr},
      {"1e-400", ColumnType::kReal, kOutOfRealRange},
      {"0e-400", ColumnType::kReal, nullptr},
  };
  for (const Case& c : cases) {
    const char* problem = numberRangeProblem(c.number, c.type);
    EXPECT_EQ(problem == nullptr ? "" : problem, std::string(c.problem == nullptr ? "" : c.problem))
        << c.number;
  }
  std::string digits(400, '9');
  EXPECT_STREQ(numberRangeProblem(digits, ColumnType::kReal), kOutOfRealRange);

  for (const char* moment : {"2000-02-29 00:00:00", "2001-12-31 23:59:59.123456", "0001-01-01 00:00:00"}) {
    EXPECT_TRUE(isTimestamp(moment)) << moment;
  }
  for (const char* moment : {"2001-02-29 00:00:00", "1900-02-29 00:00:00", "2001-04-31 00:00:00",
                             "2001-01-01 24:00:00", "2001-01-01 00:60:00", "2001-01-01 00:00:60",
                             "0000-01-01 00:00:00", "2001-01-01 00:00:00.1234567"}) {
    EXPECT_FALSE(isTimestamp(moment)) << moment;
  }

  LoadPlan plan = planOf(false);
  RowSplitter splitter(plan);
  std::string error;
  EXPECT_FALSE(splitter.split("2001-12-17 15:00:00,a,1,1e999", &error));
  EXPECT_EQ(error, std::string("column bytecount: ") + kOutOfRealRange + ": 1e999");
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
