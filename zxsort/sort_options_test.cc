#include "zxsort/sort_options.h"

#include <gtest/gtest.h>

namespace {

SortOptions parse(const std::vector<std::string>& args, int expectedStatus = 0) {
  SortOptions options;
  OptionsResult result = parseSortArguments(args, &options);
  EXPECT_EQ(expectedStatus, result.status);
  return options;
}

TEST(SortOptions, ReadsValuesPathsAndMeasures) {
  SortOptions o = parse({"-m", "1", "/i", "15", "-v", "my+logs/a", "-d", "dt+x.txt", "-l",
                         "run.log", "-b1", "bytes:13", "-b2", "bytes:10", "-b3", "duration:12"});
  EXPECT_EQ(1, o.mode);
  EXPECT_EQ(15, o.interval);
  EXPECT_EQ("my logs/a", o.basePath);
  EXPECT_EQ("dt x.txt", o.dataTypesPath);
  EXPECT_EQ("run.log", o.runLogPath);
  EXPECT_EQ("bytes", o.measures[0].columnName);
  EXPECT_EQ(13, o.measures[0].operation);
  EXPECT_EQ(10, o.measures[1].operation);
  EXPECT_EQ("duration", o.measures[2].columnName);
  EXPECT_EQ(12, o.measures[2].operation);
}

TEST(SortOptions, MeasuresCountOnlyAfterBillingMode) {
  SortOptions o = parse({"-b1", "bytes:13", "-m", "1"});
  EXPECT_EQ(1, o.mode);
  EXPECT_TRUE(o.measures[0].columnName.empty());
  // A later -m replaces the earlier value; "-mode" is read by its letter.
  o = parse({"-m", "1", "-mode", "0", "-i", "15", "-i", "20"});
  EXPECT_EQ(0, o.mode);
  EXPECT_EQ(20, o.interval);
  // "/b1" is not a measure option; unknown words are ignored.
  o = parse({"-m", "1", "/b1", "bytes:13", "stray"});
  EXPECT_TRUE(o.measures[0].columnName.empty());
}

TEST(SortOptions, OptionWithoutValueIsRefusedAndNamed) {
  SortOptions options;
  OptionsResult result = parseSortArguments({"-l", "x.log", "-v"}, &options);
  EXPECT_EQ(-9, result.status);
  EXPECT_NE(std::string::npos, result.message.find("-v"));
  EXPECT_EQ("x.log", options.runLogPath);
}

TEST(SortOptions, ModeAndIntervalChecks) {
  struct Case { int mode, interval, status; const char* message; int interval_after; };
  const Case cases[] = {
      {0, 7, 0, "", 60},          {1, 7, -9, "Invalid interval", 7},
      {1, 1, 0, "", 1},           {1, 5, 0, "", 5},
      {1, 60, 0, "", 60},         {1, 65, -9, "Invalid interval", 65},
      {1, 0, -9, "Invalid interval", 0}, {1, -5, -9, "Invalid interval", -5},
      {2, 60, -9, "Invalid mode", 60},   {-1, 60, -9, "Invalid mode", 60},
  };
  for (const Case& c : cases) {
    SortOptions o;
    o.mode = c.mode;
    o.interval = c.interval;
    std::string message;
    EXPECT_EQ(c.status, checkModeAndInterval(&o, &message)) << c.mode << " " << c.interval;
    EXPECT_EQ(c.message, message);
    EXPECT_EQ(c.interval_after, o.interval);
  }
}

}  // namespace
