#include "zxsort/column_layout.h"

#include <climits>

#include <gtest/gtest.h>

#include "zxsort/test_support.h"

namespace {

const char kDataTypes[] =
    "# log name, type, use, column\r\n"
    "date SQLCHAR 1 timestampid\r\n"
    "c-ip SQLCHAR 1 userip\r\n"
    "cs-uri SQLCHAR 1 url\r\n"
    "sc-bytes SQLFLOAT 1 bytes\r\n"
    "time-taken SQLFLOAT 1 duration\r\n"
    "zx-hour SQLINTEGER 1 dt_hour\r\n"
    "zx-refcount SQLFLOAT 1 refcount\r\n"
    "zx-groupid SQLINTEGER 1 groupid\r\n"
    "cs-method SQLCHAR 2 method\r\n"
    "short SQLCHAR\r\n";

BillingMeasure measure(const char* name, int operation) {
  BillingMeasure m;
  m.columnName = name;
  m.operation = operation;
  return m;
}

ColumnLayout load(int mode, const std::string& types, const BillingMeasure* measures,
                  int expectedStatus) {
  ColumnLayout layout;
  layout.mode = mode;
  TempFile file(types);
  BillingMeasure none[3];
  EXPECT_EQ(expectedStatus,
            readDataTypes(file.get(), measures ? measures : none, &layout).status);
  return layout;
}

int classOf(const ColumnLayout& layout, const char* name) {
  for (const ColumnInfo& c : layout.table) {
    if (c.name == name) return c.columnClass;
  }
  return -100;
}

TEST(ColumnLayout, HourlyClassesFollowTypeThenName) {
  ColumnLayout layout = load(0, kDataTypes, nullptr, 8);
  EXPECT_EQ(kAttributeClass, classOf(layout, "timestampid"));
  EXPECT_EQ(kKeyClass, classOf(layout, "url"));
  EXPECT_EQ(kNumericClass, classOf(layout, "bytes"));
  EXPECT_EQ(kAttributeClass, classOf(layout, "dt_hour"));
  // SQLFLOAT wins over the attribute name.
  EXPECT_EQ(kNumericClass, classOf(layout, "refcount"));
  // Use flag 2 and incomplete lines define no column.
  EXPECT_EQ(-100, classOf(layout, "method"));
}

TEST(ColumnLayout, BillingMeasuresShareAColumn) {
  BillingMeasure m[3] = {measure("bytes", 13), measure("bytes", 10), measure("duration", 12)};
  ColumnLayout layout = load(1, kDataTypes, m, 8);
  EXPECT_EQ(13, classOf(layout, "bytes"));
  EXPECT_EQ(12, classOf(layout, "duration"));
  EXPECT_EQ(kKeyClass, classOf(layout, "userip"));
  EXPECT_EQ(kAttributeClass, classOf(layout, "dt_hour"));
  TempFile zx3("timestampid,userip,bytes,duration\r\n");
  TempFile data("");
  ASSERT_EQ(0, readColumnHeader(zx3.get(), data.get(), &layout).status);
  EXPECT_EQ(13, measureOperation(layout, 1));
  EXPECT_EQ(10, measureOperation(layout, 2));
  EXPECT_EQ(12, measureOperation(layout, 3));
  EXPECT_EQ(kRoleMeasure, layout.roles[2]);
  EXPECT_EQ(3, layout.measuresAt[2]);
  EXPECT_EQ(kRoleAttribute, layout.roles[0]);
  EXPECT_EQ(kRoleKey, layout.roles[1]);
}

TEST(ColumnLayout, HeaderPositionsAndUnknownNames) {
  ColumnLayout layout = load(0, kDataTypes, nullptr, 8);
  TempFile zx3("timestampid,,url,bytes,dt_hour,groupid\r\n");
  TempFile data("");
  ASSERT_EQ(0, readColumnHeader(zx3.get(), data.get(), &layout).status);
  EXPECT_EQ(5, layout.columnCount);
  EXPECT_EQ(0, layout.timestampPosition);
  EXPECT_EQ(4, layout.groupIdPosition);
  EXPECT_EQ(3, layout.hourPosition);
  EXPECT_EQ(-1, layout.refcountPosition);
  EXPECT_EQ((std::vector<int>{1}), layout.keyPositions);
  EXPECT_EQ((std::vector<int>{0, 3, 4}), layout.attributePositions);
  EXPECT_EQ((std::vector<int>{2}), layout.numericPositions);
  EXPECT_FALSE(isLastColumn(layout, 0));

  ColumnLayout lf = load(0, kDataTypes, nullptr, 8);
  TempFile zx3lf("url,bytes\n");
  EXPECT_EQ(-7, readColumnHeader(zx3lf.get(), data.get(), &lf).status);
  ColumnLayout caps = load(0, kDataTypes, nullptr, 8);
  TempFile zx3caps("URL\r\n");
  EXPECT_EQ(-7, readColumnHeader(zx3caps.get(), data.get(), &caps).status);
  ColumnLayout last = load(0, kDataTypes, nullptr, 8);
  TempFile zx3last("url,bytes\r\n");
  ASSERT_EQ(0, readColumnHeader(zx3last.get(), data.get(), &last).status);
  EXPECT_TRUE(isLastColumn(last, 0));
  EXPECT_FALSE(isLastColumn(last, 1));
}

TEST(ColumnLayout, LimitsAreRefused) {
  std::string many;
  for (int k = 0; k < 513; ++k) many += "f SQLCHAR 1 c" + std::to_string(k) + "\r\n";
  load(0, many, nullptr, kLayoutTooLarge);
  std::string name48 = "f SQLCHAR 1 " + std::string(48, 'n') + "\r\n";
  load(0, name48, nullptr, kLayoutTooLarge);
  load(0, "f SQLCHAR 1 " + std::string(47, 'n') + "\r\n", nullptr, 1);
  // A line of 3,321 characters is read; one more is refused.
  std::string line = "f SQLCHAR 1 ok ";
  load(0, line + std::string(3321 - line.size() - 2, 'r') + "\r\n", nullptr, 1);
  load(0, line + std::string(3321 - line.size() - 1, 'r') + "\r\n", nullptr, kLayoutTooLarge);

  std::string keys, header;
  for (int k = 0; k < 65; ++k) {
    keys += "f SQLCHAR 1 k" + std::to_string(k) + "\r\n";
    header += (k ? ",k" : "k") + std::to_string(k);
  }
  ColumnLayout layout = load(0, keys, nullptr, 65);
  TempFile zx3(header + "\r\n");
  TempFile data("");
  HeaderResult result = readColumnHeader(zx3.get(), data.get(), &layout);
  EXPECT_EQ(kLayoutTooLarge, result.status);
  EXPECT_EQ("Error: more than 64 key columns in zx3 file", result.message);

  // A description line past the longest possible one is refused unread.
  ColumnLayout wide = load(0, kDataTypes, nullptr, 8);
  TempFile zx3wide("url," + std::string(kMaxZx3LineLength, ',') + "\r\n");
  result = readColumnHeader(zx3wide.get(), data.get(), &wide);
  EXPECT_EQ(kLayoutTooLarge, result.status);
  EXPECT_EQ("Error: zx3 file line longer than 24577 characters", result.message);
}

TEST(ColumnLayout, TimeStampParts) {
  EXPECT_EQ(23, minuteOf("2001-12-17 15:23:45"));
  EXPECT_EQ(23, minuteOf("'2001-12-17 15:23:45.000'"));
  EXPECT_EQ(5, minuteOf("2001-12-17 15:05:00\r\n"));
  EXPECT_EQ(0, minuteOf("-"));
  EXPECT_EQ(0, minuteOf("'-'"));
  EXPECT_EQ("2001-12-17 15", dateHourOf("2001-12-17 15:23:45"));
  EXPECT_EQ("-", dateHourOf("-"));
  EXPECT_EQ(15, hourOf("15\r\n"));
  EXPECT_EQ(15, hourOf("'15'"));
  EXPECT_EQ(15, hourOf(" 15"));
  EXPECT_EQ(15, hourOf("'+15'"));
  EXPECT_EQ(-1, hourOf("-1"));
  EXPECT_EQ(0, hourOf("x"));
  EXPECT_EQ(INT_MAX, hourOf("99999999999999999999"));
  EXPECT_EQ(-INT_MAX, hourOf("-99999999999999999999"));
  EXPECT_EQ(23, intervalStartOf(23, 1));
  EXPECT_EQ(20, intervalStartOf(23, 15));
  EXPECT_EQ(55, intervalStartOf(59, 60));
}

TEST(ColumnLayout, SplitTreatsCommaRunsAsOneSeparator) {
  std::vector<std::string> values;
  int count = splitValues(",a,,b,\r\n", [&](int, std::string_view v) {
    values.emplace_back(v);
  });
  EXPECT_EQ(3, count);
  EXPECT_EQ((std::vector<std::string>{"a", "b", "\r\n"}), values);
}

}  // namespace
