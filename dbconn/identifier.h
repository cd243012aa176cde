#ifndef DBCONN_IDENTIFIER_H_
#define DBCONN_IDENTIFIER_H_

#include <string>
#include <string_view>

/// `name` as a double-quoted SQL identifier (inner double quotes doubled),
/// which SQLite and PostgreSQL both read as that exact name.
std::string quoteIdentifier(std::string_view name);

/// `text` as a single-quoted SQL string literal (inner quotes doubled).
std::string quoteLiteral(std::string_view text);

#endif  // DBCONN_IDENTIFIER_H_
