#ifndef ZXLOAD_LOAD_PLAN_H_
#define ZXLOAD_LOAD_PLAN_H_

#include <string>
#include <vector>

#include "zxload/load_options.h"

/// How a column is stored.
enum class ColumnType { kInteger, kReal, kText, kTimestamp };

/// One column of the target table, in the order of the file's values.
struct PlanColumn {
  std::string name;  ///< database column name
  ColumnType type = ColumnType::kText;
};

/// What one file is loaded into.
struct LoadPlan {
  std::string schema;               ///< schema of the table; empty: the default
  std::string table;                ///< target table, as the database takes it
  std::string dataSet;              ///< raw, smartfilter, streaming or billing
  std::vector<PlanColumn> columns;  ///< columns in value order
  bool quotedText = false;          ///< text values are enclosed in single quotes
};

/// Works out the table and columns of `file` from the files beside it (the
/// column description or billing description, the loader control file) and
/// the column data types file. On failure returns false with a message.
bool makeLoadPlan(const std::string& file, const LoadOptions& options,
                  LoadPlan* plan, std::string* error);

#endif  // ZXLOAD_LOAD_PLAN_H_
