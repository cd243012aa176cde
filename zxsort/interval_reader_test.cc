#include "zxsort/interval_reader.h"

#include <memory>

#include <gtest/gtest.h>

#include "zxsort/test_support.h"

namespace {

const char kDataTypes[] =
    "date SQLCHAR 1 timestampid\r\n"
    "c-ip SQLCHAR 1 userip\r\n"
    "cs-uri SQLCHAR 1 url\r\n"
    "sc-bytes SQLFLOAT 1 bytes\r\n"
    "zx-hour SQLINTEGER 1 dt_hour\r\n";

// A reader over `data` with the header "timestampid,userip,url,bytes,dt_hour".
class ReaderFixture {
 public:
  ReaderFixture(int mode, int interval, const std::string& data)
      : types_(kDataTypes), zx3_("timestampid,userip,url,bytes,dt_hour\r\n"), data_(data) {
    layout.mode = mode;
    layout.interval = interval;
    BillingMeasure m[3];
    for (BillingMeasure& one : m) {
      one.columnName = "bytes";
      one.operation = 13;
    }
    EXPECT_EQ(5, readDataTypes(types_.get(), m, &layout).status);
    EXPECT_EQ(0, readColumnHeader(zx3_.get(), data_.get(), &layout).status);
    std::rewind(data_.get());
    reader = std::make_unique<IntervalReader>(data_.get(), &layout, &log_);
  }

  // Reads every interval; returns "start:count" per call.
  std::vector<std::string> intervals() {
    std::vector<std::string> result;
    while (layout.currentStart != -1) {
      int start = layout.currentStart;
      EXPECT_TRUE(reader->readInterval(&records));
      result.push_back(std::to_string(start) + ":" + std::to_string(layout.recordCount));
    }
    return result;
  }

  ColumnLayout layout;
  IntervalRecords records;
  std::unique_ptr<IntervalReader> reader;

 private:
  RunLog log_{"zxsort"};
  TempFile types_, zx3_, data_;
};

std::string line(const char* stamp, const char* url, int hour) {
  return std::string(stamp) + ",u1," + url + ",100," + std::to_string(hour) + "\r\n";
}

TEST(IntervalReader, HourlyIntervalsFollowEveryHourChange) {
  std::string data = line("2001-12-17 10:01:00", "/a", 10) + line("2001-12-17 10:02:00", "/a", 10) +
                     line("2001-12-17 11:00:00", "/a", 11) + line("2001-12-17 10:03:00", "/a", 10);
  ReaderFixture f(0, 60, data);
  EXPECT_EQ((std::vector<std::string>{"10:2", "11:1", "10:1"}), f.intervals());
}

TEST(IntervalReader, HourlyRecordTextsAreRouted) {
  ReaderFixture f(0, 60, line("2001-12-17 10:01:00", "/a", 10));
  ASSERT_TRUE(f.reader->readInterval(&f.records));
  ASSERT_EQ(1u, f.records.records.size());
  const DataRecord& r = f.records.records[0];
  EXPECT_EQ("u1,/a,", r.key());
  EXPECT_EQ("2001-12-17 10:01:00,10\r\n,", r.attributes());
  EXPECT_EQ("100,", r.numbers());
  EXPECT_EQ("0.000", r.measure(0));
  EXPECT_EQ(1, r.count);
}

TEST(IntervalReader, BillingFifteenMinuteIntervals) {
  std::string data;
  for (int minute : {7, 12, 19, 20, 21, 34, 35}) {
    std::string stamp = "2001-12-17 15:" + std::string(minute < 10 ? "0" : "") +
                        std::to_string(minute) + ":00";
    data += line(stamp.c_str(), "/a", 15);
  }
  ReaderFixture f(1, 15, data);
  EXPECT_EQ(5, f.layout.currentStart);
  EXPECT_EQ((std::vector<std::string>{"5:3", "20:3", "35:1"}), f.intervals());
}

TEST(IntervalReader, BillingIntervalNeverCrossesAnHour) {
  std::string data = line("2001-12-17 10:55:00", "/a", 10) + line("2001-12-17 11:00:00", "/a", 11) +
                     line("2001-12-17 11:03:00", "/a", 11) + line("2001-12-17 11:02:00", "/a", 11) +
                     line("2001-12-17 11:01:00", "/a", 11);
  ReaderFixture f(1, 5, data);
  EXPECT_EQ((std::vector<std::string>{"55:1", "0:4"}), f.intervals());
  // The same minutes on another day start a new interval too.
  std::string days = line("2001-12-17 10:01:00", "/a", 10) + line("2001-12-18 10:02:00", "/a", 10);
  ReaderFixture g(1, 15, days);
  EXPECT_EQ((std::vector<std::string>{"0:1", "0:1"}), g.intervals());
  // A minute before the start of the interval begins a new one.
  std::string back = line("2001-12-17 10:21:00", "/a", 10) + line("2001-12-17 10:14:00", "/a", 10);
  ReaderFixture h(1, 15, back);
  EXPECT_EQ((std::vector<std::string>{"20:1", "10:1"}), h.intervals());
}

TEST(IntervalReader, SkipsAndCountsLinesWithWrongValueCounts) {
  std::string longLine = "2001-12-17 10:04:00,u1,/" + std::string(3321, 'x') + ",1,10\r\n";
  std::string data = line("2001-12-17 10:01:00", "/a", 10) +
                     "2001-12-17 10:02:00,u1,,100,10\r\n" +        // empty value
                     "2001-12-17 10:03:00,u1,/a,100,10,extra\r\n" +  // one too many
                     longLine + line("2001-12-17 10:05:00", "/b", 10);
  ReaderFixture f(0, 60, data);
  EXPECT_EQ((std::vector<std::string>{"10:2"}), f.intervals());
  EXPECT_EQ(3, f.reader->skippedLines());
}

TEST(IntervalReader, LineLengthLimitAtItsEdge) {
  std::string head = "2001-12-17 10:01:00,u1,/";
  std::string tail = ",100,10\r\n";
  std::string fits = head + std::string(3321 - head.size() - tail.size(), 'x') + tail;
  std::string over = head + std::string(3322 - head.size() - tail.size(), 'x') + tail;
  ASSERT_EQ(3321u, fits.size());
  ReaderFixture f(0, 60, fits + over);
  EXPECT_EQ((std::vector<std::string>{"10:1"}), f.intervals());
  EXPECT_EQ(1, f.reader->skippedLines());
}

TEST(IntervalReader, LastLineWithoutLineFeedIsRead) {
  ReaderFixture f(0, 60, line("2001-12-17 10:01:00", "/a", 10) + "2001-12-17 10:02:00,u1,/b,1,10");
  EXPECT_EQ((std::vector<std::string>{"10:2"}), f.intervals());
}

TEST(IntervalReader, MemoryShortCutsTheIntervalAndContinuesIt) {
  std::string data;
  for (int k = 0; k < 4097 + 3; ++k) data += line("2001-12-17 10:01:00", "/a", 10);
  data += line("2001-12-17 11:00:00", "/a", 11);
  ReaderFixture f(0, 60, data);
  int checks = 0;
  f.reader->setMemoryCheck([&checks] { return ++checks == 1; });
  ASSERT_TRUE(f.reader->readInterval(&f.records));
  EXPECT_EQ(4096, f.layout.recordCount);
  EXPECT_EQ(10, f.layout.currentStart);
  ASSERT_TRUE(f.reader->readInterval(&f.records));
  EXPECT_EQ(4, f.layout.recordCount);
  EXPECT_EQ(11, f.layout.currentStart);
  EXPECT_EQ((std::vector<std::string>{"11:1"}), f.intervals());
  EXPECT_EQ(1, checks);
}

TEST(IntervalReader, ArrayGrowsWhenMemoryIsFine) {
  std::string data;
  for (int k = 0; k < 3 * 4096 + 1; ++k) data += line("2001-12-17 10:01:00", "/a", 10);
  ReaderFixture f(0, 60, data);
  int checks = 0;
  f.reader->setMemoryCheck([&checks] { ++checks; return false; });
  EXPECT_EQ((std::vector<std::string>{"10:12289"}), f.intervals());
  EXPECT_EQ(3, checks);
}

TEST(IntervalReader, GroupIdsStayInRange) {
  seedGroupIds(12345);
  for (int k = 0; k < 1000; ++k) {
    int id = nextGroupId();
    ASSERT_GE(id, 0);
    ASSERT_LE(id, 32767);
  }
}

}  // namespace
