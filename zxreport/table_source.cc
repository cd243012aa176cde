#include "zxreport/table_source.h"

#include "dbconn/identifier.h"

std::string scanQuery(const std::string& table, const std::vector<std::string>& columns,
                      const TimeRange& range) {
  std::string sql = "SELECT ";
  for (std::size_t k = 0; k < columns.size(); ++k) {
    if (k > 0) sql += ", ";
    sql += quoteIdentifier(columns[k]);
  }
  sql += " FROM " + quoteIdentifier(table);
  const std::string time = quoteIdentifier("timestampid");
  if (!range.from.empty()) sql += " WHERE " + time + " >= " + quoteLiteral(range.from);
  if (!range.to.empty()) {
    sql += range.from.empty() ? " WHERE " : " AND ";
    sql += time + " < " + quoteLiteral(range.to);
  }
  return sql;
}

std::vector<std::string> ColumnSlots::choose(const std::vector<const char*>& wanted,
                                             const std::vector<std::string>& present) {
  std::vector<std::string> columns;
  slots_.assign(wanted.size(), -1);
  for (std::size_t k = 0; k < wanted.size(); ++k) {
    for (const std::string& name : present) {
      if (name == wanted[k]) {
        slots_[k] = static_cast<int>(columns.size());
        columns.push_back(name);
        break;
      }
    }
  }
  return columns;
}
