#include "zxload/table_name.h"

#include <array>

#include "zxload/load_target.h"
#include "zxload/row_values.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

bool isNameStart(char c) {
  auto byte = static_cast<unsigned char>(c);
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || byte >= 0x80;
}

bool isNameByte(char c) { return isNameStart(c) || (c >= '0' && c <= '9') || c == '$'; }

/// `c` in lower case when it is an ASCII letter.
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

/// True when `a` and `b` are equal but for the case of ASCII letters.
bool sameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

/// The word (name bytes) at `at`.
std::string_view wordAt(std::string_view text, std::size_t at) {
  std::size_t end = at;
  while (end < text.size() && isNameByte(text[end])) ++end;
  return text.substr(at, end - at);
}

/// Skips blanks from `at`; returns how many.
std::size_t skipBlanks(std::string_view text, std::size_t* at) {
  std::size_t start = *at;
  while (*at < text.size() && isBlank(text[*at])) ++*at;
  return *at - start;
}

/// Reads one part of a name at `at`: quoted or unquoted.
bool readPart(std::string_view text, std::size_t* at, std::string* part, bool* quoted,
              std::string* error) {
  if (*at < text.size() && text[*at] == '"') {
    std::size_t close = text.find('"', *at + 1);
    if (close == std::string_view::npos || close > text.find('\n', *at)) {
      *error = "a quoted name without its closing double quote";
      return false;
    }
    *part = std::string(text.substr(*at + 1, close - *at - 1));
    *quoted = true;
    *at = close + 1;
    if (part->empty()) {
      *error = "an empty quoted name";
      return false;
    }
    return true;
  }
  if (*at >= text.size() || !isNameStart(text[*at])) {
    *error = *at < text.size() && !isBlank(text[*at])
                 ? "a name cannot start with '" + excerpt(text.substr(*at, 1)) +
                       "' unless it is enclosed in double quotes"
                 : "no table name";
    return false;
  }
  *part = std::string(wordAt(text, *at));
  *quoted = false;
  *at += part->size();
  return true;
}

/// Words that may follow the table name of an INTO TABLE clause.
bool isClauseWord(std::string_view word) {
  static constexpr std::array<std::string_view, 19> kWords = {
      "APPEND", "INSERT", "REPLACE", "TRUNCATE", "PARTITION", "SUBPARTITION", "SORTED",
      "SINGLEROW", "RESUME", "REENABLE", "EVALUATE", "WHEN", "FIELDS", "TRAILING",
      "SKIP", "OID", "SID", "XMLTYPE", "TREAT"};
  for (std::string_view keyword : kWords) {
    if (sameWord(word, keyword)) return true;
  }
  return false;
}

/// Reads the name after "INTO TABLE" and checks what follows it on its line.
bool readName(std::string_view text, std::size_t at, TableName* name, std::string* error) {
  std::string first;
  bool firstQuoted = false;
  if (!readPart(text, &at, &first, &firstQuoted, error)) return false;
  if (at < text.size() && text[at] == '.') {
    ++at;
    name->schema = first;
    name->schemaQuoted = firstQuoted;
    if (!readPart(text, &at, &name->table, &name->tableQuoted, error)) return false;
  } else {
    name->table = first;
    name->tableQuoted = firstQuoted;
  }
  if (!name->tableQuoted && isClauseWord(name->table)) {
    *error = "no table name";
    return false;
  }
  std::size_t end = at;
  while (end < text.size() && (text[end] == ' ' || text[end] == '\t')) ++end;
  if (end == text.size() || text[end] == '\r' || text[end] == '\n' || text[end] == '(' ||
      (end > at && isClauseWord(wordAt(text, end)))) {
    return true;
  }
  std::string_view rest = text.substr(end);
  rest = rest.substr(0, rest.find_first_of("\r\n"));
  *error = end > at ? "'" + excerpt(rest) +
                          "' after the table name: a name with blanks must be enclosed in "
                          "double quotes"
                    : "'" + excerpt(rest) + "' after the table name: a name with such "
                          "characters must be enclosed in double quotes";
  return false;
}

/// Lower-cases ASCII letters, as PostgreSQL folds unquoted names.
std::string folded(std::string text) {
  for (char& c : text) c = lower(c);
  return text;
}

/// Checks one held part of a name.
bool checkPart(std::string_view part, NameRules rules, std::string* error) {
  if (part.find('\0') != std::string_view::npos) {
    *error = "a name with a NUL byte";
    return false;
  }
  if (rules == NameRules::kPostgres && part.size() > kPostgresNameLimit) {
    *error = "'" + excerpt(part) + "' is longer than " + std::to_string(kPostgresNameLimit) +
             " bytes, which PostgreSQL would cut short";
    return false;
  }
  return true;
}

}  // namespace

IntoTable findIntoTable(std::string_view text, TableName* name, std::string* error) {
  std::size_t at = 0;
  while (at < text.size()) {
    char c = text[at];
    if (c == '-' && at + 1 < text.size() && text[at + 1] == '-') {
      std::size_t end = text.find('\n', at);
      at = end == std::string_view::npos ? text.size() : end + 1;
    } else if (c == '\'' || c == '"') {
      // A string ends on its line: an INFILE path with a quote in it must
      // not hide the lines after it.
      std::size_t close = text.find(c, at + 1);
      std::size_t end = text.find('\n', at);
      at = close < end ? close + 1 : end;
    } else if (isNameStart(c)) {
      std::string_view word = wordAt(text, at);
      at += word.size();
      if (!sameWord(word, "INTO")) continue;
      std::size_t next = at;
      if (skipBlanks(text, &next) == 0 || !sameWord(wordAt(text, next), "TABLE")) continue;
      next += 5;
      if (skipBlanks(text, &next) == 0 && next < text.size()) continue;  // "TABLEX"
      if (!readName(text, next, name, error)) {
        *error = "INTO TABLE: " + *error;
        return IntoTable::kMalformed;
      }
      return IntoTable::kFound;
    } else if (isNameByte(c)) {
      // A digit: skip the whole run, so that "9INTO" is no keyword.
      while (at < text.size() && isNameByte(text[at])) ++at;
    } else {
      ++at;
    }
  }
  return IntoTable::kNone;
}

bool heldName(const TableName& name, NameRules rules, TableName* held, std::string* error) {
  if (!name.schema.empty() && rules == NameRules::kSqlite) {
    *error = "'" + excerpt(name.schema) + "." + excerpt(name.table) +
             "': SQLite has no schemas; name the table without '" + excerpt(name.schema) + ".'";
    return false;
  }
  *held = name;
  if (rules == NameRules::kPostgres) {
    if (!name.schemaQuoted) held->schema = folded(name.schema);
    if (!name.tableQuoted) held->table = folded(name.table);
  }
  if (!checkPart(held->schema, rules, error) || !checkPart(held->table, rules, error)) return false;
  bool sqlite = rules == NameRules::kSqlite;
  auto kept = [&](const char* name) { return sqlite ? sameWord(held->table, name) : held->table == name; };
  if ((sqlite && sameWord(std::string_view(held->table).substr(0, 7), "sqlite_")) ||
      kept(kLoadsTable) || kept(kSummaryTable)) {
    *error = "'" + excerpt(held->table) + "' is a name the database or zxload keeps for itself";
    return false;
  }
  return true;
}

std::string displayName(std::string_view schema, std::string_view table) {
  if (schema.empty() || schema == "main" || schema == "public") return std::string(table);
  return std::string(schema) + "." + std::string(table);
}
