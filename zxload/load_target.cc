#include "zxload/load_target.h"

#include <algorithm>

std::string quoteIdentifier(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

std::string columnList(const LoadPlan& plan) {
  std::string out;
  for (const PlanColumn& column : plan.columns) {
    if (!out.empty()) out += ", ";
    out += quoteIdentifier(column.name);
  }
  return out;
}

std::string columnDefinition(const PlanColumn& column, const char* (*typeName)(ColumnType)) {
  return quoteIdentifier(column.name) + " " + typeName(column.type);
}

std::string columnDefinitions(const LoadPlan& plan, const char* (*typeName)(ColumnType)) {
  std::string out;
  for (const PlanColumn& column : plan.columns) {
    if (!out.empty()) out += ", ";
    out += columnDefinition(column, typeName);
  }
  return out;
}

std::vector<PlanColumn> missingColumns(const LoadPlan& plan,
                                       const std::vector<std::string>& existing) {
  std::vector<PlanColumn> missing;
  for (const PlanColumn& column : plan.columns) {
    if (std::find(existing.begin(), existing.end(), column.name) == existing.end()) {
      missing.push_back(column);
    }
  }
  return missing;
}
