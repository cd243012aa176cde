#include "zxsort/record_writer.h"

#include <gtest/gtest.h>

#include "zxsort/test_support.h"

namespace {

std::string cut(const std::string& stamp) {
  char buffer[32];
  return std::string(cutToHour(stamp, buffer));
}

std::string atMinute(const std::string& stamp, const char* minute) {
  char buffer[32];
  return std::string(setToMinute(stamp, minute, buffer));
}

TEST(RecordWriter, TimeStampCutToTheHour) {
  EXPECT_EQ("2001-12-17 15:00:00", cut("2001-12-17 15:23:45"));
  EXPECT_EQ("2001-12-17 15:00:00.000", cut("2001-12-17 15:23:45.000"));
  EXPECT_EQ("'2001-12-17 15:00:00.000'", cut("'2001-12-17 15:23:45.000'"));
  // Placeholders shorter than the rewritten part stay as they are.
  EXPECT_EQ("-", cut("-"));
  EXPECT_EQ("'-'", cut("'-'"));
  EXPECT_EQ("2001-12-17 1", cut("2001-12-17 1"));
}

TEST(RecordWriter, TimeStampSetToTheIntervalMinute) {
  EXPECT_EQ("2001-12-17 15:30:00", atMinute("2001-12-17 15:34:12", "30"));
  EXPECT_EQ("2001-12-17 15:15:00.000", atMinute("2001-12-17 15:23:45.000", "15"));
  EXPECT_EQ("'2001-12-17 15:05:00.000'", atMinute("'2001-12-17 15:07:45.000'", "05"));
  EXPECT_EQ("'-'", atMinute("'-'", "05"));
}

TEST(RecordWriter, HourlyLineAlwaysEndsWithALineBreak) {
  // Header with the group id last: its rewritten value has no line break.
  ColumnLayout layout;
  TempFile types("f SQLCHAR 1 url\r\nf SQLINTEGER 1 refcount\r\nf SQLINTEGER 1 groupid\r\n");
  TempFile zx3("url,refcount,groupid\r\n"), data("");
  BillingMeasure none[3];
  ASSERT_EQ(3, readDataTypes(types.get(), none, &layout).status);
  ASSERT_EQ(0, readColumnHeader(zx3.get(), data.get(), &layout).status);
  layout.groupId = 7;
  std::string text = "/a,1,0\r\n,";
  DataRecord r;
  r.text = text.data();
  r.keyLength = 3;
  r.attributesLength = static_cast<std::uint16_t>(text.size() - 3);
  r.count = 4;
  RecordWriter writer(nullptr, &layout);
  std::string line;
  writer.rebuildRecord(r, &line);
  // The count does not carry a line break into the middle of the line.
  EXPECT_EQ("/a,4,7\r\n", line);
}

TEST(RecordWriter, HourlyValuesOutOfTheUsualFormStillLandInTheirColumns) {
  ColumnLayout layout;
  TempFile types("f SQLCHAR 1 url\r\nf SQLCHAR 1 method\r\nf SQLFLOAT 1 bytes\r\n");
  TempFile zx3("url,method,bytes\r\n"), data("");
  BillingMeasure none[3];
  ASSERT_EQ(3, readDataTypes(types.get(), none, &layout).status);
  ASSERT_EQ(0, readColumnHeader(zx3.get(), data.get(), &layout).status);
  RecordWriter writer(nullptr, &layout);
  struct Case { std::string key, numbers, line; };
  for (const Case& c : {Case{"/a,GET,", "5\r\n,", "/a,GET,5\r\n"},
                        Case{",/a,,GET,", "5\r\n,", "/a,GET,5\r\n"},  // empty values skipped
                        Case{"/a,", "2.500\r\n", "/a,,2.500\r\n"}}) {  // a value missing
    std::string text = c.key + c.numbers;
    DataRecord r;
    r.text = text.data();
    r.keyLength = static_cast<std::uint16_t>(c.key.size());
    r.numbersLength = static_cast<std::uint16_t>(c.numbers.size());
    std::string line;
    writer.rebuildRecord(r, &line);
    EXPECT_EQ(c.line, line) << c.key;
  }
}

}  // namespace
