#include "dbconn/sqlite_connection.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>

SqliteConnection::~SqliteConnection() {
  if (db_ != nullptr) sqlite3_close(db_);
}

bool SqliteConnection::fail(const std::string& what) {
  error_ = what + ": " + (db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory") + busyNote() +
           cutLoadNote();
  return false;
}

std::string SqliteConnection::cutLoadNote() const {
  // A reader cannot undo what a killed writer left half done.
  if (db_ == nullptr || sqlite3_extended_errcode(db_) != SQLITE_READONLY_ROLLBACK) return "";
  return " (a load was cut off and its journal is still beside the database: the next load,"
         " or any program that writes to it, rolls the cut load back)";
}

std::string SqliteConnection::busyNote() const {
  if (db_ == nullptr || (sqlite3_extended_errcode(db_) & 0xff) != SQLITE_BUSY) return "";
  char note[96];
  std::snprintf(note, sizeof note, " (another connection held it; waited %g s%s)", wait_.seconds,
                wait_.hint.c_str());
  return note;
}

int SqliteConnection::onBusy(void* self, int count) {
  auto* connection = static_cast<SqliteConnection*>(self);
  const SqliteWait& wait = connection->wait_;
  auto now = std::chrono::steady_clock::now();
  if (count == 0) {
    connection->waitStart_ = now;
    if (wait.seconds <= 0) return 0;
    std::fprintf(stderr, "%s: %s: another connection is writing; waiting (at most %g s%s)\n",
                 wait.program.c_str(), connection->path_.c_str(), wait.seconds, wait.hint.c_str());
  }
  double waited = std::chrono::duration<double>(now - connection->waitStart_).count();
  if (waited >= wait.seconds) return 0;
  int pause = std::min(count + 1, 100);  // milliseconds, growing
  sqlite3_sleep(std::min(pause, static_cast<int>((wait.seconds - waited) * 1000) + 1));
  return 1;
}

bool SqliteConnection::open(const std::string& path, SqliteMode mode, const SqliteWait& wait) {
  path_ = path;
  wait_ = wait;
  // One connection is used by one thread at a time: no mutex per call.
  int flags = SQLITE_OPEN_EXRESCODE | SQLITE_OPEN_NOMUTEX |
              (mode == SqliteMode::kCreate ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE
                                           : SQLITE_OPEN_READONLY);
  if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    return fail("cannot open the SQLite database " + path);
  }
  sqlite3_busy_handler(db_, onBusy, this);
  return true;
}

bool SqliteConnection::exec(const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return true;
  error_ = (message != nullptr ? message : "statement failed") + busyNote() + cutLoadNote();
  sqlite3_free(message);
  return false;
}

bool SqliteConnection::execWithoutWaiting(const std::string& sql) {
  sqlite3_busy_handler(db_, nullptr, nullptr);
  const bool done = exec(sql);
  sqlite3_busy_handler(db_, onBusy, this);
  return done;
}

bool SqliteConnection::prepare(const std::string& sql, sqlite3_stmt** statement) {
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, statement, nullptr) == SQLITE_OK) return true;
  error_ = sqlite3_errmsg(db_) + cutLoadNote();
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
