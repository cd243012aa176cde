#ifndef PARSER_LOG_FORMAT_H_
#define PARSER_LOG_FORMAT_H_

#include <memory>
#include <string>
#include <string_view>

#include "parser/column_table.h"
#include "parser/field_source.h"
#include "parser/format_definition.h"
#include "parser/header_layout.h"

class RunLog;

/// Longest -f value.
constexpr std::size_t kMaxLogFormatLength = 4095;

/// What the -f option names.
struct LogFormatChoice {
  enum class Kind { kApache, kNginx, kApacheConfig, kNginxConfig, kJson };
  Kind kind = Kind::kJson;
  /// The format as given, a stock name, or the JSON key mapping.
  std::string text;
  /// The configuration file and the format's name in it.
  std::string file;
  std::string name;
};

/// Reads an -f value: "apache:FORMAT", "apache:NAME", "nginx:FORMAT",
/// "nginx:NAME", "apache-conf:FILE:NAME", "nginx-conf:FILE:NAME" (the name
/// after the last ':'), "json" or "json:KEY=FIELD,...". False with `*error`
/// for any other value.
bool parseLogFormatOption(std::string_view value, LogFormatChoice* choice,
                          std::string* error);

/// The format text of an Apache -f FORMAT: one quoted argument (or a whole
/// LogFormat line) is unquoted as Apache reads its configuration; any
/// other text stands for the format with \" and \\ read as " and \.
std::string apacheFormatArgument(std::string_view value);

/// The format text and escapes of an nginx -f FORMAT: one or more
/// single-quoted parts, or one double-quoted part, optionally after
/// escape=STYLE (or a whole log_format line), are read as nginx reads its
/// configuration; any other text is the format itself (nginx's backslash
/// escapes resolved).
void nginxFormatArgument(std::string_view value, std::string* format,
                         EscapeStyle* escapes);

/// Builds the layout -f names: reads the definition (stock, given,
/// from a configuration file, or JSON keys), binds its directives to the
/// columns of `table` and sets `layout`'s header fields, header line
/// ("#Fields: " and their log field names) and kind of log ("http").
/// Returns the source of each line's values; null with `*error` when the
/// definition cannot be read or compiled, loads no column, or asks for
/// JSON in a build without simdjson. Logs the format and every directive
/// read but not loaded (level 2).
std::unique_ptr<FieldSource> buildLogFormat(const LogFormatChoice& choice,
                                            const ColumnTable& table,
                                            HeaderLayout& layout,
                                            const RunLog& runLog, std::string* error);

#endif  // PARSER_LOG_FORMAT_H_
