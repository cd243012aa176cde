// Checks the column data types files shipped in config/ against the
// built-in log formats: every field is known, the derived columns are all
// there, and what a layout loads fits the data set's table; and the sample
// logs convert with them, every line a row.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/run_log.h"
#include "common/test_files.h"
#include "parser/column_table.h"
#include "parser/header.h"
#include "parser/header_layout.h"
#include "parser/json_fields.h"
#include "parser/run_driver.h"

namespace {

const std::string kConfigDir = std::string(TEST_DATA_DIR) + "/../config/";

/// The table columns of each data set, in table order.
const std::vector<std::string> kRawTable = {
    "timestampid", "groupid", "transcodeid", "actionid", "abortcodeid",
    "logformat", "status", "os", "browser", "player", "userip", "username",
    "dnsname", "url", "method", "contenttype", "filetype", "sitename",
    "hostname", "referrer", "serverdesc", "serverdns", "protocol",
    "hierarchycode", "refcount", "responsetime", "bytecount", "bytesdropped",
    "packetsrequested", "packetsserved", "packetsresent", "packetsdropped",
    "playtime", "bandwidth", "connecttime", "dt_hour", "dt_dayofweek",
    "dt_month", "dt_quarter", "dt_year"};
const std::vector<std::string> kStreamingTable = {
    "timestampid", "groupid", "userip", "username", "url", "method",
    "logformat", "connecttime", "filesize", "filetime", "bytecount",
    "packetsrequested", "packetsserved", "packetsresent", "packetsdropped",
    "playtime", "clipstartoff", "clipendoff", "senttime", "bandwidth",
    "product"};
const std::vector<std::string> kSmartFilterTable = {
    "timestampid", "groupid", "userip", "username", "url", "method",
    "logformat", "category", "result"};

struct ShippedFile {
  const char* name;
  const std::vector<std::string>* table;
};
const ShippedFile kFiles[] = {
    {"datatypes.dat", &kRawTable},
    {"streaming_datatypes.dat", &kStreamingTable},
    {"smartfilter_datatypes.dat", &kSmartFilterTable},
};

std::vector<std::string> formatTexts() {
  std::vector<std::string> texts;
  for (const char* name :
       {"webaccess", "squid", "common", "combined", "straccess", "extended"}) {
    texts.emplace_back(builtInTemplate(name).formatText);
  }
  for (int count : {9, 14, 15, 16, 18, 20}) {
    texts.push_back(streamingVariantText(count));
  }
  texts.push_back(
      "#Fields: date time c-ip cs-username c-dns s-ip s-computername "
      "s-sitename s-port cs-method cs-uri-stem cs-uri-query cs-host "
      "cs-version sc-status sc-bytes cs-bytes time-taken cs(user-agent) "
      "cs(referer)");
  return texts;
}

std::unique_ptr<ColumnTable> loadShipped(const char* name) {
  auto table = std::make_unique<ColumnTable>();
  table->clear();
  RunLog quiet("parser");
  EXPECT_EQ(table->loadColumnTypes(kConfigDir + name, quiet), 0) << name;
  return table;
}

TEST(ShippedConfigTest, EveryFieldOfTheBuiltInFormatsIsKnown) {
  for (const ShippedFile& file : kFiles) {
    std::unique_ptr<ColumnTable> table = loadShipped(file.name);
    for (const std::string& text : formatTexts()) {
      ASSERT_FALSE(text.empty());
      // Names run from after the keyword to the end, blank-separated.
      std::size_t start = text.find_first_of(" =") + 1;
      while (start < text.size()) {
        std::size_t end = std::min(text.find(' ', start), text.size());
        std::string name = text.substr(start, end - start);
        EXPECT_GE(table->findColumn(name), 0) << file.name << ": " << name;
        start = end + 1;
      }
    }
    for (std::string_view derived : kDerivedNames) {
      EXPECT_GE(table->findColumn(derived), 0) << file.name << ": " << derived;
    }
    int unknown = table->findColumn("zx-unknown");
    ASSERT_GE(unknown, 0) << file.name;
    EXPECT_EQ(table->at(unknown).outputFlag, 0);
  }
}

TEST(ShippedConfigTest, LayoutsLoadOnlyTableColumnsAndNothingTwice) {
  std::string runLogPath = ::testing::TempDir() + "shipped_config_test.out";
  for (const ShippedFile& file : kFiles) {
    for (const std::string& text : formatTexts()) {
      std::unique_ptr<ColumnTable> table = loadShipped(file.name);
      RunLog runLog("parser");
      runLog.setPath(runLogPath);
      HeaderLayout layout;
      ASSERT_EQ(parseFieldsLine(text, *table, layout, runLog), 0) << text;
      buildDerivedColumns(*table, layout, runLog);
      checkDuplicateColumns(*table, layout, runLog);
      std::set<std::string> declared;
      forEachDeclaredColumn(*table, layout, [&](int index) {
        std::string dbName(table->at(index).dbName.view());
        EXPECT_TRUE(declared.insert(dbName).second)
            << file.name << ": " << dbName << " twice in " << text;
        EXPECT_NE(std::find(file.table->begin(), file.table->end(), dbName),
                  file.table->end())
            << file.name << ": " << dbName << " not in the table";
      });
      // Every layout gives the sorter its time stamp and group columns.
      EXPECT_TRUE(declared.count("timestampid")) << file.name << ": " << text;
      EXPECT_TRUE(declared.count("groupid")) << file.name << ": " << text;
    }
  }
}

TEST(ShippedConfigTest, TypesSuitTheHourlyMerge) {
  std::unique_ptr<ColumnTable> table = loadShipped("datatypes.dat");
  // Measures are averaged, so they are SQLFLOAT; the time stamp is text.
  for (const char* name : {"bytes", "sc-bytes", "time-taken",
                           "x-elapsed-milliseconds", "x-play-time"}) {
    EXPECT_EQ(table->at(table->findColumn(name)).sqlType, kSqlFloat) << name;
  }
  EXPECT_TRUE(table->at(table->findColumn("x-timestamp")).isText());
  EXPECT_EQ(table->at(table->findColumn("zx-refcount")).sqlType, kSqlInteger);
  // A separate time field is merged into the date's value, not loaded.
  EXPECT_EQ(table->at(table->findColumn("time")).outputFlag, 2);
}

TEST(ShippedConfigTest, SampleLogsConvertEveryLine) {
  struct Sample {
    const char* name;
    const char* format;      // -t
    std::string logFormat;   // -f
  };
  const std::string samplesDir = kConfigDir + "samples/";
  std::vector<Sample> samples = {
      {"squid.log", "squid", ""},
      {"w3c.log", "", ""},
      {"common.log", "common", ""},
      {"combined.log", "combined", ""},
      {"nginx.log", "combined", ""},
      {"nginx.log", "", "nginx:main"},
      {"combined.log", "", "apache:combined"},
      {"apache_custom.log", "", "apache-conf:" + samplesDir + "apache_custom.conf:vhost_timed"},
      {"nginx_custom.log", "", "nginx-conf:" + samplesDir + "nginx_custom.conf:timed"}};
  if (jsonLinesAvailable()) samples.push_back({"caddy.log", "", "json"});
  for (const auto& [name, format, logFormat] : samples) {
    SCOPED_TRACE(std::string(name) + " " + format + logFormat);
    const std::string text = readAll(kConfigDir + "samples/" + name);
    const std::string log = tempPath(name);
    writeFile(log, text);
    for (const char* suffix : {".csv", ".err", ".out"}) {
      std::remove((log + suffix).c_str());
    }
    RunOptions options;
    options.logPath = log;
    options.dataTypesPath = kConfigDir + "datatypes.dat";
    options.dbName = "oracle";
    options.logFormatName = format;
    options.logFormat = logFormat;
    RunLog runLog("parser");
    runLog.setPath(log + ".out");
    EXPECT_EQ(runParser(options, runLog), kRunOk);
    std::size_t dataLines = 0;
    for (std::size_t at = 0; at < text.size();) {
      dataLines += text[at] != '#';
      const std::size_t end = text.find('\n', at);
      if (end == std::string::npos) break;
      at = end + 1;
    }
    const std::string rows = readAll(log + ".csv");
    EXPECT_EQ(static_cast<std::size_t>(std::count(rows.begin(), rows.end(), '\n')),
              dataLines);
    EXPECT_EQ(readAll(log + ".err"), "");
    // The user field, not the ident before it, is the user.
    if (std::string_view(name) == "nginx.log") {
      EXPECT_NE(rows.find("192.0.2.140,ops,"), std::string::npos);
    }
  }
}

}  // namespace
