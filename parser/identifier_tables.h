#ifndef PARSER_IDENTIFIER_TABLES_H_
#define PARSER_IDENTIFIER_TABLES_H_

#include <string>
#include <string_view>

/// Maps the names of log types, actions, abort codes and transaction codes
/// to the numbers the identifier file "datatypes.dat.id" assigns them.
/// Filled once per run, read-only afterwards; lookups allocate nothing.
class IdentifierTables {
 public:
  IdentifierTables();
  ~IdentifierTables();
  IdentifierTables(const IdentifierTables&) = delete;
  IdentifierTables& operator=(const IdentifierTables&) = delete;

  /// Reads "datatypes.dat.id" from the directory of `path` (the part up to
  /// its last '/' or '\'); a missing file leaves the tables empty.
  void load(const std::string& path);

  /// Identifier of a log type name (section 1), or 0.
  int logTypeId(std::string_view name) const;
  /// Identifier of an action (section 2), or 0.
  int actionId(std::string_view name) const;
  /// Identifier of an abort code (section 3), or 0.
  int abortCodeId(std::string_view name) const;
  /// Identifier of a transaction code (section 4), or 0.
  int transactionId(std::string_view name) const;

 private:
  struct Tables;
  Tables* tables_;
};

#endif  // PARSER_IDENTIFIER_TABLES_H_
