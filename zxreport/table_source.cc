#include "zxreport/table_source.h"

#include "dbconn/identifier.h"

std::string scanQuery(const std::string& quotedTable, const std::vector<ScanColumn>& columns,
                      const TimeRange& range, const std::string& condition,
                      const std::string& wrap) {
  std::string sql = "SELECT " + (wrap.empty() ? "" : wrap + "(");
  for (std::size_t k = 0; k < columns.size(); ++k) {
    if (k > 0) sql += ", ";
    sql += quoteIdentifier(columns[k].name);
  }
  sql += (wrap.empty() ? "" : ")") + std::string(" FROM ") + quotedTable;
  const std::string time = quoteIdentifier("timestampid");
  std::vector<std::string> conditions;
  if (!range.from.empty()) conditions.push_back(time + " >= " + quoteLiteral(range.from));
  if (!range.to.empty()) conditions.push_back(time + " < " + quoteLiteral(range.to));
  if (!condition.empty()) conditions.push_back(condition);
  for (std::size_t k = 0; k < conditions.size(); ++k) {
    sql += (k == 0 ? " WHERE " : " AND ") + conditions[k];
  }
  return sql;
}

std::vector<std::string> splitConditions(const std::string& key, long long first, long long last,
                                         int parts, std::string (*bound)(long long)) {
  std::vector<std::string> out;
  const long long span = last - first + 1;
  for (int k = 0; k < parts; ++k) {
    std::string condition;
    if (k > 0) condition = key + " >= " + bound(first + span * k / parts);
    if (k + 1 < parts) {
      condition += (k > 0 ? " AND " : "") + key + " < " + bound(first + span * (k + 1) / parts);
    }
    out.push_back(condition);
  }
  return out;
}

std::vector<ScanColumn> ColumnSlots::choose(const std::vector<ScanColumn>& wanted,
                                            const std::vector<std::string>& present) {
  std::vector<ScanColumn> columns;
  slots_.assign(wanted.size(), -1);
  for (std::size_t k = 0; k < wanted.size(); ++k) {
    for (const std::string& name : present) {
      if (name == wanted[k].name) {
        slots_[k] = static_cast<int>(columns.size());
        columns.push_back(wanted[k]);
        break;
      }
    }
  }
  return columns;
}

std::string quoteTableName(const std::string& name, bool schemas) {
  std::size_t dot = schemas ? name.find('.') : std::string::npos;
  if (dot == std::string::npos) return quoteIdentifier(name);
  return quoteIdentifier(name.substr(0, dot)) + "." + quoteIdentifier(name.substr(dot + 1));
}
