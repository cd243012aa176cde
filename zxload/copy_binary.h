#ifndef ZXLOAD_COPY_BINARY_H_
#define ZXLOAD_COPY_BINARY_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// PostgreSQL's binary COPY format: a header, then per row the number of
// fields and each field as its length (-1 for NULL) and its bytes in the
// type's binary form, then a trailer. The server takes it without parsing
// text: no splitting at delimiters, no text-to-number conversions.

/// Appends the header of a binary COPY.
void appendCopyHeader(std::string* out);
/// Appends the trailer of a binary COPY.
void appendCopyTrailer(std::string* out);
/// Appends the field count that starts a row.
void appendFieldCount(std::size_t fields, std::string* out);
/// Appends a NULL field.
void appendNullField(std::string* out);
/// Appends a bigint field.
void appendBigintField(std::int64_t value, std::string* out);
/// Appends a double precision field.
void appendDoubleField(double value, std::string* out);
/// Appends a text field holding `text` as the database stores it: bytes
/// kept when `rawBytes` (SQL_ASCII), else bytes that are not valid UTF-8
/// as the Latin-1 characters of their numbers; a NUL as '?' or U+FFFD.
void appendTextField(std::string_view text, bool rawBytes, std::string* out);
/// Appends a numeric field of the checked number `text` (see isNumber),
/// with the scale it is written with, as numeric's text input would take
/// it; false (nothing appended) when numeric cannot hold it.
bool appendNumericField(std::string_view text, std::string* out);
/// Appends a numeric field of the whole number `value`.
void appendWholeNumericField(std::int64_t value, std::string* out);
/// Appends a timestamp field of the checked time stamp `text` (see
/// isTimestamp): microseconds from 2000-01-01 00:00:00.
void appendTimestampField(std::string_view text, std::string* out);

#endif  // ZXLOAD_COPY_BINARY_H_
