#include "dbconn/sqlite_connection.h"

#include <sqlite3.h>

namespace {

/// How long a statement waits for another connection's lock.
constexpr int kBusyTimeoutMs = 60000;

}  // namespace

SqliteConnection::~SqliteConnection() {
  if (db_ != nullptr) sqlite3_close(db_);
}

bool SqliteConnection::fail(const std::string& what) {
  error_ = what + ": " + (db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory");
  return false;
}

bool SqliteConnection::open(const std::string& path, SqliteMode mode) {
  // One connection is used by one thread at a time: no mutex per call.
  int flags = SQLITE_OPEN_EXRESCODE | SQLITE_OPEN_NOMUTEX |
              (mode == SqliteMode::kCreate ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE
                                           : SQLITE_OPEN_READONLY);
  if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    return fail("cannot open the SQLite database " + path);
  }
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  return true;
}

bool SqliteConnection::exec(const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return true;
  error_ = message != nullptr ? message : sqlite3_errmsg(db_);
  sqlite3_free(message);
  return false;
}

bool SqliteConnection::prepare(const std::string& sql, sqlite3_stmt** statement) {
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, statement, nullptr) == SQLITE_OK) return true;
  error_ = sqlite3_errmsg(db_);
  return false;
}

SqliteStatement::~SqliteStatement() { reset(); }

void SqliteStatement::reset() {
  if (statement_ != nullptr) sqlite3_finalize(statement_);
  statement_ = nullptr;
  failed_ = false;
}

bool SqliteStatement::prepare(SqliteConnection& db, const std::string& sql) {
  reset();
  return db.prepare(sql, &statement_);
}

void SqliteStatement::bind(int index, const std::string& text) {
  sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()),
                    SQLITE_TRANSIENT);
}

bool SqliteStatement::step() {
  int status = sqlite3_step(statement_);
  failed_ = status != SQLITE_ROW && status != SQLITE_DONE;
  return status == SQLITE_ROW;
}
