#ifndef ZXREPORT_ESCAPE_H_
#define ZXREPORT_ESCAPE_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "dbconn/utf8.h"

/// `text` made fit to show: valid UTF-8, control characters as U+FFFD, and
/// cut after `maxChars` characters with an ellipsis (never inside a
/// character). `*cut` tells whether it was cut.
std::string displayText(std::string_view text, std::size_t maxChars, bool* cut);

/// `text` escaped for HTML text and double-quoted attribute values (also
/// inside inline SVG): & < > " ' as character references.
std::string htmlEscape(std::string_view text);

/// `text` as a JSON string with its quotes, valid UTF-8, and safe inside an
/// HTML script element: < > & and the line separators as \u escapes.
std::string jsonString(std::string_view text);

/// `text` as one CSV cell: enclosed in double quotes (inner ones doubled);
/// a value that a spreadsheet would read as a formula (first character
/// = + - @, a tab or a carriage return) gets a single quote in front.
std::string csvCell(std::string_view text);

#endif  // ZXREPORT_ESCAPE_H_
