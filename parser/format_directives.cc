#include "parser/format_directives.h"

#include <array>

namespace {

/// The common log format's time as nginx writes $time_local.
constexpr std::string_view kLocalTimeFormat = "%d/%b/%Y:%H:%M:%S %z";

DirectiveMapping mapped(std::string_view field, ValueShape shape, int rank = 0,
                        ValueConversion conversion = ValueConversion::kNone) {
  DirectiveMapping mapping;
  mapping.field = std::string(field);
  mapping.shape = shape;
  mapping.rank = rank;
  mapping.conversion = conversion;
  return mapping;
}

DirectiveMapping skipped(ValueShape shape) { return mapped("", shape); }

std::string lowerAscii(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lowered;
}

/// The field of a response header ("rs(content-type)").
std::string responseHeaderField(std::string_view header) {
  return "rs(" + lowerAscii(header) + ")";
}

/// Apache's %{FORMAT}t: seconds, milliseconds or microseconds since 1970,
/// their fractions (not loaded) or a strftime format.
bool apacheTime(std::string_view argument, DirectiveMapping* mapping,
                std::string* error) {
  if (argument.starts_with("begin:")) {
    argument.remove_prefix(6);
  } else if (argument.starts_with("end:")) {
    argument.remove_prefix(4);
  }
  if (argument == "sec") {
    *mapping = mapped("x-timestamp", ValueShape::kNumber);
  } else if (argument == "msec") {
    *mapping = mapped("x-timestamp", ValueShape::kNumber, 0,
                      ValueConversion::kEpochMilliseconds);
  } else if (argument == "usec") {
    *mapping = mapped("x-timestamp", ValueShape::kNumber, 0,
                      ValueConversion::kEpochMicroseconds);
  } else if (argument == "msec_frac" || argument == "usec_frac") {
    *mapping = skipped(ValueShape::kNumber);
  } else {
    TimePattern pattern;
    if (!pattern.compile(argument, error)) return false;
    if (pattern.empty()) {
      *error = "an empty time format";
      return false;
    }
    *mapping = mapped("x-timestamp", ValueShape::kTime, 0,
                      ValueConversion::kTimePattern);
    mapping->timeFormat = std::string(argument);
  }
  return true;
}

}  // namespace

std::string requestHeaderField(std::string_view header) {
  std::string name = lowerAscii(header);
  if (name == "host") return "cs-host";
  return "cs(" + name + ")";
}

bool apacheDirective(char letter, bool hasArgument, std::string_view argument,
                     bool final, DirectiveMapping* mapping, std::string* error) {
  using S = ValueShape;
  using C = ValueConversion;
  switch (letter) {
    case 'a':
      *mapping = mapped("c-ip", S::kToken, argument == "c" ? 2 : 0);
      return true;
    case 'h':
      *mapping = mapped("c-ip", S::kToken, argument == "c" ? 3 : 1);
      return true;
    case 'A': *mapping = mapped("s-ip", S::kToken); return true;
    case 'b': case 'B':
      *mapping = mapped("x-sc-contentlength", S::kNumber);
      return true;
    case 'O': *mapping = mapped("sc-bytes", S::kNumber, 2); return true;
    case 'I': *mapping = mapped("cs-bytes", S::kNumber); return true;
    case 'S': case 'k': *mapping = skipped(S::kNumber); return true;
    case 'D':
      *mapping = mapped("time-taken", S::kNumber, 0, C::kMicroseconds);
      return true;
    case 'T':
      if (!hasArgument || argument == "s") {
        *mapping = mapped("time-taken", S::kNumber, 2, C::kSeconds);
      } else if (argument == "ms") {
        *mapping = mapped("time-taken", S::kNumber, 1, C::kMilliseconds);
      } else if (argument == "us") {
        *mapping = mapped("time-taken", S::kNumber, 0, C::kMicroseconds);
      } else {
        *error = "%{" + std::string(argument) + "}T: the unit must be s, ms or us";
        return false;
      }
      return true;
    case 'H': *mapping = mapped("cs-version", S::kToken); return true;
    case 'm': *mapping = mapped("cs-method", S::kToken); return true;
    case 'q': *mapping = mapped("cs-uri-query", S::kText); return true;
    case 'r': *mapping = mapped("x-request-line", S::kText); return true;
    case 'U': *mapping = mapped("cs-uri-stem", S::kText, 2); return true;
    case 's':
      *mapping = mapped("sc-status", S::kNumber, final ? 0 : 1);
      return true;
    case 'u': *mapping = mapped("x-username", S::kText); return true;
    case 'v': *mapping = mapped("s-sitename", S::kToken); return true;
    case 'V': *mapping = mapped("cs-host", S::kToken, 1); return true;
    case 'p':
      *mapping = argument == "remote" ? skipped(S::kNumber)
                                       : mapped("s-port", S::kNumber);
      return true;
    case 'l': case 'L': case 'R': case 'X': case 'P':
      *mapping = skipped(S::kToken);
      return true;
    case 'C': case 'e': case 'f': case 'n': case '^':
      *mapping = skipped(S::kText);
      return true;
    case 'i':
      *mapping = mapped(requestHeaderField(argument), S::kText);
      return true;
    case 'o':
      *mapping = mapped(responseHeaderField(argument), S::kText);
      return true;
    case 't':
      if (!hasArgument) {
        *mapping = mapped("x-localtime", S::kBracketed);
        return true;
      }
      return apacheTime(argument, mapping, error);
    default:
      *error = std::string("unknown directive %") + letter;
      return false;
  }
}

DirectiveMapping nginxVariable(std::string_view name) {
  using S = ValueShape;
  using C = ValueConversion;
  struct Entry {
    std::string_view name;
    std::string_view field;
    S shape;
    int rank;
    C conversion;
  };
  static constexpr std::array<Entry, 28> kVariables = {{
      {"remote_addr", "c-ip", S::kToken, 0, C::kNone},
      {"realip_remote_addr", "c-ip", S::kToken, 1, C::kNone},
      {"remote_user", "x-username", S::kText, 0, C::kNone},
      {"time_local", "x-localtime", S::kTime, 0, C::kBracketed},
      {"time_iso8601", "x-timestamp", S::kToken, 0, C::kIsoTime},
      {"msec", "x-timestamp", S::kNumber, 0, C::kNone},
      {"request", "x-request-line", S::kText, 0, C::kNone},
      {"request_method", "cs-method", S::kToken, 0, C::kNone},
      {"request_uri", "cs-uri", S::kText, 1, C::kNone},
      {"uri", "cs-uri-stem", S::kText, 2, C::kNone},
      {"document_uri", "cs-uri-stem", S::kText, 2, C::kNone},
      {"args", "cs-uri-query", S::kText, 0, C::kNone},
      {"query_string", "cs-uri-query", S::kText, 0, C::kNone},
      {"server_protocol", "cs-version", S::kToken, 0, C::kNone},
      {"status", "sc-status", S::kNumber, 0, C::kNone},
      {"body_bytes_sent", "x-sc-contentlength", S::kNumber, 0, C::kNone},
      {"bytes_sent", "sc-bytes", S::kNumber, 2, C::kNone},
      {"request_length", "cs-bytes", S::kNumber, 0, C::kNone},
      {"request_time", "time-taken", S::kNumber, 0, C::kSeconds},
      {"host", "cs-host", S::kToken, 1, C::kNone},
      {"server_name", "s-sitename", S::kToken, 0, C::kNone},
      {"server_addr", "s-ip", S::kToken, 0, C::kNone},
      {"server_port", "s-port", S::kNumber, 0, C::kNone},
      {"remote_port", "", S::kNumber, 0, C::kNone},
      {"connection", "", S::kNumber, 0, C::kNone},
      {"connection_requests", "", S::kNumber, 0, C::kNone},
      {"scheme", "", S::kToken, 0, C::kNone},
      {"pipe", "", S::kToken, 0, C::kNone},
  }};
  for (const Entry& entry : kVariables) {
    if (entry.name == name) {
      DirectiveMapping mapping =
          mapped(entry.field, entry.shape, entry.rank, entry.conversion);
      if (entry.shape == S::kTime) mapping.timeFormat = std::string(kLocalTimeFormat);
      return mapping;
    }
  }
  if (name.starts_with("http_")) {
    std::string header(name.substr(5));
    for (char& c : header) {
      if (c == '_') c = '-';
    }
    return mapped(requestHeaderField(header), S::kText);
  }
  if (name.starts_with("sent_http_")) {
    std::string header(name.substr(10));
    for (char& c : header) {
      if (c == '_') c = '-';
    }
    return mapped(responseHeaderField(header), S::kText);
  }
  // $upstream_*, $ssl_*, $request_id and the like: read, not loaded.
  return skipped(S::kText);
}

const std::vector<JsonKeyMapping>& defaultJsonKeys() {
  using S = ValueShape;
  using C = ValueConversion;
  static const std::vector<JsonKeyMapping> keys = [] {
    std::vector<JsonKeyMapping> list;
    auto add = [&list](std::string_view path, std::string_view field,
                       C conversion = C::kNone) {
      list.push_back(JsonKeyMapping{std::string(path), mapped(field, S::kText, 0, conversion)});
    };
    // Client address, user, time, request, status, size: nginx variable
    // names first, then Caddy's keys, then Traefik's.
    add("remote_addr", "c-ip");
    add("request.client_ip", "c-ip");
    add("request.remote_ip", "c-ip");
    add("ClientHost", "c-ip");
    add("realip_remote_addr", "c-ip");
    add("remote_user", "x-username");
    add("user_id", "x-username");
    add("ClientUsername", "x-username");
    // Every time becomes seconds since 1970, so one column takes them all.
    add("time_iso8601", "x-timestamp", C::kAutoTime);
    add("time_local", "x-timestamp", C::kAutoTime);
    add("msec", "x-timestamp", C::kAutoTime);
    add("ts", "x-timestamp", C::kAutoTime);
    add("StartUTC", "x-timestamp", C::kAutoTime);
    add("StartLocal", "x-timestamp", C::kAutoTime);
    add("request", "x-request-line");
    add("request_uri", "cs-uri");
    add("request.uri", "cs-uri");
    add("RequestPath", "cs-uri");
    add("uri", "cs-uri-stem");
    add("status", "sc-status");
    add("DownstreamStatus", "sc-status");
    add("body_bytes_sent", "x-sc-contentlength");
    add("size", "x-sc-contentlength");
    add("DownstreamContentSize", "x-sc-contentlength");
    add("bytes_sent", "sc-bytes");
    add("http_referer", "cs(referer)");
    add("request.headers.Referer", "cs(referer)");
    add("request_Referer", "cs(referer)");
    add("http_user_agent", "cs(user-agent)");
    add("request.headers.User-Agent", "cs(user-agent)");
    add("request_User-Agent", "cs(user-agent)");
    add("request_method", "cs-method");
    add("request.method", "cs-method");
    add("RequestMethod", "cs-method");
    add("server_protocol", "cs-version");
    add("request.proto", "cs-version");
    add("RequestProtocol", "cs-version");
    add("http_host", "cs-host");
    add("host", "cs-host");
    add("request.host", "cs-host");
    add("RequestHost", "cs-host");
    add("server_name", "s-sitename");
    add("server_addr", "s-ip");
    add("server_port", "s-port");
    add("args", "cs-uri-query");
    add("query_string", "cs-uri-query");
    add("request_length", "cs-bytes");
    add("bytes_read", "cs-bytes");
    add("request_time", "time-taken", C::kSeconds);
    add("duration", "time-taken", C::kSeconds);
    add("Duration", "time-taken", C::kNanoseconds);
    add("sent_http_content_type", "rs(content-type)");
    add("resp_headers.Content-Type", "rs(content-type)");
    add("http_x_forwarded_for", "cs(x-forwarded-for)");
    return list;
  }();
  return keys;
}
