#ifndef ZXREPORT_TABLE_SOURCE_H_
#define ZXREPORT_TABLE_SOURCE_H_

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

/// The time stamps a scan keeps: from `from` (included) to `to` (left out);
/// an empty end is open.
struct TimeRange {
  std::string from;
  std::string to;
};

/// One row of a scan: the values of the columns asked for, by index.
class ScanRow {
 public:
  virtual ~ScanRow() = default;
  /// Whether the value is NULL.
  virtual bool isNull(int column) const = 0;
  /// The value as text ("" for NULL); valid until the next row.
  virtual std::string_view text(int column) const = 0;
  /// The value as a number (0 for NULL or text that is none).
  virtual double number(int column) const = 0;
};

/// Called once per row of a scan.
using RowSink = std::function<void(const ScanRow&)>;

/// A database the report reads: its tables, their columns, and one pass
/// over the rows of a table.
class TableSource {
 public:
  virtual ~TableSource() = default;
  /// The names of the tables the database shows.
  virtual bool listTables(std::vector<std::string>* names) = 0;
  /// The names of the columns of `table`.
  virtual bool listColumns(const std::string& table, std::vector<std::string>* names) = 0;
  /// Reads `columns` of the rows of `table` whose "timestampid" lies in
  /// `range`, in one pass, handing each row to `sink`.
  virtual bool scan(const std::string& table, const std::vector<std::string>& columns,
                    const TimeRange& range, const RowSink& sink) = 0;
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
  std::vector<std::string> choose(const std::vector<const char*>& wanted,
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

/// The SELECT of a scan: the quoted columns of the quoted table, with the
/// range as literals.
std::string scanQuery(const std::string& table, const std::vector<std::string>& columns,
                      const TimeRange& range);

/// Opens the SQLite file `path` read-only; nullptr with `error` set.
std::unique_ptr<TableSource> openSqliteSource(const std::string& path, std::string* error);

/// Connects to PostgreSQL; nullptr with `error` set (also when built
/// without libpq).
std::unique_ptr<TableSource> openPostgresSource(const std::string& conninfo, std::string* error);

#endif  // ZXREPORT_TABLE_SOURCE_H_
