#include "parser/log_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>

#include "common/platform.h"
#include "common/run_log.h"
#include "common/scoped_time_zone.h"
#include "common/test_files.h"
#include "parser/header.h"
#include "parser/identifier_tables.h"
#include "parser/json_fields.h"
#include "parser/row_builder.h"

namespace {

const std::string kConfigDir = std::string(TEST_DATA_DIR) + "/../config/";

TEST(LogFormatOptionTest, ReadsEveryForm) {
  using Kind = LogFormatChoice::Kind;
  LogFormatChoice choice;
  std::string error;
  ASSERT_TRUE(parseLogFormatOption("apache:%h %l", &choice, &error));
  EXPECT_EQ(choice.kind, Kind::kApache);
  EXPECT_EQ(choice.text, "%h %l");
  ASSERT_TRUE(parseLogFormatOption("nginx:main", &choice, &error));
  EXPECT_EQ(choice.kind, Kind::kNginx);
  // The name follows the last ':', so a path may hold colons.
  ASSERT_TRUE(parseLogFormatOption("nginx-conf:C:\\nginx\\conf\\nginx.conf:main", &choice, &error));
  EXPECT_EQ(choice.kind, Kind::kNginxConfig);
  EXPECT_EQ(choice.file, "C:\\nginx\\conf\\nginx.conf");
  EXPECT_EQ(choice.name, "main");
  ASSERT_TRUE(parseLogFormatOption("apache-conf:/etc/apache2/apache2.conf:vhost_combined",
                                   &choice, &error));
  EXPECT_EQ(choice.kind, Kind::kApacheConfig);
  ASSERT_TRUE(parseLogFormatOption("json", &choice, &error));
  EXPECT_EQ(choice.kind, Kind::kJson);
  ASSERT_TRUE(parseLogFormatOption("json:ts=x-timestamp", &choice, &error));
  EXPECT_EQ(choice.text, "ts=x-timestamp");
  for (const char* bad : {"", "combined", "apache:", "nginx: ", "jsonl", "apache-conf:x.conf",
                          "nginx-conf::main", "nginx-conf:x.conf:", "Apache:combined"}) {
    EXPECT_FALSE(parseLogFormatOption(bad, &choice, &error)) << bad;
  }
}

/// A shipped column data types file, loaded.
std::unique_ptr<ColumnTable> loadTypes(const std::string& name) {
  auto table = std::make_unique<ColumnTable>();
  table->clear();
  EXPECT_EQ(table->loadColumnTypes(kConfigDir + name, RunLog("")), 0);
  return table;
}

/// Builds the layout of an -f value; empty source with `*error` set on failure.
std::unique_ptr<FieldSource> build(std::string_view value, const ColumnTable& table,
                                   HeaderLayout& layout, std::string* error) {
  LogFormatChoice choice;
  if (!parseLogFormatOption(value, &choice, error)) return nullptr;
  return buildLogFormat(choice, table, layout, RunLog(""), error);
}

TEST(LogFormatLayoutTest, LoadsOnlyTableColumnsAndATimeStamp) {
  std::vector<std::string> values = {"apache:common", "apache:combined", "apache:vhost_combined",
                                     "apache:combinedio", "apache:referer", "apache:agent",
                                     "nginx:combined", "nginx:main",
                                     "apache:%a %{%F %T}t %{%z}t %D %{Content-Type}o"};
  if (jsonLinesAvailable()) values.push_back("json");
  for (const char* types : {"datatypes.dat", "smartfilter_datatypes.dat", "streaming_datatypes.dat"}) {
    for (const std::string& value : values) {
      std::unique_ptr<ColumnTable> table = loadTypes(types);
      HeaderLayout layout;
      std::string error;
      if (build(value, *table, layout, &error) == nullptr) {
        // Only the referer and agent formats may load nothing at all.
        EXPECT_EQ(error, "no value of the format is loaded by the column data types file")
            << types << " " << value;
        EXPECT_TRUE(value == "apache:referer" || value == "apache:agent") << value;
        continue;
      }
      buildDerivedColumns(*table, layout, RunLog(""));
      checkDuplicateColumns(*table, layout, RunLog(""));
      std::set<std::string> declared;
      forEachDeclaredColumn(*table, layout, [&](int index) {
        EXPECT_TRUE(declared.insert(std::string(table->at(index).dbName.view())).second)
            << types << " " << value << ": " << table->at(index).dbName.view() << " twice";
      });
      if (value != "apache:referer" && value != "apache:agent") {
        EXPECT_TRUE(declared.count("timestampid")) << types << " " << value;
      }
      EXPECT_EQ(layout.logTypeName, "http");
    }
  }
  std::unique_ptr<ColumnTable> table = loadTypes("datatypes.dat");
  HeaderLayout layout;
  std::string error;
  ASSERT_NE(build("nginx:main", *table, layout, &error), nullptr) << error;
  EXPECT_EQ(layout.headerLine,
            "#Fields: c-ip x-username x-localtime x-request-line sc-status x-sc-contentlength "
            "cs(referer) cs(user-agent)");
  EXPECT_EQ(build("nginx:short", *table, layout, &error), nullptr);
  EXPECT_EQ(error, "no nginx stock format named 'short' (stock formats: combined, main)");
  EXPECT_EQ(build("apache:%h %Z", *table, layout, &error), nullptr);
  EXPECT_EQ(error, "Apache format: unknown directive %Z");
  if (!jsonLinesAvailable()) {
    EXPECT_EQ(build("json", *table, layout, &error), nullptr);
    EXPECT_EQ(error, "JSON lines cannot be read: this parser was built without simdjson");
  }
}

/// The rows a layout makes of `lines` with the shipped raw column data
/// types, for Sybase (quoted text values).
std::vector<std::string> rowsOf(std::string_view value, const std::vector<std::string>& lines) {
  std::unique_ptr<ColumnTable> table = loadTypes("datatypes.dat");
  IdentifierTables ids;
  ids.load(kConfigDir + "datatypes.dat.id");
  RunLog quiet("");
  HeaderLayout layout;
  std::string error;
  std::unique_ptr<FieldSource> source;
  if (value.starts_with("-t ")) {
    EXPECT_EQ(useBuiltInTemplate(builtInTemplate(value.substr(3)), *table, layout, quiet), 0);
  } else if (value.starts_with("#Fields:")) {
    EXPECT_EQ(parseFieldsLine(value, *table, layout, quiet), 0);
  } else {
    source = build(value, *table, layout, &error);
    EXPECT_NE(source, nullptr) << error;
    if (source == nullptr) return {};
  }
  buildDerivedColumns(*table, layout, quiet);
  checkDuplicateColumns(*table, layout, quiet);
  auto builder = std::make_unique<RowBuilder>(*table, layout, ids, DbKind::Sybase,
                                              DataSet::Raw, quiet);
  if (source != nullptr) builder->setFieldSource(source.get());
  std::vector<std::string> rows;
  RunCounters counters;
  for (const std::string& line : lines) {
    LineResult result = builder->convertLine(line, counters);
    if (result.malformed || static_cast<std::size_t>(result.fieldCount) != layout.headerFields.size()) {
      rows.push_back("rejected: " + std::string(result.problem));
      continue;
    }
    builder->finishRow();
    rows.emplace_back(builder->row());
  }
  return rows;
}

TEST(LogFormatRowsTest, DefinitionsGiveTheRowsOfTheFieldsTheyStandFor) {
  ScopedTimeZone zone("UTC-1");  // one hour east, as POSIX writes it
  if (platform::standardOffsetWest() != -3600) GTEST_SKIP() << "zone not settable";
  const std::vector<std::string> lines = {
      "192.0.2.44 - carol [07/Dec/2026:09:11:05 +0100] \"GET /index.html HTTP/1.1\" 200 9794 "
      "\"-\" \"Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\"\r\n",
      "192.0.2.10 - - [07/Jul/2026:23:59:59 -0700] \"GET http://www.example.com/a,b/c.GIF?x=1 "
      "HTTP/1.0\" 304 - \"http://search.example.net/q?x\" \"curl/8.0\"\n",
      "2001:db8::1 - 'o,neil' [07/Dec/2026:09:11:05 +0100] \"POST /f\\\"o HTTP/1.1\" 404 0 "
      "\"-\" \"Mozilla \\\"x\\\"\"",
  };
  // The built-in combined layout reads the same lines to the same rows.
  const std::vector<std::string> expected = rowsOf("-t combined", lines);
  ASSERT_EQ(expected.size(), 3u);
  EXPECT_EQ(expected[0],
            "'192.0.2.44','carol','2026-12-07 09:11:05.000','/index.html',200,9794,'-','MSIE',"
            "'-','-',0,'-',0,'WinNT','html','-',9,2,12,4,2026,0,1\r\n");
  EXPECT_EQ(rowsOf("apache:combined", lines), expected);
  EXPECT_EQ(rowsOf("nginx:combined", lines), expected);
  EXPECT_EQ(rowsOf("apache:%h %l %u [%{%d/%b/%Y:%H:%M:%S}t %{%z}t] \"%r\" %>s %b "
                   "\"%{Referer}i\" \"%{User-Agent}i\"",
                   lines),
            expected);
  std::vector<std::string> withTime = lines;
  for (std::string& line : withTime) {
    line.insert(line.find_last_not_of("\r\n") + 1, " \"-\"");
  }
  EXPECT_EQ(rowsOf("nginx:main", withTime), expected);
  EXPECT_EQ(rowsOf("-t combined", withTime), expected);
}

}  // namespace
