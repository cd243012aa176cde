#include "parser/format_definition.h"

#include <gtest/gtest.h>

#include <string>

#include "parser/log_format.h"
#include "parser/stock_formats.h"

namespace {

using C = ValueConversion;

struct Expected {
  const char* directive;
  const char* field;
  C conversion = C::kNone;
};

void expectMappings(const FormatDefinition& definition, const std::vector<Expected>& expected) {
  ASSERT_EQ(definition.items.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const FormatItem& item = definition.items[i];
    EXPECT_EQ(item.directive, expected[i].directive);
    EXPECT_EQ(item.mapping.field, expected[i].field) << item.directive;
    EXPECT_EQ(item.mapping.conversion, expected[i].conversion) << item.directive;
  }
}

TEST(ApacheFormatTest, MapsEveryDirectiveToItsField) {
  FormatDefinition definition;
  std::string error;
  ASSERT_TRUE(compileApacheFormat(
      "%h %a %{c}a %A %l %u %t %{sec}t %{msec}t %{usec}t %{msec_frac}t %{end:usec_frac}t "
      "%{%d/%b/%Y %T}t %r %m %U %q %H %>s %s %400,501b %B %O %I %S %D %T %{ms}T %{us}T "
      "%v %V %p %L %k %{Referer}i %{User-Agent}i %{Host}i %{X-Forwarded-For}i "
      "%{Content-Type}o %{X-Trace}^ti",
      &definition, &error))
      << error;
  expectMappings(definition,
                 {{"%h", "c-ip"},
                  {"%a", "c-ip"},
                  {"%{c}a", "c-ip"},
                  {"%A", "s-ip"},
                  {"%l", ""},
                  {"%u", "x-username"},
                  {"%t", "x-localtime"},
                  {"%{sec}t", "x-timestamp"},
                  {"%{msec}t", "x-timestamp", C::kEpochMilliseconds},
                  {"%{usec}t", "x-timestamp", C::kEpochMicroseconds},
                  {"%{msec_frac}t", ""},
                  {"%{end:usec_frac}t", ""},
                  {"%{%d/%b/%Y %T}t", "x-timestamp", C::kTimePattern},
                  {"%r", "x-request-line"},
                  {"%m", "cs-method"},
                  {"%U", "cs-uri-stem"},
                  {"%q", "cs-uri-query"},
                  {"%H", "cs-version"},
                  {"%>s", "sc-status"},
                  {"%s", "sc-status"},
                  {"%400,501b", "x-sc-contentlength"},
                  {"%B", "x-sc-contentlength"},
                  {"%O", "sc-bytes"},
                  {"%I", "cs-bytes"},
                  {"%S", ""},
                  {"%D", "time-taken", C::kMicroseconds},
                  {"%T", "time-taken", C::kSeconds},
                  {"%{ms}T", "time-taken", C::kMilliseconds},
                  {"%{us}T", "time-taken", C::kMicroseconds},
                  {"%v", "s-sitename"},
                  {"%V", "cs-host"},
                  {"%p", "s-port"},
                  {"%L", ""},
                  {"%k", ""},
                  {"%{Referer}i", "cs(referer)"},
                  {"%{User-Agent}i", "cs(user-agent)"},
                  {"%{Host}i", "cs-host"},
                  {"%{X-Forwarded-For}i", "cs(x-forwarded-for)"},
                  {"%{Content-Type}o", "rs(content-type)"},
                  {"%{X-Trace}^ti", ""}});
  // The final status outranks the original one, %a the host name.
  EXPECT_LT(definition.items[18].mapping.rank, definition.items[19].mapping.rank);
  EXPECT_LT(definition.items[1].mapping.rank, definition.items[0].mapping.rank);
}

TEST(ApacheFormatTest, LiteralsEscapesAndErrors) {
  FormatDefinition definition;
  std::string error;
  ASSERT_TRUE(compileApacheFormat("[%h]\\t%u\\\\n%%", &definition, &error));
  ASSERT_EQ(definition.items.size(), 2u);
  EXPECT_EQ(definition.items[0].literal, "[");
  EXPECT_EQ(definition.items[1].literal, "]\t");
  EXPECT_EQ(definition.trailing, "\\n%");
  for (auto [format, message] : std::vector<std::pair<const char*, const char*>>{
           {"%h %Q", "unknown directive %Q"},
           {"%h %{Referer", "a '{' without its '}' in %{Referer"},
           {"%h %", "a directive without its letter at the end: %"},
           {"%{xs}T", "%{xs}T: the unit must be s, ms or us"},
           {"%{%Y-%q}t", "time conversion %q not understood"},
           {"%^tx", "unknown directive %^tx"},
           {"no directive %%", "the format has no directive"}}) {
    EXPECT_FALSE(compileApacheFormat(format, &definition, &error)) << format;
    EXPECT_EQ(error, message);
  }
}

TEST(NginxFormatTest, MapsVariablesAndHeaders) {
  FormatDefinition definition;
  std::string error;
  ASSERT_TRUE(compileNginxFormat(
      "$remote_addr $realip_remote_addr $remote_user [$time_local] $time_iso8601 $msec "
      "\"$request\" $request_method $request_uri $uri $args $query_string $server_protocol "
      "$status $body_bytes_sent $bytes_sent $request_length $request_time "
      "$upstream_response_time $upstream_addr $upstream_status $host $server_name "
      "$scheme \"$http_referer\" \"$http_user_agent\" $http_x_forwarded_for "
      "${HTTP_ACCEPT_LANGUAGE}x $sent_http_content_type",
      EscapeStyle::kBackslash, &definition, &error))
      << error;
  expectMappings(definition, {{"$remote_addr", "c-ip"},
                              {"$realip_remote_addr", "c-ip"},
                              {"$remote_user", "x-username"},
                              {"$time_local", "x-localtime", C::kBracketed},
                              {"$time_iso8601", "x-timestamp", C::kIsoTime},
                              {"$msec", "x-timestamp"},
                              {"$request", "x-request-line"},
                              {"$request_method", "cs-method"},
                              {"$request_uri", "cs-uri"},
                              {"$uri", "cs-uri-stem"},
                              {"$args", "cs-uri-query"},
                              {"$query_string", "cs-uri-query"},
                              {"$server_protocol", "cs-version"},
                              {"$status", "sc-status"},
                              {"$body_bytes_sent", "x-sc-contentlength"},
                              {"$bytes_sent", "sc-bytes"},
                              {"$request_length", "cs-bytes"},
                              {"$request_time", "time-taken", C::kSeconds},
                              {"$upstream_response_time", ""},
                              {"$upstream_addr", ""},
                              {"$upstream_status", ""},
                              {"$host", "cs-host"},
                              {"$server_name", "s-sitename"},
                              {"$scheme", ""},
                              {"$http_referer", "cs(referer)"},
                              {"$http_user_agent", "cs(user-agent)"},
                              {"$http_x_forwarded_for", "cs(x-forwarded-for)"},
                              {"${HTTP_ACCEPT_LANGUAGE}", "cs(accept-language)"},
                              {"$sent_http_content_type", "rs(content-type)"}});
  EXPECT_EQ(definition.items[28].literal, "x ");
  EXPECT_FALSE(compileNginxFormat("$remote_addr $ x", EscapeStyle::kBackslash, &definition, &error));
  EXPECT_EQ(error, "a '$' without a variable name at character 14");
  EXPECT_FALSE(compileNginxFormat("${remote_addr", EscapeStyle::kBackslash, &definition, &error));
}

TEST(StockFormatTest, EveryStockFormatCompiles) {
  const std::pair<ServerKind, std::vector<std::pair<const char*, std::size_t>>> stocks[] = {
      {ServerKind::kApache,
       {{"common", 7}, {"combined", 9}, {"vhost_combined", 11}, {"combinedio", 11},
        {"referer", 2}, {"agent", 1}}},
      {ServerKind::kNginx, {{"combined", 8}, {"main", 9}}}};
  for (const auto& [server, names] : stocks) {
    for (const auto& [name, directives] : names) {
      std::string_view format = stockFormat(server, name);
      FormatDefinition definition;
      std::string error;
      bool compiled = server == ServerKind::kApache
                          ? compileApacheFormat(format, &definition, &error)
                          : compileNginxFormat(format, EscapeStyle::kBackslash, &definition, &error);
      EXPECT_TRUE(compiled) << name << ": " << error;
      EXPECT_EQ(definition.items.size(), directives) << name;
    }
  }
  EXPECT_TRUE(stockFormat(ServerKind::kNginx, "common").empty());
  EXPECT_EQ(stockFormatNames(ServerKind::kNginx), "combined, main");
}

TEST(FormatArgumentTest, ReadsTheFormatAsTheConfigurationHoldsIt) {
  const std::string combined = R"(%h %l %u %t "%r" %>s %b)";
  EXPECT_EQ(apacheFormatArgument(R"(%h %l %u %t \"%r\" %>s %b)"), combined);
  EXPECT_EQ(apacheFormatArgument(R"("%h %l %u %t \"%r\" %>s %b")"), combined);
  EXPECT_EQ(apacheFormatArgument(R"(  '%h %l %u %t "%r" %>s %b' )"), combined);
  EXPECT_EQ(apacheFormatArgument(R"(LogFormat "%h %l %u %t \"%r\" %>s %b" common)"), combined);
  // Quotes that belong to the format stay.
  EXPECT_EQ(apacheFormatArgument(R"("%r" %>s "%{Referer}i")"), R"("%r" %>s "%{Referer}i")");

  std::string format;
  EscapeStyle escapes;
  const std::string main = R"($remote_addr - [$time_local] "$request" $status)";
  nginxFormatArgument(R"('$remote_addr - [$time_local] ' '"$request" $status')", &format, &escapes);
  EXPECT_EQ(format, main);
  EXPECT_EQ(escapes, EscapeStyle::kBackslash);
  nginxFormatArgument(R"(log_format x escape=none '$remote_addr - [$time_local] "$request" $status';)",
                      &format, &escapes);
  EXPECT_EQ(format, main);
  EXPECT_EQ(escapes, EscapeStyle::kNone);
  nginxFormatArgument(R"("$remote_addr - [$time_local] \"$request\" $status")", &format, &escapes);
  EXPECT_EQ(format, main);
  nginxFormatArgument(main, &format, &escapes);
  EXPECT_EQ(format, main);
  // Double-quoted parts are literal quotes unless there is only one.
  nginxFormatArgument(R"("$request" "$http_user_agent")", &format, &escapes);
  EXPECT_EQ(format, R"("$request" "$http_user_agent")");
}

}  // namespace
