#include "parser/json_fields.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "common/run_log.h"
#include "common/scoped_time_zone.h"

namespace {

const std::string kConfigDir = std::string(TEST_DATA_DIR) + "/../config/";

TEST(JsonPathTest, KeysIndexesAndEscapes) {
  std::vector<JsonStep> path;
  std::string error;
  ASSERT_TRUE(parseJsonPath("request.headers.User-Agent[0]", &path, &error));
  ASSERT_EQ(path.size(), 4u);
  EXPECT_EQ(path[2].key, "User-Agent");
  EXPECT_EQ(path[3].index, 0);
  ASSERT_TRUE(parseJsonPath("http\\.request[1][2].x", &path, &error));
  ASSERT_EQ(path.size(), 4u);
  EXPECT_EQ(path[0].key, "http.request");
  EXPECT_EQ(path[2].index, 2);
  for (const char* bad : {"", "a..b", "a.", "a[x]", "a[]", "a[0]b", "a[1", "a[12345678901]"}) {
    EXPECT_FALSE(parseJsonPath(bad, &path, &error)) << bad;
  }
}

/// Reads JSON lines with the shipped raw column data types and a mapping.
class JsonLinesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!jsonLinesAvailable()) GTEST_SKIP() << "built without simdjson";
    table_ = std::make_unique<ColumnTable>();
    table_->clear();
    ASSERT_EQ(table_->loadColumnTypes(kConfigDir + "datatypes.dat", RunLog("")), 0);
  }

  /// Plans `mapping` and makes the source; false when planning fails.
  bool plan(std::string_view mapping) {
    std::vector<JsonField> fields;
    notes_.clear();
    if (!planJsonFields(mapping, *table_, &fields, &binding_, &notes_, &error_)) return false;
    source_ = makeJsonSource(fields, static_cast<int>(binding_.columns.size()));
    return source_ != nullptr;
  }

  /// The values of `line` by database column name, or the outcome's problem.
  std::map<std::string, std::string> read(std::string_view line) {
    std::vector<std::string_view> values(binding_.columns.size());
    int found = 0;
    outcome_ = source_->read(line, values.data(), &found);
    std::map<std::string, std::string> byColumn;
    if (outcome_ != SourceOutcome::kComplete) return byColumn;
    for (std::size_t p = 0; p < values.size(); ++p) {
      byColumn[std::string(table_->at(binding_.columns[p]).dbName.view())] = std::string(values[p]);
    }
    return byColumn;
  }

  std::unique_ptr<ColumnTable> table_;
  FieldBinding binding_;
  std::vector<std::string> notes_;
  std::string error_;
  std::unique_ptr<FieldSource> source_;
  SourceOutcome outcome_ = SourceOutcome::kMalformed;
};

TEST_F(JsonLinesTest, CaddyNestedObjectsArraysAndNumbers) {
  ScopedTimeZone zone("UTC");
  ASSERT_TRUE(plan("")) << error_;
  auto row = read(
      R"({"level":"info","ts":1796637600.4761,"logger":"http.log.access",)"
      R"("request":{"remote_ip":"192.0.2.44","client_ip":"198.51.100.7","proto":"HTTP/2.0",)"
      R"("method":"GET","host":"www.example.com","uri":"/a/b.html?x=1",)"
      R"j("headers":{"User-Agent":["Mozilla/4.0 (compatible; MSIE 6.0)","second"],)j"
      R"("Referer":["https://www.example.org/"]}},"user_id":"",)"
      R"("duration":0.001234567,"size":5214,"status":200,)"
      R"("resp_headers":{"Content-Type":["text/html; charset=utf-8"]}})");
  ASSERT_EQ(outcome_, SourceOutcome::kComplete) << source_->problem();
  EXPECT_EQ(row["userip"], "198.51.100.7");  // client_ip outranks remote_ip
  EXPECT_EQ(row["timestampid"], "1796637600.4761");
  EXPECT_EQ(row["url"], "/a/b.html?x=1");
  EXPECT_EQ(row["method"], "GET");
  EXPECT_EQ(row["protocol"], "HTTP/2.0");
  EXPECT_EQ(row["browser"], "Mozilla/4.0 (compatible; MSIE 6.0)");  // the first
  EXPECT_EQ(row["referrer"], "https://www.example.org/");
  EXPECT_EQ(row["responsetime"], "0.001235");
  EXPECT_EQ(row["bytecount"], "5214");
  EXPECT_EQ(row["status"], "200");
  EXPECT_EQ(row["contenttype"], "text/html; charset=utf-8");
  EXPECT_EQ(row["username"], "");
}

TEST_F(JsonLinesTest, NginxKeysInAnyOrderStringsEscapesAndMissingKeys) {
  ScopedTimeZone zone("UTC");
  ASSERT_TRUE(plan("")) << error_;
  auto row = read(
      R"({"status":"404","request_time":"0.120","request":"GET /a\"b\\c\u00e9 HTTP/1.1",)"
      R"("http_user_agent":"curl\/8.0\n\t","time_local":"07/Dec/2026:11:00:00 +0100",)"
      R"("remote_addr":"192.0.2.9","body_bytes_sent":"-"})"
      "\r\n");
  ASSERT_EQ(outcome_, SourceOutcome::kComplete) << source_->problem();
  EXPECT_EQ(row["status"], "404");
  EXPECT_EQ(row["responsetime"], "0.120000");
  EXPECT_EQ(row["url"], "GET /a\"b\\c\xc3\xa9 HTTP/1.1");  // decoded
  EXPECT_EQ(row["browser"], "curl/8.0\\x0A\\x09");         // controls as nginx writes them
  EXPECT_EQ(row["timestampid"], "1796637600");
  EXPECT_EQ(row["bytecount"], "-");
  EXPECT_EQ(row["referrer"], "-");  // missing
  // The first key of a column that a line has gives its value.
  row = read(R"({"msec":"1796637600.5","request_uri":"/only/uri?q","remote_addr":null})");
  EXPECT_EQ(row["timestampid"], "1796637600.5");
  EXPECT_EQ(row["url"], "/only/uri?q");
  EXPECT_EQ(row["userip"], "-");  // null is absent
  row = read(R"({"request":"GET /x.html?y HTTP/1.0","request_uri":"/other"})");
  EXPECT_EQ(row["url"], "GET /x.html?y HTTP/1.0");
}

TEST_F(JsonLinesTest, UserMappingAddsRenamesAndDropsKeys) {
  ScopedTimeZone zone("UTC");
  ASSERT_TRUE(plan("t=x-timestamp,who.ip=c-ip,took=%D,url=cs-uri,ms=$request_time,"
                   "remote_addr=-,path=x-request-line,when=%{%d.%m.%Y %H:%M}t,none=cs-host"))
      << error_;
  EXPECT_EQ(notes_, (std::vector<std::string>{
                        "none: the column data types file does not load cs-host"}));
  auto row = read(R"({"t":"2026-12-07T10:00:00Z","who":{"ip":"10.1.1.1"},"took":1500000,)"
                  R"("remote_addr":"10.9.9.9","request":"GET /r.html?a HTTP/1.1"})");
  ASSERT_EQ(outcome_, SourceOutcome::kComplete) << source_->problem();
  EXPECT_EQ(row["timestampid"], "1796637600");
  EXPECT_EQ(row["userip"], "10.1.1.1");
  EXPECT_EQ(row["responsetime"], "1.500000");
  // A request line standing in for a URL column gives its URL.
  EXPECT_EQ(row["url"], "/r.html");
  row = read(R"({"when":"07.12.2026 10:00","remote_addr":"10.9.9.9"})");
  EXPECT_EQ(row["timestampid"], "1796637600");
  EXPECT_EQ(row["userip"], "-");  // remote_addr left unread
  for (const char* bad : {"t", "=x", "a=%Q", "a[x]=c-ip", "a=%h %u"}) {
    EXPECT_FALSE(plan(bad)) << bad;
  }
}

TEST_F(JsonLinesTest, KeysAreMatchedDecoded) {
  ASSERT_TRUE(plan(R"(a\\b=c-ip)")) << error_;  // the key a\b
  auto row = read(R"({"st\u0061tus":"201","a\\b":"10.0.0.1"})");
  EXPECT_EQ(row["status"], "201");
  EXPECT_EQ(row["userip"], "10.0.0.1");
  ASSERT_TRUE(plan(R"(a\\\\b=c-ip)")) << error_;  // the key a\\b
  EXPECT_EQ(read(R"({"a\\b":"10.0.0.2"})")["userip"], "-");  // decodes to a\b
  EXPECT_EQ(read(R"({"a\\\\b":"10.0.0.3"})")["userip"], "10.0.0.3");
}

TEST_F(JsonLinesTest, MalformedLinesSayWhy) {
  ASSERT_TRUE(plan("")) << error_;
  struct Case {
    const char* line;
    const char* problem;
  };
  for (const Case& c : std::vector<Case>{
           {"[1,2]", "at byte 1: the line is not a JSON object"},
           {R"({"status":200} {"x":1})", "at byte 16: text after the JSON object"},
           {R"({"status":tru})", "not valid JSON"},
           {R"({"status":01})", "not valid JSON"},
           {R"({"status":"200)", "not valid JSON"},
           {"plain text", "the line is not a JSON object"}}) {
    read(c.line);
    EXPECT_EQ(outcome_, SourceOutcome::kMalformed) << c.line;
    EXPECT_NE(std::string(source_->problem()).find(c.problem), std::string::npos)
        << c.line << ": " << source_->problem();
  }
  // What a mapping does not read is not looked at.
  read(R"({"status":200,"unread":[1,{"deep":[true,null]}],"big":123456789012345678901234567890})");
  EXPECT_EQ(outcome_, SourceOutcome::kComplete) << source_->problem();
}

}  // namespace
