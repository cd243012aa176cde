#ifndef PARSER_SERVER_CONFIG_H_
#define PARSER_SERVER_CONFIG_H_

#include <string>
#include <string_view>
#include <vector>

#include "parser/format_definition.h"

/// The words of an Apache configuration line as Apache splits them: blanks
/// and tabs separate words; a word may be enclosed in double or single
/// quotes and then holds blanks, a backslash before the quote or before a
/// backslash standing for that character. `*quoted` (when given) tells, per
/// word, whether it was enclosed in quotes.
std::vector<std::string> apacheWords(std::string_view line,
                                     std::vector<bool>* quoted = nullptr);

/// One token of an nginx configuration: a word (quoted or not, with
/// nginx's escapes \" \' \\ \t \r \n resolved) or one of ';', '{', '}'.
struct NginxToken {
  std::string text;
  /// The quote that enclosed the word ('\'' or '"'), 0 for none.
  char quote = 0;
  /// ';', '{' or '}' for those; 0 for a word.
  char special = 0;
};

/// Splits nginx configuration text into tokens, '#' comments left out.
/// False with `*error` for an unterminated quote.
bool nginxTokens(std::string_view text, std::vector<NginxToken>* tokens,
                 std::string* error);

/// Reads the definition of the log format `name` from the configuration
/// file `path` of `server` and the files it includes (Include and
/// IncludeOptional, nginx's include; relative paths from the directory of
/// `path`, or Apache's ServerRoot; wildcards in the last part): Apache's
/// `LogFormat "FORMAT" name` (the last one wins), nginx's `log_format name
/// [escape=...] 'PART' ...;` (the first one). True with the format text
/// unquoted, parts joined, and its escape style; false with `*error`.
bool readConfiguredFormat(ServerKind server, const std::string& path,
                          std::string_view name, std::string* format,
                          EscapeStyle* escapes, std::string* error);

/// The escape style an nginx escape= parameter names (default, json or
/// none); false for another value.
bool nginxEscapeStyle(std::string_view parameter, EscapeStyle* escapes);

#endif  // PARSER_SERVER_CONFIG_H_
