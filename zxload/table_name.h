#ifndef ZXLOAD_TABLE_NAME_H_
#define ZXLOAD_TABLE_NAME_H_

#include <string>
#include <string_view>

/// A table name as a loader control file or the appliance option gives it,
/// or as the database holds it.
struct TableName {
  std::string schema;         ///< empty when none was given
  std::string table;
  bool schemaQuoted = false;  ///< the schema was enclosed in double quotes
  bool tableQuoted = false;   ///< the table was enclosed in double quotes
};

/// What `findIntoTable` found.
enum class IntoTable { kNone, kFound, kMalformed };

/// Finds the first "INTO TABLE name" clause (keywords in any case) of the
/// text of a loader control file, outside comments ("--" to the line end)
/// and quoted strings. A name is a table or a schema and a table separated
/// by a dot; each part is an unquoted name (a letter or underscore, then
/// letters, digits, underscores and dollar signs; bytes over 127 count as
/// letters) or any text but a double quote between double quotes. On
/// kMalformed `error` says why.
IntoTable findIntoTable(std::string_view text, TableName* name, std::string* error);

/// The database a name is meant for.
enum class NameRules { kSqlite, kPostgres };

/// Longest PostgreSQL name, in bytes: longer ones are cut silently.
inline constexpr std::size_t kPostgresNameLimit = 63;

/// `name` as the database holds it: in PostgreSQL unquoted parts folded to
/// lower case (ASCII letters, as the server folds them). False with the
/// reason when the database cannot hold it as written: a schema in SQLite,
/// a part over 63 bytes in PostgreSQL, a NUL byte, a name SQLite reserves
/// ("sqlite_..."), or the name of the loads table.
bool heldName(const TableName& name, NameRules rules, TableName* held, std::string* error);

/// "schema.table" or "table", each part as given (for messages).
std::string displayName(std::string_view schema, std::string_view table);

#endif  // ZXLOAD_TABLE_NAME_H_
