#ifndef DBCONN_UTF8_H_
#define DBCONN_UTF8_H_

#include <cstddef>
#include <string>
#include <string_view>

/// Length of the valid UTF-8 sequence at the start of `s` (`n` bytes
/// left): 1 for an ASCII byte, 0 when the bytes there are no valid sequence.
std::size_t utf8Length(const unsigned char* s, std::size_t n);

/// `text` with every byte that is not part of a valid UTF-8 sequence turned
/// into the Latin-1 character of that number (0xFF becomes U+00FF): how
/// zxload sends such bytes to a UTF-8 PostgreSQL database, and how zxreport
/// shows them from either database.
std::string validUtf8(std::string_view text);

/// Appends `text` to `out` as a PostgreSQL database holds what zxload sends
/// it: a NUL as U+FFFD ('?' when `rawBytes`, an SQL_ASCII database) and,
/// unless `rawBytes`, each byte that is not part of valid UTF-8 as the
/// Latin-1 character of its number. The rows and their summary both go
/// through it, so the two never differ.
void appendPostgresText(std::string_view text, bool rawBytes, std::string* out);

#endif  // DBCONN_UTF8_H_
