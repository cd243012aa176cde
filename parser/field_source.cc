#include "parser/field_source.h"

#include <unordered_map>

FieldBinding bindFields(const std::vector<FieldRequest>& requests,
                        const std::vector<std::string>& names,
                        const ColumnTable& table, bool alternatives) {
  const std::size_t count = requests.size();
  FieldBinding binding;
  binding.positionOf.assign(count, -1);
  binding.reasons.assign(count, std::string());
  std::vector<int> columns(count, -1);
  // The request that decides each database column: the first one, or the
  // lowest rank.
  std::unordered_map<std::string, std::size_t> owner;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string& field = requests[i].field;
    if (field.empty()) {
      binding.reasons[i] = "no report column takes it";
      continue;
    }
    int column = table.findColumn(field);
    if (column < 0) {
      binding.reasons[i] = "the column data types file has no " + field;
      continue;
    }
    if (table.at(column).outputFlag == 0) {
      binding.reasons[i] = "the column data types file does not load " + field;
      continue;
    }
    columns[i] = column;
    auto [it, first] = owner.emplace(std::string(table.at(column).dbName.view()), i);
    if (!first && !alternatives && requests[i].rank < requests[it->second].rank) {
      it->second = i;
    }
  }
  std::unordered_map<std::string, int> positionOfColumn;
  for (std::size_t i = 0; i < count; ++i) {
    if (columns[i] < 0) continue;
    std::string dbName(table.at(columns[i]).dbName.view());
    std::size_t decider = owner[dbName];
    if (decider == i) {
      positionOfColumn[dbName] = static_cast<int>(binding.columns.size());
      binding.columns.push_back(columns[i]);
    }
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (columns[i] < 0) continue;
    std::string dbName(table.at(columns[i]).dbName.view());
    std::size_t decider = owner[dbName];
    if (decider == i || alternatives) {
      binding.positionOf[i] = positionOfColumn[dbName];
    } else {
      binding.reasons[i] = "the column " + dbName + " is loaded from " +
                           (decider < names.size() ? names[decider] : std::string("another"));
    }
  }
  return binding;
}
