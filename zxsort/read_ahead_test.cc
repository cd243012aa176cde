#include "zxsort/read_ahead.h"

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "zxsort/test_support.h"

namespace {

const char kDataTypes[] =
    "c-ip SQLCHAR 1 userip\r\n"
    "sc-bytes SQLFLOAT 1 bytes\r\n"
    "zx-hour SQLINTEGER 1 dt_hour\r\n";

// Hourly layout of "userip,bytes,dt_hour" over `data`.
struct Input {
  explicit Input(const std::string& data)
      : types(kDataTypes), zx3("userip,bytes,dt_hour\r\n"), file(data) {
    layout.mode = 0;
    layout.interval = 60;
    BillingMeasure measures[3];
    readDataTypes(types.get(), measures, &layout);
    EXPECT_EQ(0, readColumnHeader(zx3.get(), file.get(), &layout).status);
    std::rewind(file.get());
  }
  TempFile types, zx3, file;
  ColumnLayout layout;
};

// Every interval as "start:groupId:count:first key|log lines", read through a
// ReadAhead that stops after `stopAfter` intervals (all when negative).
std::vector<std::string> readAll(const std::string& data, bool threaded,
                                 std::function<bool()> nearlyFull, int stopAfter = -1) {
  Input input(data);
  RunLog log("zxsort");
  ReadAhead reader(input.file.get(), input.layout, &log, 77, threaded, std::move(nearlyFull));
  ColumnLayout& layout = input.layout;
  IntervalRecords interval;
  std::vector<HeldLogLine> held;
  std::vector<std::string> result;
  while (layout.currentStart != -1 && stopAfter-- != 0) {
    std::string item = std::to_string(layout.currentStart);
    EXPECT_TRUE(reader.next(&interval, &layout, &held));
    for (std::string part : {std::to_string(layout.groupId), std::to_string(layout.recordCount),
                             std::string(interval.records.at(0).key())}) {
      item.append(":").append(part);
    }
    // The memory figures vary from read to read: keep the messages' starts.
    for (const HeldLogLine& line : held) item.append("|").append(line.text.substr(0, 14));
    result.push_back(item);
  }
  if (layout.currentStart == -1) result.push_back(std::to_string(reader.skippedLines()));
  return result;
}

std::string lines(int count, int hour, const char* ip) {
  std::string text;
  for (int k = 0; k < count; ++k) {
    text.append(ip).append(",").append(std::to_string(k)).append(",");
    text.append(std::to_string(hour)).append("\r\n");
  }
  return text;
}

TEST(ReadAhead, GivesWhatTheReaderGivesWithAndWithoutAThread) {
  // Hours 3, 4, 3 again, a line with a value missing, then 4,100 lines of
  // hour 5 that the memory check cuts after 4,096.
  const std::string data = lines(5, 3, "a") + lines(2, 4, "b") + lines(1, 3, "c") +
                           "short,5\r\n" + lines(4100, 5, "d");
  auto cutOnce = [] {
    return [checks = 0]() mutable { return ++checks == 1; };
  };
  const std::vector<std::string> onOneThread = readAll(data, false, cutOnce());
  EXPECT_EQ(6u, onOneThread.size());
  EXPECT_EQ("4", onOneThread[1].substr(0, 1));
  EXPECT_NE(std::string::npos, onOneThread[3].find(":4096:d,|reaching physi|physical mem: "));
  EXPECT_NE(std::string::npos, onOneThread[4].find(":4:d,"));
  EXPECT_EQ("1", onOneThread.back());  // the short line
  EXPECT_EQ(onOneThread, readAll(data, true, cutOnce()));
}

TEST(ReadAhead, StopsWhereverTheCallerStops) {
  std::string data;
  for (int hour = 0; hour < 24; ++hour) data += lines(300, hour, "e");
  auto never = [] { return false; };
  for (int stop : {0, 1, 5}) {
    std::vector<std::string> taken = readAll(data, true, never, stop);
    EXPECT_EQ(static_cast<std::size_t>(stop), taken.size());
  }
}

TEST(ReadAhead, OnOneThreadLetsGoOfTheCallersIntervalBeforeReadingTheNext) {
  // Hours long enough for the memory check to run while each is read.
  Input input(lines(5000, 1, "a") + lines(5000, 2, "b"));
  RunLog log("zxsort");
  IntervalRecords interval;
  std::size_t heldWhileReading = 0;
  auto check = [&] {
    heldWhileReading = std::max(heldWhileReading, interval.records.size());
    return false;
  };
  ReadAhead reader(input.file.get(), input.layout, &log, 77, false, check);
  std::vector<HeldLogLine> held;
  ASSERT_TRUE(reader.next(&interval, &input.layout, &held));
  ASSERT_TRUE(reader.next(&interval, &input.layout, &held));
  EXPECT_EQ(5000, input.layout.recordCount);
  EXPECT_EQ(0u, heldWhileReading);  // two hours at once before
}

TEST(ReadAhead, ThreadsOnlyWithASecondCore) {
  EXPECT_FALSE(ReadAhead::worthThreading(0));  // count unknown
  EXPECT_FALSE(ReadAhead::worthThreading(1));
  EXPECT_TRUE(ReadAhead::worthThreading(2));
}

}  // namespace
