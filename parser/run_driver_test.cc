#include "parser/run_driver.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "common/run_log.h"
#include "common/test_files.h"

namespace {

std::string statistics(const RunCounters& counters, std::int64_t seconds) {
  std::string path = tempPath("stats.out");
  std::remove(path.c_str());
  RunLog log("parser");
  log.setPath(path);
  logStatistics(log, counters, seconds);
  return runLogMessages(path);
}

TEST(StatisticsTest, FullBlockWithRates) {
  RunCounters counters;
  counters.linesRead = 7;
  counters.totalBytes = 1000;
  counters.longestLine = 200;
  counters.errorLines = 3;
  counters.writtenLines = 4;
  counters.blankLines = 2;
  EXPECT_EQ(statistics(counters, 3),
            "3 Duration (sec) = 3.000000\n"
            "3 Line Count = 7\n"
            "3 Total Bytes = 1000\n"
            "3 Avg Bytes Per Line = 142\n"
            "3 Longest Line = 200\n"
            "3 Number of Error Lines = 3\n"
            "3 Number of Successful Lines = 4\n"
            "3 Bytes Per Second = 333\n"
            "3 Lines Per Second = 1\n"
            "3 Percent of Error/Successful = 75.000000\n"
            "3 Number of Blank Lines = 2\n");
}

TEST(StatisticsTest, NoRatesInTheFirstSecondAndWideCounters) {
  RunCounters counters;
  counters.linesRead = 1;
  counters.totalBytes = 5000000000;
  counters.longestLine = 8190;
  counters.errorLines = 5;
  counters.writtenLines = 2;
  std::string block = statistics(counters, 0);
  EXPECT_EQ(block.find("Per Second"), std::string::npos);
  EXPECT_NE(block.find("3 Total Bytes = 5000000000\n"), std::string::npos);
  EXPECT_NE(block.find("3 Percent of Error/Successful = 250.000000\n"),
            std::string::npos);
}

/// Column data types enough for a three-field "#Fields:" log.
const char kTypes[] =
    "a SQLCHAR 1 a\r\nb SQLCHAR 1 b\r\nc SQLCHAR 1 c\r\n"
    "zx-unknown SQLCHAR 0 unknown\r\n";

TEST(RunParserTest, TruncatedGzipLogEndsWithItsOwnStatus) {
  std::string types = tempPath("types.dat");
  writeFile(types, kTypes);
  std::string log = tempPath("cut.log");
  std::string text = "#Fields: a b c\r\n";
  for (int i = 0; i < 4000; ++i) {
    for (long long factor : {7919LL, 104729LL, 1299709LL}) {
      text += std::to_string(i * factor);
      text += factor == 1299709LL ? "\r\n" : " ";
    }
  }
  gzFile packed = gzopen(log.c_str(), "wb");
  ASSERT_NE(packed, nullptr);
  gzwrite(packed, text.data(), static_cast<unsigned>(text.size()));
  gzclose(packed);
  std::string bytes = readAll(log);
  writeFile(log, bytes.substr(0, bytes.size() / 2));
  for (const char* suffix : {".out", ".csv", ".zx3", ".b.zx3", ".err"}) {
    std::remove((log + suffix).c_str());
  }

  RunOptions options;
  options.logPath = log;
  options.dataTypesPath = types;
  RunLog runLog("parser");
  runLog.setPath(log + ".out");
  EXPECT_EQ(runParser(options, runLog), kRunLogCorrupt);

  std::string data = readAll(log + ".csv");
  EXPECT_EQ(data.rfind("'0','0','0'\r\n", 0), 0u);
  EXPECT_GT(data.size(), 1000u);
  // The trailing files are written as for a clean log.
  EXPECT_EQ(readAll(log + ".zx3"), "a,b,c\r\n");
  EXPECT_FALSE(readAll(log + ".b.zx3").empty());
  std::string said = runLogMessages(log + ".out");
  EXPECT_NE(said.find("5 Could not read log file " + log + ": "),
            std::string::npos);
  EXPECT_NE(said.find("3 Number of Successful Lines = "), std::string::npos);
  EXPECT_EQ(said.find("No records"), std::string::npos);

  // Cut inside the header: the read failure, not an invalid header.
  writeFile(log, bytes.substr(0, 20));
  std::remove((log + ".out").c_str());
  EXPECT_EQ(runParser(options, runLog), kRunLogCorrupt);
  said = runLogMessages(log + ".out");
  EXPECT_NE(said.find("5 Could not read log file "), std::string::npos);
  EXPECT_EQ(said.find("Invalid log file header"), std::string::npos);
}

}  // namespace
