#include "zxreport/report_options.h"

#include <gtest/gtest.h>

#include "summary/civil_time.h"

namespace {

bool read(std::vector<std::string> args, ReportOptions* options, std::string* error) {
  args.insert(args.begin(), "zxreport");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  return readReportOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

}  // namespace

TEST(CivilTime, ArgumentsCoverTheirWholePrecision) {
  TimeArgument t;
  ASSERT_TRUE(parseTimeArgument("2024-02-29", &t));
  EXPECT_EQ(t.start, "2024-02-29 00:00:00");
  EXPECT_EQ(t.end, "2024-03-01 00:00:00");
  ASSERT_TRUE(parseTimeArgument("2026-12-31T23", &t));
  EXPECT_EQ(t.end, "2027-01-01 00:00:00");
  ASSERT_TRUE(parseTimeArgument("2026-12-07 10:59:59", &t));
  EXPECT_EQ(t.end, "2026-12-07 11:00:00");
  for (const char* bad : {"2026-02-29", "2026-12-07 24", "2026-12-07 10:60", "2026-1-07",
                          "2026-12-07 10:00:00.000", "2026-12-07x", ""}) {
    EXPECT_FALSE(parseTimeArgument(bad, &t)) << bad;
  }
}

TEST(CivilTime, HoursOfStoredTimeStamps) {
  std::int64_t hours = 0;
  ASSERT_TRUE(hourOfTimestamp("1970-01-02 03:00:00.000", &hours));
  EXPECT_EQ(hours, 27);
  EXPECT_EQ(civilHour(hours), "1970-01-02 03:00");
  ASSERT_TRUE(hourOfTimestamp("1969-12-31 23:59:59", &hours));
  EXPECT_EQ(civilHour(hours), "1969-12-31 23:00");
  EXPECT_FALSE(hourOfTimestamp("-", &hours));
  EXPECT_FALSE(hourOfTimestamp("2026-13-01 00", &hours));
  for (std::int64_t day = -719000; day < 2900000; day += 997) {  // years 0 to 9909
    std::string date = civilDate(day);
    ASSERT_TRUE(hourOfTimestamp(date + " 00", &hours)) << date;
    ASSERT_EQ(hours, day * 24) << date;
  }
}

TEST(ReportOptions, MeasuresAndRanges) {
  MeasureSpec measures[3];
  ASSERT_TRUE(parseMeasures("bytecount:13,bytecount:12,refcount:10", measures));
  EXPECT_EQ(measures[1].column, "bytecount");
  EXPECT_EQ(measures[2].operation, 10);
  for (const char* bad : {"a:13,b:13", "a:13,b:13,c:14", "a:13,b:13,c:13,", ":13,b:13,c:13"}) {
    EXPECT_FALSE(parseMeasures(bad, measures)) << bad;
  }
  ReportOptions options;
  std::string error;
  ASSERT_TRUE(read({"-s", "x.db", "--from", "2026-12-07", "--to", "2026-12-07"}, &options, &error));
  EXPECT_EQ(options.from, "2026-12-07 00:00:00");
  EXPECT_EQ(options.to, "2026-12-08 00:00:00");
  ReportOptions wrong;
  EXPECT_FALSE(read({"-s", "x.db", "--from", "2026-12-08", "--to", "2026-12-07 23"}, &wrong, &error));
  EXPECT_NE(error.find("empty range"), std::string::npos);
  EXPECT_FALSE(read({"-s", "x.db", "-p", "dbname=x"}, &wrong, &error));
  EXPECT_FALSE(read({"-s", "x.db", "--top", "0"}, &wrong, &error));
  EXPECT_FALSE(read({"-s"}, &wrong, &error));
}
