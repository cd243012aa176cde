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

// A layout for the header "timestampid,url,bytes,dt_hour,groupid,refcount"
// (hourly) or "timestampid,userip,url,bytes" (billing).
struct WriterFixture {
  explicit WriterFixture(int mode, int interval = 60) {
    layout.mode = mode;
    layout.interval = interval;
    const char* hourly[][2] = {{"timestampid", "SQLCHAR"}, {"url", "SQLCHAR"},
                               {"bytes", "SQLFLOAT"},      {"dt_hour", "SQLINTEGER"},
                               {"groupid", "SQLINTEGER"},  {"refcount", "SQLINTEGER"}};
    const char* billing[][2] = {{"timestampid", "SQLCHAR"}, {"userip", "SQLCHAR"},
                                {"url", "SQLCHAR"},         {"bytes", "SQLFLOAT"}};
    std::string types, header;
    int count = mode == 0 ? 6 : 4;
    for (int k = 0; k < count; ++k) {
      const char* const* column = mode == 0 ? hourly[k] : billing[k];
      types += std::string("f ") + column[1] + " 1 " + column[0] + "\r\n";
      if (k > 0) header += ',';
      header += column[0];
    }
    BillingMeasure m[3];
    for (BillingMeasure& one : m) one.columnName = "bytes", one.operation = 13;
    TempFile typesFile(types), zx3(header + "\r\n"), data("");
    EXPECT_EQ(count, readDataTypes(typesFile.get(), m, &layout).status);
    EXPECT_EQ(0, readColumnHeader(zx3.get(), data.get(), &layout).status);
    layout.groupId = 321;
  }

  DataRecord record(const std::string& key, const std::string& attributes,
                    const std::string& numbers, int count = 1) {
    storage.push_back(key + attributes + numbers);
    DataRecord r;
    r.text = storage.back().data();
    r.keyLength = static_cast<std::uint16_t>(key.size());
    r.attributesLength = static_cast<std::uint16_t>(attributes.size());
    r.numbersLength = static_cast<std::uint16_t>(numbers.size());
    r.count = count;
    return r;
  }

  ColumnLayout layout;
  std::vector<std::string> storage;
};

TEST(RecordWriter, HourlyLines) {
  WriterFixture f(0);
  f.storage.reserve(8);
  RecordWriter writer(nullptr, &f.layout);
  std::string line;
  writer.rebuildRecord(f.record("/a/x,", "2001-12-17 15:23:45,15,0,1\r\n,", "200.000"), &line);
  EXPECT_EQ("2001-12-17 15:00:00,/a/x,200.000,15,321,1\r\n", line);
  writer.rebuildRecord(f.record("/a/x,", "2001-12-17 15:23:45,15,0,1\r\n,", "200.000", 2), &line);
  EXPECT_EQ("2001-12-17 15:00:00,/a/x,200.000,15,321,2\r\n", line);
  writer.rebuildRecord(
      f.record("'/a',", "'2001-12-17 15:23:45.000',15,'0',1\r\n,", "100,"), &line);
  EXPECT_EQ("'2001-12-17 15:00:00.000','/a',100,15,'321',1\r\n", line);
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

TEST(RecordWriter, BillingLines) {
  WriterFixture f(1, 15);
  f.storage.reserve(8);
  RecordWriter writer(nullptr, &f.layout);
  // Measures follow the numbers in the record's text.
  DataRecord r = f.record("u1,/a,", "2001-12-17 15:23:45.000,", "400.000100.0004.000");
  r.numbersLength = 0;
  r.measureLength[0] = 7;
  r.measureLength[1] = 7;
  r.measureLength[2] = 5;
  std::string line;
  writer.rebuildBillingRecord(r, 15, &line);
  EXPECT_EQ("2001-12-17 15:15:00.000,321,u1,-,/a,-,0,400.000,100.000,4.000\r\n", line);

  DataRecord quoted = f.record("'u1','/a',", "'2001-12-17 15:07:45.000',", "");
  writer.rebuildBillingRecord(quoted, 5, &line);
  EXPECT_EQ("'2001-12-17 15:05:00.000',321,'u1','-','/a','-',0,0.000,0.000,0.000\r\n", line);

  WriterFixture hour(1, 60);
  RecordWriter hourWriter(nullptr, &hour.layout);
  DataRecord plain = hour.record("u1,/a,", "2001-12-17 15:34:12,", "");
  hourWriter.rebuildBillingRecord(plain, 15, &line);
  EXPECT_EQ("2001-12-17 15:00:00,321,u1,-,/a,-,0,0.000,0.000,0.000\r\n", line);
}

}  // namespace
