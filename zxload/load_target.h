#ifndef ZXLOAD_LOAD_TARGET_H_
#define ZXLOAD_LOAD_TARGET_H_

#include <cstdint>
#include <string>
#include <vector>

#include "zxload/load_plan.h"
#include "zxload/row_values.h"

/// Name of the table that records every file loaded.
inline constexpr const char* kLoadsTable = "zxload_files";

/// The row of the loads table that stands for one file.
struct LoadRecord {
  std::string fileName;   ///< absolute path of the file
  std::string table;      ///< table the rows went to
  std::uint64_t size = 0; ///< bytes
  std::string checksum;   ///< 16 hexadecimal digits
  std::uint64_t rows = 0; ///< rows loaded
};

/// A database that takes the rows of one file per transaction. Every
/// failure leaves a message in `error()`; after a failure the caller calls
/// `rollback()`.
class LoadTarget {
 public:
  virtual ~LoadTarget() = default;
  /// Starts the transaction, creates the loads table and the plan's table
  /// when missing, and tells whether `record` (table, size, checksum) is
  /// already there.
  virtual bool begin(const LoadPlan& plan, const LoadRecord& record, bool* recorded) = 0;
  /// Starts taking rows of the plan given to `begin`.
  virtual bool startRows() = 0;
  /// Takes one row.
  virtual bool addRow(const std::vector<RowValue>& values) = 0;
  /// Ends the rows, writes `record` and commits.
  virtual bool commit(const LoadRecord& record) = 0;
  /// Undoes everything since `begin`.
  virtual void rollback() = 0;
  /// The last failure.
  const std::string& error() const { return error_; }

 protected:
  std::string error_;
};

/// Double-quoted SQL identifier.
std::string quoteIdentifier(const std::string& name);

/// Comma-separated quoted column names of `plan`.
std::string columnList(const LoadPlan& plan);

/// A column's definition: its quoted name, a blank and `typeName(type)`.
std::string columnDefinition(const PlanColumn& column, const char* (*typeName)(ColumnType));

/// Comma-separated definitions of the columns of `plan`.
std::string columnDefinitions(const LoadPlan& plan, const char* (*typeName)(ColumnType));

/// The columns of `plan` whose names are not in `existing`.
std::vector<PlanColumn> missingColumns(const LoadPlan& plan,
                                       const std::vector<std::string>& existing);

#endif  // ZXLOAD_LOAD_TARGET_H_
