#include "parser/layout_matcher.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/scoped_time_zone.h"
#include "parser/stock_formats.h"

namespace {

struct Reading {
  SourceOutcome outcome = SourceOutcome::kMalformed;
  std::vector<std::string> values;
  std::string problem;
};

// Reads `line` by `format`; every directive is loaded, in order.
Reading readLine(ServerKind server, std::string_view format, std::string_view line,
                 EscapeStyle escapes = EscapeStyle::kBackslash) {
  FormatDefinition definition;
  std::string error;
  bool compiled = server == ServerKind::kApache
                      ? compileApacheFormat(format, &definition, &error)
                      : compileNginxFormat(format, escapes, &definition, &error);
  EXPECT_TRUE(compiled) << error;
  std::vector<int> positions;
  for (std::size_t i = 0; i < definition.items.size(); ++i) {
    positions.push_back(static_cast<int>(i));
  }
  LayoutMatcher matcher(definition, positions);
  std::vector<std::string_view> values(positions.size(), "?");
  int found = 0;
  Reading reading;
  reading.outcome = matcher.read(line, values.data(), &found);
  for (std::string_view value : values) reading.values.emplace_back(value);
  reading.problem = std::string(matcher.problem());
  return reading;
}

using Values = std::vector<std::string>;

TEST(LayoutMatcherTest, ValuesRunToTheirRealEndAndKeepTheirEscapes) {
  ScopedTimeZone zone("UTC");
  Reading apache = readLine(
      ServerKind::kApache, stockFormat(ServerKind::kApache, "combined"),
      R"(192.0.2.1 - bob [07/Dec/2026:11:00:00 +0100] "GET /a\"b HTTP/1.1" 200 - )"
      R"("http://x/\\" "Mozilla \"quoted\" 5.0")"
      "\r\n");
  ASSERT_EQ(apache.outcome, SourceOutcome::kComplete) << apache.problem;
  EXPECT_EQ(apache.values,
            (Values{"192.0.2.1", "-", "bob", "[07/Dec/2026:11:00:00 +0100]",
                    R"(GET /a\"b HTTP/1.1)", "200", "-", R"(http://x/\\)",
                    R"(Mozilla \"quoted\" 5.0)"}));
  Reading nginx = readLine(
      ServerKind::kNginx, stockFormat(ServerKind::kNginx, "main"),
      R"(192.0.2.1 - - [07/Dec/2026:11:00:00 +0100] "GET /a\x22b HTTP/1.1" 200 5 "-" )"
      R"("curl/8.0 \x5C" "-")"
      "\n");
  ASSERT_EQ(nginx.outcome, SourceOutcome::kComplete) << nginx.problem;
  EXPECT_EQ(nginx.values, (Values{"192.0.2.1", "-", "[07/Dec/2026:11:00:00 +0100]",
                                  R"(GET /a\x22b HTTP/1.1)", "200", "5", "-",
                                  R"(curl/8.0 \x5C)", "-"}));
  // Unescaped values: the closing quote is the one the rest of the line
  // fits after.
  Reading raw = readLine(ServerKind::kNginx, R"("$request" $status)",
                         R"("GET /a" 200 b HTTP/1.1" 404)", EscapeStyle::kNone);
  ASSERT_EQ(raw.outcome, SourceOutcome::kComplete) << raw.problem;
  EXPECT_EQ(raw.values, (Values{R"(GET /a" 200 b HTTP/1.1)", "404"}));
}

TEST(LayoutMatcherTest, ValuesWithoutQuotesEndWhereTheRestFits) {
  EXPECT_EQ(readLine(ServerKind::kApache, "%h %r %>s %b", "10.0.0.1 GET /x HTTP/1.0 200 5").values,
            (Values{"10.0.0.1", "GET /x HTTP/1.0", "200", "5"}));
  EXPECT_EQ(readLine(ServerKind::kApache, "%a:%p %>s", "::1:8080 200").values,
            (Values{"::1", "8080", "200"}));
  EXPECT_EQ(readLine(ServerKind::kApache, "%{Referer}i -> %U", "http://a/ -> b -> /c.html").values,
            (Values{"http://a/", "b -> /c.html"}));
}

TEST(LayoutMatcherTest, ConvertsTimesAndDurations) {
  ScopedTimeZone zone("UTC");
  EXPECT_EQ(readLine(ServerKind::kApache, "%{sec}t.%{msec_frac}t %D %T %{ms}T",
                     "1796637600.123 1500000 2 250")
                .values,
            (Values{"1796637600", "123", "1.500000", "2.000000", "0.250000"}));
  // A stamp spread over several directives; the first one carries it.
  Reading spread = readLine(ServerKind::kApache,
                            "[%{%d/%b/%Y:%H:%M:%S}t.%{msec_frac}t %{%z}t] %{msec}t",
                            "[07/Dec/2026:11:00:00.123 +0100] 1796637600999");
  ASSERT_EQ(spread.outcome, SourceOutcome::kComplete) << spread.problem;
  EXPECT_EQ(spread.values, (Values{"1796637600", "123", "?", "1796637600"}));
  EXPECT_EQ(readLine(ServerKind::kNginx, "[$time_local] $time_iso8601 $msec $request_time",
                     "[07/Dec/2026:11:00:00 +0100] 2026-12-07T10:00:00+00:00 1796637600.5 0.120")
                .values,
            (Values{"[07/Dec/2026:11:00:00 +0100]", "1796637600", "1796637600.5", "0.120000"}));
  // "-" stands for any absent value.
  EXPECT_EQ(readLine(ServerKind::kApache, "%t %{%F}t %b", "- - -").values,
            (Values{"-", "-", "-"}));
}

TEST(LayoutMatcherTest, SaysWhereALineDoesNotFit) {
  const std::string_view combined = stockFormat(ServerKind::kApache, "combined");
  const std::string head = R"(192.0.2.1 - - [07/Dec/2026:11:00:00 +0100] "GET / HTTP/1.1" )";
  struct Case {
    std::string line;
    SourceOutcome outcome;
    std::string problem;
  };
  const Case cases[] = {
      {head + R"(200 512 7 "-" "curl")", SourceOutcome::kMalformed,
       R"(at byte 69: ' "' expected after %b, found '7 "-" "curl"')"},
      {head + R"(OK 512 "-" "curl")", SourceOutcome::kMalformed,
       "at byte 61: %>s expected a number, found 'OK 512 \"-\" \"'"},
      {head + R"(200 512 "-" "curl" 0.5)", SourceOutcome::kMalformed,
       "at byte 79: text after the end of the format, found ' 0.5'"},
      {"192.0.2.1 - - 07/Dec/2026", SourceOutcome::kMalformed,
       "at byte 15: %t expected '[', found '07/Dec/2026'"},
      {head + R"(200 512 "-" "cu)", SourceOutcome::kShort,
       R"(at byte 76: the line ends before '"' after %{User-Agent}i)"},
      {head + "200 512", SourceOutcome::kShort,
       R"(at byte 68: ' "' expected after %b, the line ends there)"},
  };
  for (const Case& c : cases) {
    Reading reading = readLine(ServerKind::kApache, combined, c.line);
    EXPECT_EQ(reading.outcome, c.outcome) << c.line;
    EXPECT_EQ(reading.problem, c.problem) << c.line;
  }
  EXPECT_EQ(readLine(ServerKind::kNginx, "[$time_local]", "[7 Dec]").problem,
            "at byte 2: $time_local expected a time like %d/%b/%Y:%H:%M:%S %z, found '7 Dec]'");
  // Text directives with nothing between them could end anywhere: the
  // search gives up instead of running for ever.
  Reading ambiguous =
      readLine(ServerKind::kApache, "%r%r%r%r%r%r%r%r%r|", std::string(60, 'a'));
  EXPECT_EQ(ambiguous.outcome, SourceOutcome::kMalformed);
  EXPECT_EQ(ambiguous.problem, "the line fits the format in too many ways to try them all");
}

}  // namespace
