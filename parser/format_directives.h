#ifndef PARSER_FORMAT_DIRECTIVES_H_
#define PARSER_FORMAT_DIRECTIVES_H_

#include <string>
#include <string_view>
#include <vector>

#include "parser/value_conversions.h"

/// How far a directive's value may reach in a line.
enum class ValueShape : int {
  /// Any text, up to the literal that follows it (inside quotes a
  /// backslash escapes the next character).
  kText,
  /// Text without blanks and tabs, at least one character.
  kToken,
  /// Digits with an optional fraction, or "-".
  kNumber,
  /// "[" up to the first "]", brackets included (Apache's %t).
  kBracketed,
  /// A value of the directive's strftime format.
  kTime,
};

/// Where the value of one directive (or JSON key) goes: the log field name
/// of its report column, as the column data types files name it, and how
/// it is read and converted.
struct DirectiveMapping {
  /// Log field name of the report column; empty when the value is read and
  /// not loaded.
  std::string field;
  /// Of several directives for one database column the lowest rank wins
  /// (the first of equal ranks).
  int rank = 0;
  ValueShape shape = ValueShape::kText;
  ValueConversion conversion = ValueConversion::kNone;
  /// The strftime format of a kTime value.
  std::string timeFormat;
};

/// The mapping of Apache directive `letter` ('s' for %s, '>' not
/// included), with the text between braces when `hasArgument`; `final`
/// tells %>s from %s and %<s. False with `*error` set for a letter Apache
/// does not know or an argument it refuses.
bool apacheDirective(char letter, bool hasArgument, std::string_view argument,
                     bool final, DirectiveMapping* mapping, std::string* error);

/// The mapping of nginx variable `name` (without '$', lower case). Unknown
/// variables are read as text and not loaded.
DirectiveMapping nginxVariable(std::string_view name);

/// The field a request header is loaded as ("cs(user-agent)"; "cs-host"
/// for Host).
std::string requestHeaderField(std::string_view header);

/// A JSON key path and where its value goes.
struct JsonKeyMapping {
  /// Dotted path of object keys, "[N]" for an array element.
  std::string path;
  DirectiveMapping mapping;
};

/// The keys -f json reads by default: nginx variable names without '$',
/// the keys of Caddy's and Traefik's access logs. In priority order: of
/// several keys for one database column, the first present in a line wins.
const std::vector<JsonKeyMapping>& defaultJsonKeys();

#endif  // PARSER_FORMAT_DIRECTIVES_H_
