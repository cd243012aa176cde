#include "zxload/load_target.h"

#include <algorithm>

namespace {

/// True when `name` is in `names`.
bool contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

/// The data set of a record of an older zxload, from its file name.
constexpr const char* kDataSetOfFileName =
    "CASE WHEN file_name LIKE '%.sf.csv' THEN 'smartfilter'"
    " WHEN file_name LIKE '%.st.csv' THEN 'streaming'"
    " WHEN file_name LIKE '%.bsrt' THEN 'billing' ELSE 'raw' END";

}  // namespace

std::string qualifiedName(const std::string& schema, const std::string& table) {
  if (schema.empty()) return quoteIdentifier(table);
  return quoteIdentifier(schema) + "." + quoteIdentifier(table);
}

std::string prepareLoadsTableSql(const std::vector<std::string>& existing, const char* integer,
                                 const char* loadedAt, const std::string& schemaSql) {
  const std::string table = kLoadsTable, number = integer;
  const std::string indexes = "; CREATE UNIQUE INDEX " + table + "_id ON " + table +
                              " (id); CREATE INDEX " + table + "_source ON " + table +
                              " (source, data_set)";
  if (existing.empty()) {
    return "CREATE TABLE " + table + " (file_name text NOT NULL, table_name text NOT NULL," +
           " file_size " + number + " NOT NULL, checksum text NOT NULL, row_count " + number +
           " NOT NULL, loaded_at " + loadedAt + ", id " + number +
           ", source text, data_set text, table_schema text,"
           " UNIQUE (table_name, file_size, checksum))" + indexes;
  }
  if (contains(existing, "id")) return "";
  return "ALTER TABLE " + table + " ADD COLUMN id " + number + "; ALTER TABLE " + table +
         " ADD COLUMN source text; ALTER TABLE " + table +
         " ADD COLUMN data_set text; ALTER TABLE " + table +
         " ADD COLUMN table_schema text; UPDATE " + table +
         " SET source = file_name, data_set = " + kDataSetOfFileName +
         ", table_schema = " + schemaSql + indexes;
}

std::string loadsSql(const std::vector<std::string>& existing, const std::string& loadedAtSql,
                     bool ofSource) {
  auto column = [&](const std::string& name, const std::string& instead) {
    return contains(existing, name) ? name : instead;
  };
  return "SELECT " + column("id", "NULL") + ", " + loadedAtSql + ", " +
         column("table_schema", "NULL") + ", table_name, " +
         column("data_set", kDataSetOfFileName) + ", row_count, file_size, checksum, " +
         column("source", "file_name") + ", file_name FROM " + kLoadsTable +
         (ofSource ? " WHERE source = $1 AND data_set = $2" : "") + " ORDER BY loaded_at" +
         (contains(existing, "id") ? ", id" : "");
}

std::string columnList(const LoadPlan& plan) {
  std::string out;
  for (const PlanColumn& column : plan.columns) {
    out += quoteIdentifier(column.name);
    out += ", ";
  }
  return out + kLoadIdColumn;
}

std::string columnDefinition(const PlanColumn& column, const char* (*typeName)(ColumnType)) {
  return quoteIdentifier(column.name) + " " + typeName(column.type);
}

std::string columnDefinitions(const LoadPlan& plan, const char* (*typeName)(ColumnType),
                              const char* loadIdType) {
  std::string out;
  for (const PlanColumn& column : plan.columns) {
    out += columnDefinition(column, typeName);
    out += ", ";
  }
  return out + kLoadIdColumn + " " + loadIdType;
}

std::vector<std::string> missingColumnDefinitions(const LoadPlan& plan,
                                                  const std::vector<std::string>& existing,
                                                  const char* (*typeName)(ColumnType),
                                                  const char* loadIdType) {
  std::vector<std::string> missing;
  for (const PlanColumn& column : plan.columns) {
    if (!contains(existing, column.name)) missing.push_back(columnDefinition(column, typeName));
  }
  if (!contains(existing, kLoadIdColumn)) {
    missing.push_back(std::string(kLoadIdColumn) + " " + loadIdType);
  }
  return missing;
}
