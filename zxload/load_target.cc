#include "zxload/load_target.h"

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
