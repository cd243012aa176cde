#ifndef DBCONN_SQLITE_CONNECTION_H_
#define DBCONN_SQLITE_CONNECTION_H_

#include <chrono>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

/// How a database file is opened.
enum class SqliteMode {
  kReadOnly,  ///< the file must exist; nothing is written
  kCreate,    ///< read and write, created when missing
};

/// How long a statement waits for a lock that another connection holds,
/// and how the wait is told: "PROGRAM: FILE: another connection is writing;
/// waiting (at most N s HINT)" on standard error when it starts.
struct SqliteWait {
  double seconds = 60;   ///< 0: fail at once
  std::string program;   ///< the program's name, for the message
  std::string hint;      ///< after the limit, e.g. ", --wait"
};

/// An open SQLite database, closed with the object. Every failure leaves a
/// message in `error()`. A statement that meets a lock held by another
/// connection waits for it as `SqliteWait` says instead of failing at once.
class SqliteConnection {
 public:
  SqliteConnection() = default;
  SqliteConnection(const SqliteConnection&) = delete;
  SqliteConnection& operator=(const SqliteConnection&) = delete;
  ~SqliteConnection();
  /// Opens the database file at `path`.
  bool open(const std::string& path, SqliteMode mode, const SqliteWait& wait = SqliteWait());
  /// Runs `sql` (one or more statements that return no rows).
  bool exec(const std::string& sql);
  /// Runs `sql` as `exec` does, but fails at once instead of waiting
  /// when another connection holds a lock it needs.
  bool execWithoutWaiting(const std::string& sql);
  /// After a failure on a busy database: how long it waited, else "".
  std::string busyNote() const;
  /// Prepares `sql` into `*statement`, which the caller finalizes.
  bool prepare(const std::string& sql, sqlite3_stmt** statement);
  /// Records the database's message after `what`; returns false.
  bool fail(const std::string& what);
  /// The handle, for the statements of the caller.
  sqlite3* handle() const { return db_; }
  /// The last failure.
  const std::string& error() const { return error_; }

 private:
  /// After a read-only connection met a killed load's journal: what to do.
  std::string cutLoadNote() const;
  /// Called by SQLite while another connection holds a lock.
  static int onBusy(void* self, int count);

  sqlite3* db_ = nullptr;
  std::string error_;
  std::string path_;
  SqliteWait wait_;
  std::chrono::steady_clock::time_point waitStart_;
};

/// A prepared statement, finalized with the object.
class SqliteStatement {
 public:
  SqliteStatement() = default;
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;
  ~SqliteStatement();
  /// Prepares `sql` on `db`.
  bool prepare(SqliteConnection& db, const std::string& sql);
  /// Binds text to the parameter `index` (from 1); the text is copied.
  void bind(int index, const std::string& text);
  /// Steps once: true with a row to read, false at the end or on a failure
  /// (then `failed()` tells).
  bool step();
  /// Whether the last step failed.
  bool failed() const { return failed_; }
  /// The statement, for reading columns.
  sqlite3_stmt* get() const { return statement_; }
  /// Finalizes now.
  void reset();

 private:
  sqlite3_stmt* statement_ = nullptr;
  bool failed_ = false;
};

#endif  // DBCONN_SQLITE_CONNECTION_H_
