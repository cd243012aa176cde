#ifndef ZXREPORT_TABLE_SOURCE_H_
#define ZXREPORT_TABLE_SOURCE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "summary/summary_table.h"

/// The time stamps a scan keeps: from `from` (included) to `to` (left out);
/// an empty end is open.
struct TimeRange {
  std::string from;
  std::string to;
};

/// A column to read, and whether it is read as a number or as text.
struct ScanColumn {
  std::string name;
  bool number = false;
};

/// One row of a scan: the values of the columns asked for, by index. A
/// number column is read with `number`, a text column with `text`.
class ScanRow {
 public:
  virtual ~ScanRow() = default;
  /// Whether the value is NULL.
  virtual bool isNull(int column) const = 0;
  /// The value of a text column ("" for NULL); valid until the next row.
  virtual std::string_view text(int column) const = 0;
  /// The value of a number column (0 for NULL).
  virtual double number(int column) const = 0;
};

/// A row of the summary table as a source finds it, without its data.
struct StoredCell {
  std::int64_t load = 0;
  SummaryCell cell;      ///< `data` filled by TableSource::readCellData
  std::int64_t format = 0;
  std::int64_t part = 0;
  std::string key;       ///< where the source finds the row again (rowid, ctid)
};

/// Called once per row of a scan.
using RowSink = std::function<void(const ScanRow&)>;

class BatchPipe;

/// A database the report reads: its tables, their columns, and one pass
/// over the rows of a table.
class TableSource {
 public:
  virtual ~TableSource() = default;
  /// Starts the read transaction in which everything after it is read.
  virtual bool beginRead() = 0;
  /// Another connection that reads the same state of the database, for a
  /// scan beside this one; nullptr when none can be had.
  virtual std::unique_ptr<TableSource> another() = 0;
  /// Conditions that split the rows of `table` into about `parts` parts of
  /// its storage (one empty condition when it is small or cannot be split).
  virtual bool split(const std::string& table, int parts, std::vector<std::string>* conditions) = 0;
  /// The names of the tables the database shows (PostgreSQL:
  /// "schema.table" for a table outside the search path).
  virtual bool listTables(std::vector<std::string>* names) = 0;
  /// The names of the columns of `table`.
  virtual bool listColumns(const std::string& table, std::vector<std::string>* names) = 0;
  /// The ids of the loads zxload recorded for `table`; `*withoutId` when
  /// a record has none (a load of an older zxload). None when the database
  /// has no table of loads.
  virtual bool tableLoads(const std::string& table, std::vector<std::int64_t>* ids,
                          bool* withoutId) = 0;
  /// The rows of the summary table for the loads recorded for `table`,
  /// of data set `dataSet`, without their data; none when the database has
  /// no summary table.
  virtual bool summaryCells(const std::string& table, const std::string& dataSet,
                            std::vector<StoredCell>* cells) = 0;
  /// Appends the data of the summary row found again by `key` to `data`.
  virtual bool readCellData(const std::string& key, std::string* data) = 0;
  /// Reads `columns` of the rows of `table` whose "timestampid" lies in
  /// `range` (and that meet `condition` when it is not empty), in one
  /// pass, into the batches of `pipe`.
  virtual bool scan(const std::string& table, const std::vector<ScanColumn>& columns,
                    const TimeRange& range, const std::string& condition, BatchPipe& pipe) = 0;
  /// What the database is, for the page ("SQLite file x.db").
  virtual std::string describe() const = 0;
  /// The last failure.
  const std::string& error() const { return error_; }

 protected:
  std::string error_;
};

/// Maps the columns wanted by a part of the report onto the columns of a
/// scan.
class ColumnSlots {
 public:
  /// The columns of `wanted` that `present` has, in the order of `wanted`.
  std::vector<ScanColumn> choose(const std::vector<ScanColumn>& wanted,
                                 const std::vector<std::string>& present);
  /// Whether wanted column `k` is in the scan and not NULL in `row`.
  bool has(const ScanRow& row, int k) const { return slots_[k] >= 0 && !row.isNull(slots_[k]); }
  std::string_view text(const ScanRow& row, int k) const {
    return slots_[k] >= 0 ? row.text(slots_[k]) : std::string_view();
  }
  double number(const ScanRow& row, int k) const { return has(row, k) ? row.number(slots_[k]) : 0; }

 private:
  std::vector<int> slots_;
};

/// The SELECT of a scan: the quoted columns of the table (as the arguments
/// of the function `wrap` when it is not empty), with the range as literals
/// and `condition` when it is not empty.
std::string scanQuery(const std::string& quotedTable, const std::vector<ScanColumn>& columns,
                      const TimeRange& range, const std::string& condition,
                      const std::string& wrap = "");

/// A table name as SQL reads it: one quoted identifier, or with `schemas`
/// "schema.table" as two (zxload never makes a name with a dot in it).
std::string quoteTableName(const std::string& name, bool schemas);

/// Conditions on `key` (rowid, ctid) that split the keys from `first` to
/// `last` into `parts` ranges, each written by `bound`; the first range is
/// open below and the last open above, so every row falls in one of them.
std::vector<std::string> splitConditions(const std::string& key, long long first, long long last,
                                         int parts, std::string (*bound)(long long));

/// Opens the SQLite file `path` read-only; nullptr with `error` set.
std::unique_ptr<TableSource> openSqliteSource(const std::string& path, std::string* error);

/// Connects to PostgreSQL; nullptr with `error` set (also when built
/// without libpq).
std::unique_ptr<TableSource> openPostgresSource(const std::string& conninfo, std::string* error);

#endif  // ZXREPORT_TABLE_SOURCE_H_
