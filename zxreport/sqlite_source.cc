#include <sqlite3.h>

#include "dbconn/identifier.h"
#include "dbconn/sqlite_connection.h"
#include "zxreport/row_batch.h"
#include "zxreport/table_source.h"

namespace {

/// What the row function appends to.
struct RowTarget {
  const std::vector<ScanColumn>* columns = nullptr;
  BatchPipe* pipe = nullptr;
};

/// The SQL function zxreport_row(columns...): appends its arguments, one
/// row, to the batch of the scan at hand. Taking the values as arguments
/// spares a call into the library per column of every row.
void rowFunction(sqlite3_context* context, int count, sqlite3_value** values) {
  auto* target = static_cast<RowTarget*>(sqlite3_user_data(context));
  const std::vector<ScanColumn>& columns = *target->columns;
  RowBatch& batch = target->pipe->current();
  for (int c = 0; c < count; ++c) {
    sqlite3_value* value = values[c];
    if (sqlite3_value_type(value) == SQLITE_NULL) {
      batch.addNull(columns[c].number);
    } else if (columns[c].number) {
      batch.addNumber(sqlite3_value_double(value));
    } else {
      // The bytes as stored: sqlite3_value_text would copy each value to
      // end it with a NUL.
      const void* bytes = sqlite3_value_blob(value);
      batch.addText({static_cast<const char*>(bytes),
                     static_cast<std::size_t>(sqlite3_value_bytes(value))});
    }
  }
  batch.endRow();
  target->pipe->rowAdded();
  sqlite3_result_null(context);
}

/// An SQLite database file, opened read-only.
class SqliteSource : public TableSource {
 public:
  bool open(const std::string& path) {
    path_ = path;
    if (db_.open(path, SqliteMode::kReadOnly, SqliteWait{60, "zxreport", ""}) &&
        sqlite3_create_function_v2(db_.handle(), "zxreport_row", -1, SQLITE_UTF8 | SQLITE_DIRECTONLY,
                                   &target_, rowFunction, nullptr, nullptr, nullptr) == SQLITE_OK) {
      return true;
    }
    error_ = "cannot open the SQLite database " + path + ": " + sqlite3_errmsg(db_.handle());
    return false;
  }

  bool beginRead() override {
    if (!db_.exec("BEGIN")) {
      error_ = "cannot read " + path_ + ": " + db_.error();
      return false;
    }
    return fingerprint(&fingerprint_);
  }

  std::unique_ptr<TableSource> another() override {
    // Without a shared snapshot, a helper connection is used only when it
    // sees the same loads as this one (a load in between changes the
    // table of loaded files); rows are written only together with it.
    for (int attempt = 0; attempt < 3; ++attempt) {
      auto helper = std::make_unique<SqliteSource>();
      if (!helper->open(path_) || !helper->beginRead()) return nullptr;
      if (helper->fingerprint_ == fingerprint_) return helper;
    }
    return nullptr;
  }

  bool split(const std::string& table, int parts, std::vector<std::string>* conditions) override {
    SqliteStatement statement;
    // A view or a table without rowid is read in one piece.
    // Two queries, so that each finds its end of the rowids at once.
    const std::string name = quoteTableName(table, false);
    if (parts > 1 &&
        statement.prepare(db_, "SELECT (SELECT min(rowid) FROM " + name + "), (SELECT max(rowid) FROM " +
                                   name + ")") &&
        statement.step() && sqlite3_column_type(statement.get(), 0) != SQLITE_NULL) {
      long long first = sqlite3_column_int64(statement.get(), 0);
      long long last = sqlite3_column_int64(statement.get(), 1);
      if (last - first + 1 >= parts) {
        *conditions = splitConditions("rowid", first, last, parts,
                                      [](long long n) { return std::to_string(n); });
        return true;
      }
    }
    conditions->assign(1, "");
    return true;
  }

  bool listTables(std::vector<std::string>* names) override {
    return texts("SELECT name FROM sqlite_master WHERE type IN ('table', 'view') ORDER BY name",
                 "", names);
  }

  bool listColumns(const std::string& table, std::vector<std::string>* names) override {
    return texts("SELECT name FROM pragma_table_info(?1)", table, names);
  }

  bool scan(const std::string& table, const std::vector<ScanColumn>& columns,
            const TimeRange& range, const std::string& condition, BatchPipe& pipe) override {
    SqliteStatement statement;
    if (!statement.prepare(db_, scanQuery(quoteTableName(table, false), columns, range, condition,
                                          "zxreport_row"))) {
      error_ = "cannot read " + table + ": " + db_.error();
      return false;
    }
    target_ = RowTarget{&columns, &pipe};
    while (statement.step()) {
    }
    if (!statement.failed()) return true;
    db_.fail("cannot read " + table);
    error_ = db_.error();
    return false;
  }

  bool tableLoads(const std::string& table, std::vector<std::int64_t>* ids,
                  bool* withoutId) override {
    *withoutId = false;
    std::vector<std::string> columns;
    if (!texts("SELECT name FROM pragma_table_info('zxload_files')", "", &columns)) return false;
    if (columns.empty()) return true;
    bool hasId = false;
    for (const std::string& column : columns) hasId = hasId || column == "id";
    SqliteStatement statement;
    if (!statement.prepare(db_, std::string("SELECT ") + (hasId ? "id" : "NULL") +
                                    " FROM zxload_files WHERE table_name = ?1 COLLATE NOCASE")) {
      return failed("cannot read the loads of " + table);
    }
    statement.bind(1, table);
    while (statement.step()) {
      if (sqlite3_column_type(statement.get(), 0) == SQLITE_NULL) *withoutId = true;
      else ids->push_back(sqlite3_column_int64(statement.get(), 0));
    }
    return !statement.failed() || failed("cannot read the loads of " + table);
  }

  bool summaryCells(const std::string& table, const std::string& dataSet,
                    std::vector<StoredCell>* cells) override {
    std::vector<std::string> found;
    if (!texts("SELECT name FROM sqlite_master WHERE type = 'table' AND name = '" +
                   std::string(kSummaryTable) + "'", "", &found)) {
      return false;
    }
    if (found.empty()) return true;
    SqliteStatement statement;
    if (!statement.prepare(db_, std::string("SELECT s.rowid, s.zxload_id, s.day, s.first_time,"
                                            " s.last_time, s.null_times, s.row_count, s.format,"
                                            " s.part FROM ") + kSummaryTable +
                                    " s JOIN zxload_files f ON f.id = s.zxload_id"
                                    " WHERE f.table_name = ?1 COLLATE NOCASE AND s.data_set = ?2")) {
      return failed("cannot read the summaries of " + table);
    }
    statement.bind(1, table);
    statement.bind(2, dataSet);
    sqlite3_stmt* row = statement.get();
    auto text = [&](int column) {
      const auto* value = sqlite3_column_text(row, column);
      return value == nullptr ? std::string()
                              : std::string(reinterpret_cast<const char*>(value),
                                            static_cast<std::size_t>(sqlite3_column_bytes(row, column)));
    };
    while (statement.step()) {
      StoredCell cell;
      cell.key = std::to_string(sqlite3_column_int64(row, 0));
      cell.load = sqlite3_column_int64(row, 1);
      cell.cell.day = text(2);
      cell.cell.hasTimes = sqlite3_column_type(row, 3) != SQLITE_NULL;
      cell.cell.firstTime = text(3);
      cell.cell.lastTime = text(4);
      cell.cell.nullTimes = sqlite3_column_int64(row, 5);
      cell.cell.rows = sqlite3_column_int64(row, 6);
      cell.format = sqlite3_column_int64(row, 7);
      cell.part = sqlite3_column_int64(row, 8);
      cells->push_back(std::move(cell));
    }
    return !statement.failed() || failed("cannot read the summaries of " + table);
  }

  bool readCellData(const std::string& key, std::string* data) override {
    // Read straight into `data` (billing cells keep it from cell to cell):
    // no buffer of the library's own for each part, and no copy of it.
    sqlite3_blob* blob = nullptr;
    if (sqlite3_blob_open(db_.handle(), "main", kSummaryTable, "data", std::stoll(key), 0,
                          &blob) != SQLITE_OK) {
      failed("cannot read a summary");
      sqlite3_blob_close(blob);
      return false;
    }
    const std::size_t start = data->size();
    const int bytes = sqlite3_blob_bytes(blob);
    data->resize(start + static_cast<std::size_t>(bytes));
    const bool read = sqlite3_blob_read(blob, data->data() + start, bytes, 0) == SQLITE_OK;
    if (!read) failed("cannot read a summary");
    sqlite3_blob_close(blob);
    return read;
  }

  std::string describe() const override { return "SQLite database " + path_; }

 private:
  /// Records the database's message after `what`; returns false.
  bool failed(const std::string& what) {
    db_.fail(what);
    error_ = db_.error();
    return false;
  }

  /// The first column of every row of `sql`, with `param` bound to ?1
  /// when it is not empty.
  bool texts(const std::string& sql, const std::string& param, std::vector<std::string>* out) {
    SqliteStatement statement;
    if (!statement.prepare(db_, sql)) {
      error_ = "cannot read the tables of " + path_ + ": " + db_.error();
      return false;
    }
    if (!param.empty()) statement.bind(1, param);
    while (statement.step()) {
      const auto* text = sqlite3_column_text(statement.get(), 0);
      out->emplace_back(text != nullptr ? reinterpret_cast<const char*>(text) : "");
    }
    if (!statement.failed()) return true;
    db_.fail("cannot read the tables of " + path_);
    error_ = db_.error();
    return false;
  }

  /// What the loads table holds, as this connection sees it.
  bool fingerprint(std::string* out) {
    std::vector<std::string> loads;
    if (!texts("SELECT count(*) FROM sqlite_master WHERE name = 'zxload_files'", "", &loads)) {
      return false;
    }
    if (loads.empty() || loads[0] == "0") return true;
    loads.clear();
    if (!texts("SELECT group_concat(rowid || ' ' || checksum || ' ' || loaded_at, ',')"
               " FROM zxload_files", "", &loads)) {
      return false;
    }
    *out = loads.empty() ? "" : loads[0];
    return true;
  }

  SqliteConnection db_;
  RowTarget target_;
  std::string path_;
  std::string fingerprint_;
};

}  // namespace

std::unique_ptr<TableSource> openSqliteSource(const std::string& path, std::string* error) {
  auto source = std::make_unique<SqliteSource>();
  if (source->open(path)) return source;
  *error = source->error();
  return nullptr;
}
