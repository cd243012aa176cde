#include "parser/values_ahead.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "common/run_log.h"
#include "common/test_files.h"
#include "parser/json_fields.h"
#include "parser/run_driver.h"

namespace {

const std::string kConfigDir = std::string(TEST_DATA_DIR) + "/../config/";

/// What a run wrote: its status, rows, rejected lines and run log (without
/// the lines that depend on how long it took).
struct Outputs {
  int status = 0;
  std::string rows;
  std::string rejected;
  std::string said;
};

Outputs convert(const std::string& log, int maxErrors, bool ahead) {
  for (const char* suffix : {".csv", ".err", ".out"}) std::remove((log + suffix).c_str());
  RunOptions options;
  options.logPath = log;
  options.dataTypesPath = kConfigDir + "datatypes.dat";
  options.dbName = "oracle";
  options.logFormat = "json";
  options.maxErrors = maxErrors;
  RunLog runLog("parser");
  runLog.setPath(log + ".out");
  RunThreads threads;
  threads.valuesAhead = ahead;
  Outputs out;
  out.status = runParser(options, runLog, threads);
  out.rows = readAll(log + ".csv");
  out.rejected = readAll(log + ".err");
  const std::string said = runLogMessages(log + ".out");
  for (std::size_t at = 0; at < said.size();) {
    std::size_t end = said.find('\n', at) + 1;
    std::string_view line(said.data() + at, end - at);
    if (line.find("Duration (sec)") == line.npos && line.find("Per Second") == line.npos) {
      out.said += line;
    }
    at = end;
  }
  return out;
}

/// Both ways of reading give the same outputs; returns them.
Outputs convertBothWays(const std::string& log, int maxErrors) {
  SCOPED_TRACE("-e " + std::to_string(maxErrors));
  Outputs alone = convert(log, maxErrors, false);
  Outputs ahead = convert(log, maxErrors, true);
  EXPECT_EQ(ahead.status, alone.status);
  EXPECT_TRUE(ahead.rows == alone.rows) << "rows differ";
  EXPECT_EQ(ahead.rejected, alone.rejected);
  EXPECT_EQ(ahead.said, alone.said);
  return alone;
}

/// Thousands of lines, so that reading ahead crosses many batches, some
/// long enough to fill a batch's bytes first: Caddy's sample lines, lines
/// that are no JSON object or break off, blank and comment lines, a blank
/// before a line break.
std::string mixedLog() {
  const std::string caddy = readAll(kConfigDir + "samples/caddy.log");
  const char* const odd[] = {
      "not json at all\r\n",
      "[1,2,3]\n",
      "{\"status\":200} trailing\n",
      "{\"status\":\"2\\q0\"}\n",
      "{\"request\":{\"uri\":\"/cut\"\n",
      "\n",
      "   \t\r\n",
      "# a comment\n",
      "{\"status\":404,\"request\":{\"uri\":\"/x,y'z\"},\"size\":7} \r\n",
  };
  std::string text;
  for (int round = 0; round < 400; ++round) {
    text += caddy;
    text += odd[round % 9];
    text += odd[(round * 5 + 3) % 9];
    if (round % 10 == 4) {
      text += "{\"status\":200,\"request\":{\"uri\":\"/" + std::string(7000 + round, 'u') +
              "\"},\"ts\":1796630473}\n";
    }
  }
  return text;
}

TEST(ValuesAheadTest, SameOutputsAsReadingOnOneThread) {
  if (!jsonLinesAvailable()) GTEST_SKIP() << "built without simdjson";
  const std::string log = tempPath("mixed.log");
  writeFile(log, mixedLog());
  Outputs all = convertBothWays(log, 0);
  EXPECT_EQ(all.status, kRunOk);
  EXPECT_GT(std::count(all.rows.begin(), all.rows.end(), '\n'), 9000);
  EXPECT_NE(all.said.find("Does not fit the log format: at byte "), std::string::npos);
  // Stops at the first rejected line, early in a batch, and deep into
  // later ones.
  for (int limit : {1, 2, 37, 100}) {
    Outputs stopped = convertBothWays(log, limit);
    EXPECT_EQ(stopped.status, kRunTooManyErrors);
    EXPECT_NE(stopped.said.find("Reached the maximum number of errors"), std::string::npos);
  }
  // A format line in the middle ends both alike.
  writeFile(log, mixedLog() + "#Fields: c-ip\n" + mixedLog());
  EXPECT_EQ(convertBothWays(log, 0).status, kRunFormatChanged);
}

TEST(ValuesAheadTest, GzipLogsWholeAndCut) {
  if (!jsonLinesAvailable()) GTEST_SKIP() << "built without simdjson";
  const std::string log = tempPath("mixed.log.gz");
  const std::string text = mixedLog();
  gzFile packed = gzopen(log.c_str(), "wb");
  ASSERT_NE(packed, nullptr);
  gzwrite(packed, text.data(), static_cast<unsigned>(text.size()));
  gzclose(packed);
  EXPECT_EQ(convertBothWays(log, 0).status, kRunOk);
  const std::string bytes = readAll(log);
  writeFile(log, bytes.substr(0, bytes.size() / 2));
  EXPECT_EQ(convertBothWays(log, 0).status, kRunLogCorrupt);
}

}  // namespace
