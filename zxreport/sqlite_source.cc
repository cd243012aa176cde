#include <sqlite3.h>

#include "dbconn/sqlite_connection.h"
#include "zxreport/table_source.h"

namespace {

/// A row read straight from the statement.
class SqliteRow : public ScanRow {
 public:
  explicit SqliteRow(sqlite3_stmt* statement) : statement_(statement) {}
  bool isNull(int column) const override {
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
  }
  std::string_view text(int column) const override {
    const auto* bytes = sqlite3_column_text(statement_, column);
    if (bytes == nullptr) return {};
    return {reinterpret_cast<const char*>(bytes),
            static_cast<std::size_t>(sqlite3_column_bytes(statement_, column))};
  }
  double number(int column) const override { return sqlite3_column_double(statement_, column); }

 private:
  sqlite3_stmt* statement_;
};

/// An SQLite database file, opened read-only.
class SqliteSource : public TableSource {
 public:
  bool open(const std::string& path) {
    path_ = path;
    if (db_.open(path, SqliteMode::kReadOnly)) return true;
    error_ = db_.error();
    return false;
  }

  bool listTables(std::vector<std::string>* names) override {
    return texts("SELECT name FROM sqlite_master WHERE type IN ('table', 'view') ORDER BY name",
                 "", names);
  }

  bool listColumns(const std::string& table, std::vector<std::string>* names) override {
    return texts("SELECT name FROM pragma_table_info(?1)", table, names);
  }

  bool scan(const std::string& table, const std::vector<std::string>& columns,
            const TimeRange& range, const RowSink& sink) override {
    SqliteStatement statement;
    if (!statement.prepare(db_, scanQuery(table, columns, range))) {
      error_ = "cannot read " + table + ": " + db_.error();
      return false;
    }
    SqliteRow row(statement.get());
    while (statement.step()) sink(row);
    if (!statement.failed()) return true;
    db_.fail("cannot read " + table);
    error_ = db_.error();
    return false;
  }

  std::string describe() const override { return "SQLite database " + path_; }

 private:
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

  SqliteConnection db_;
  std::string path_;
};

}  // namespace

std::unique_ptr<TableSource> openSqliteSource(const std::string& path, std::string* error) {
  auto source = std::make_unique<SqliteSource>();
  if (source->open(path)) return source;
  *error = source->error();
  return nullptr;
}
