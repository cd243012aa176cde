#ifndef ZXLOAD_LOAD_TARGET_H_
#define ZXLOAD_LOAD_TARGET_H_

#include <cstdint>
#include <string>
#include <vector>

#include "dbconn/identifier.h"
#include "zxload/load_plan.h"
#include "zxload/load_summary.h"
#include "zxload/row_values.h"

/// Name of the table that records every file loaded.
inline constexpr const char* kLoadsTable = "zxload_files";

/// Column of every loaded table that holds the id of the load of the row.
inline constexpr const char* kLoadIdColumn = "zxload_id";

/// A row of the loads table: one load of one file.
struct LoadRecord {
  std::int64_t id = 0;    ///< id of the load; its rows carry it in zxload_id
  bool hasId = true;      ///< false for loads recorded by an older zxload
  std::string source;     ///< the log or file the rows come from
  std::string dataSet;    ///< raw, smartfilter, streaming or billing
  std::string fileName;   ///< absolute path of the file loaded
  std::string schema;     ///< schema of the table as held (SQLite: main)
  std::string table;      ///< table the rows went to, as the database holds it
  std::uint64_t size = 0; ///< bytes
  std::string checksum;   ///< 16 hexadecimal digits
  std::uint64_t rows = 0; ///< rows loaded
  std::string loadedAt;   ///< "YYYY-MM-DD HH:MM:SS" in UTC (read back only)
};

/// What the loads table says about the source of a file about to be loaded.
struct LoadHistory {
  std::vector<LoadRecord> earlier;  ///< loads of the same source and data set
};

/// A database that takes the rows of one file per transaction. Every
/// failure leaves a message in `error()`; after a failure the caller calls
/// `rollback()`.
class LoadTarget {
 public:
  virtual ~LoadTarget() = default;
  /// Starts the transaction, waiting while another load holds the
  /// database; creates the loads table (or adds the columns an older
  /// zxload did not make), the summary table when it is missing, and the
  /// plan's table (or its missing columns);
  /// sets the record's table as the database holds it and a new id; and
  /// tells what the loads table knows of the record's source.
  virtual bool begin(const LoadPlan& plan, LoadRecord* record, LoadHistory* history) = 0;
  /// Whether a load into the record's table of the record's size and
  /// checksum (of any checksum while the record has none) is recorded.
  virtual bool isRecorded(const LoadRecord& record, bool* recorded) = 0;
  /// Deletes the rows of `earlier` (a load with an id), its summary and
  /// its record; `rows` is the number of rows deleted.
  virtual bool removeLoad(const LoadRecord& earlier, std::uint64_t* rows) = 0;
  /// Starts taking rows of the plan given to `begin`.
  virtual bool startRows() = 0;
  /// Takes one row.
  virtual bool addRow(const std::vector<RowValue>& values) = 0;
  /// Ends the rows: after it every row taken is in the table.
  virtual bool endRows() = 0;
  /// How the database holds values, for the load's summary.
  virtual StoredForm storedForm() const = 0;
  /// The declared types of the columns of the table begun (lower case).
  virtual bool columnTypes(ColumnTypes* types) = 0;
  /// Writes the cells of the summary of the load `id` (after endRows).
  virtual bool writeSummary(std::int64_t id, const std::vector<SummaryCell>& cells) = 0;
  /// Writes `record` and commits.
  virtual bool commit(const LoadRecord& record) = 0;
  /// Undoes everything since `begin`.
  virtual void rollback() = 0;
  /// Reads every load recorded, oldest first, changing nothing.
  virtual bool listLoads(std::vector<LoadRecord>* loads) = 0;
  /// The last failure.
  const std::string& error() const { return error_; }

 protected:
  std::string error_;
};

/// The statements that make the loads table ready, given the columns it
/// has (`existing`, none when it is missing): nothing when it has them
/// all; the table when it is missing; else the columns an older zxload did
/// not make, filled for its records (source: the file name; data set: from
/// the file name; schema: `schemaSql`). `integer` is the database's 64-bit
/// integer type, `loadedAt` the definition of loaded_at.
std::string prepareLoadsTableSql(const std::vector<std::string>& existing, const char* integer,
                                 const char* loadedAt, const std::string& schemaSql);

/// The SELECT of loads, oldest first, as id, loaded at, schema, table, data
/// set, rows, size, checksum, source, file; columns an older loads table
/// lacks (`existing` names those it has) read as NULL or are derived from
/// the file name; `loadedAtSql` formats loaded_at. With `ofSource` only the
/// loads of source $1 and data set $2.
std::string loadsSql(const std::vector<std::string>& existing, const std::string& loadedAtSql,
                     bool ofSource);

/// `schema`.`table` quoted, or `table` alone when `schema` is empty.
std::string qualifiedName(const std::string& schema, const std::string& table);

/// Comma-separated quoted column names of `plan`, then the load id column.
std::string columnList(const LoadPlan& plan);

/// A column's definition: its quoted name, a blank and `typeName(type)`.
std::string columnDefinition(const PlanColumn& column, const char* (*typeName)(ColumnType));

/// Comma-separated definitions of the columns of `plan`, then of the load
/// id column of type `loadIdType`.
std::string columnDefinitions(const LoadPlan& plan, const char* (*typeName)(ColumnType),
                              const char* loadIdType);

/// The columns of `plan`, then the load id column, whose names are not in
/// `existing`; the load id's type is `loadIdType`.
std::vector<std::string> missingColumnDefinitions(const LoadPlan& plan,
                                                  const std::vector<std::string>& existing,
                                                  const char* (*typeName)(ColumnType),
                                                  const char* loadIdType);

#endif  // ZXLOAD_LOAD_TARGET_H_
