#ifndef PARSER_FORMAT_DEFINITION_H_
#define PARSER_FORMAT_DEFINITION_H_

#include <string>
#include <string_view>
#include <vector>

#include "parser/format_directives.h"

/// The web servers whose format definitions the parser reads.
enum class ServerKind { kApache, kNginx };

/// How the server escapes characters inside values.
enum class EscapeStyle {
  /// A backslash escapes the next character (Apache; nginx's default
  /// \xHH and escape=json): inside quotes, \" does not end the value.
  kBackslash,
  /// Values are written raw (nginx's escape=none).
  kNone,
};

/// One directive of a format definition with the literal text before it.
struct FormatItem {
  /// Text matched as written before the directive.
  std::string literal;
  /// The directive as written ("%>s", "%{User-Agent}i", "$status").
  std::string directive;
  DirectiveMapping mapping;
};

/// A server's log format compiled into directives and literals: the layout
/// of one line.
struct FormatDefinition {
  std::vector<FormatItem> items;
  /// Text after the last directive.
  std::string trailing;
  EscapeStyle escapes = EscapeStyle::kBackslash;
};

/// Compiles an Apache LogFormat string as the configuration holds it once
/// unquoted ("%h %l %u %t \"%r\"" read as %h %l %u %t "%r"): directives
/// with their modifiers (conditions, '<' and '>', {argument}), "%%", and
/// the backslash escapes \n \t \r \\ of literal text. False with `*error`
/// for an unknown directive, a missing '}', a '%' at the end or a format
/// without directive.
bool compileApacheFormat(std::string_view format, FormatDefinition* definition,
                         std::string* error);

/// Compiles an nginx log_format string (the parts joined): variables $name
/// and ${name}, everything else literal. False with `*error` for a '$'
/// without a name or a format without variable.
bool compileNginxFormat(std::string_view format, EscapeStyle escapes,
                        FormatDefinition* definition, std::string* error);

#endif  // PARSER_FORMAT_DEFINITION_H_
