#include "zxload/sqlite_target.h"

#include <sqlite3.h>

#include <charconv>
#include <cstdint>

namespace {

/// SQLite column type of `type`.
const char* sqliteType(ColumnType type) {
  switch (type) {
    case ColumnType::kInteger: return "INTEGER";
    case ColumnType::kReal: return "REAL";
    default: return "TEXT";
  }
}

/// Binds a checked number: a whole number that fits as an integer, any
/// other as a real.
int bindNumber(sqlite3_stmt* statement, int index, std::string_view text, ColumnType type) {
  const char* end = text.data() + text.size();
  const char* start = text.data() + (text.front() == '+' ? 1 : 0);
  if (type == ColumnType::kInteger) {
    std::int64_t whole = 0;
    auto result = std::from_chars(start, end, whole);
    if (result.ec == std::errc() && result.ptr == end) {
      return sqlite3_bind_int64(statement, index, whole);
    }
  }
  double real = 0;
  std::from_chars(start, end, real);
  return sqlite3_bind_double(statement, index, real);
}

}  // namespace

SqliteTarget::~SqliteTarget() {
  finalizeInsert();
  if (db_ != nullptr) sqlite3_close(db_);
}

bool SqliteTarget::fail(const std::string& what) {
  error_ = what + ": " + (db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory");
  return false;
}

bool SqliteTarget::exec(const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return true;
  error_ = message != nullptr ? message : sqlite3_errmsg(db_);
  sqlite3_free(message);
  return false;
}

void SqliteTarget::finalizeInsert() {
  if (insert_ != nullptr) sqlite3_finalize(insert_);
  insert_ = nullptr;
}

bool SqliteTarget::open(const std::string& path) {
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_EXRESCODE;
  if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    return fail("cannot open the SQLite database " + path);
  }
  sqlite3_busy_timeout(db_, 60000);
  // A bigger page cache keeps a large transaction from spilling early.
  return exec("PRAGMA cache_size = -65536") ||
         fail("cannot open the SQLite database " + path);
}

bool SqliteTarget::begin(const LoadPlan& plan, const LoadRecord& record, bool* recorded) {
  plan_ = &plan;
  // IMMEDIATE takes the write lock now, so that two loads of one file
  // cannot both find it unrecorded.
  if (!exec("BEGIN IMMEDIATE")) return false;
  const std::string columns = columnDefinitions(plan, sqliteType);
  if (!exec(std::string("CREATE TABLE IF NOT EXISTS ") + kLoadsTable +
            " (file_name TEXT NOT NULL, table_name TEXT NOT NULL,"
            " file_size INTEGER NOT NULL, checksum TEXT NOT NULL,"
            " row_count INTEGER NOT NULL, loaded_at TEXT NOT NULL,"
            " UNIQUE (table_name, file_size, checksum))") ||
      !exec("CREATE TABLE IF NOT EXISTS " + quoteIdentifier(plan.table) + " (" + columns + ")") ||
      !addMissingColumns()) {
    return false;
  }
  sqlite3_stmt* query = nullptr;
  std::string sql = std::string("SELECT 1 FROM ") + kLoadsTable +
                    " WHERE table_name = ?1 AND file_size = ?2 AND checksum = ?3";
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &query, nullptr) != SQLITE_OK) {
    return fail("cannot read " + std::string(kLoadsTable));
  }
  sqlite3_bind_text(query, 1, record.table.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int64(query, 2, static_cast<sqlite3_int64>(record.size));
  sqlite3_bind_text(query, 3, record.checksum.c_str(), -1, SQLITE_TRANSIENT);
  int step = sqlite3_step(query);
  sqlite3_finalize(query);
  if (step != SQLITE_ROW && step != SQLITE_DONE) return fail("cannot read " + std::string(kLoadsTable));
  *recorded = step == SQLITE_ROW;
  return true;
}

bool SqliteTarget::addMissingColumns() {
  // Logs of other formats load other columns into the same table: the
  // table takes the union of their columns.
  sqlite3_stmt* query = nullptr;
  std::string sql = "SELECT name FROM pragma_table_info(?1)";
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &query, nullptr) != SQLITE_OK) {
    return fail("cannot read the columns of " + plan_->table);
  }
  sqlite3_bind_text(query, 1, plan_->table.c_str(), -1, SQLITE_TRANSIENT);
  std::vector<std::string> existing;
  while (sqlite3_step(query) == SQLITE_ROW) {
    existing.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(query, 0)));
  }
  sqlite3_finalize(query);
  for (const PlanColumn& column : missingColumns(*plan_, existing)) {
    if (!exec("ALTER TABLE " + quoteIdentifier(plan_->table) + " ADD COLUMN " +
              columnDefinition(column, sqliteType))) {
      return false;
    }
  }
  return true;
}

bool SqliteTarget::startRows() {
  std::string marks;
  for (std::size_t k = 0; k < plan_->columns.size(); ++k) marks += k == 0 ? "?" : ", ?";
  std::string sql = "INSERT INTO " + quoteIdentifier(plan_->table) + " (" + columnList(*plan_) +
                    ") VALUES (" + marks + ")";
  finalizeInsert();
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &insert_, nullptr) != SQLITE_OK) {
    return fail("cannot insert into " + plan_->table);
  }
  return true;
}

bool SqliteTarget::addRow(const std::vector<RowValue>& values) {
  for (std::size_t k = 0; k < values.size(); ++k) {
    const RowValue& value = values[k];
    ColumnType type = plan_->columns[k].type;
    int index = static_cast<int>(k) + 1;
    int status;
    if (type == ColumnType::kText || type == ColumnType::kTimestamp) {
      // Text keeps its bytes exactly, time stamps their written form.
      status = sqlite3_bind_text(insert_, index, value.text.data(),
                                 static_cast<int>(value.text.size()), SQLITE_STATIC);
    } else if (value.null) {
      status = sqlite3_bind_null(insert_, index);
    } else {
      status = bindNumber(insert_, index, value.text, type);
    }
    if (status != SQLITE_OK) return fail("cannot insert into " + plan_->table);
  }
  int step = sqlite3_step(insert_);
  sqlite3_reset(insert_);
  if (step != SQLITE_DONE) return fail("cannot insert into " + plan_->table);
  return true;
}

bool SqliteTarget::commit(const LoadRecord& record) {
  finalizeInsert();
  sqlite3_stmt* statement = nullptr;
  std::string sql = std::string("INSERT INTO ") + kLoadsTable +
                    " (file_name, table_name, file_size, checksum, row_count, loaded_at)"
                    " VALUES (?1, ?2, ?3, ?4, ?5, strftime('%Y-%m-%d %H:%M:%f', 'now'))";
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    return fail("cannot record the load");
  }
  sqlite3_bind_text(statement, 1, record.fileName.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(statement, 2, record.table.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int64(statement, 3, static_cast<sqlite3_int64>(record.size));
  sqlite3_bind_text(statement, 4, record.checksum.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int64(statement, 5, static_cast<sqlite3_int64>(record.rows));
  int step = sqlite3_step(statement);
  sqlite3_finalize(statement);
  if (step != SQLITE_DONE) return fail("cannot record the load");
  return exec("COMMIT");
}

void SqliteTarget::rollback() {
  finalizeInsert();
  if (db_ != nullptr && !sqlite3_get_autocommit(db_)) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
}
