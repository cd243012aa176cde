#ifndef ZXLOAD_SQLITE_TARGET_H_
#define ZXLOAD_SQLITE_TARGET_H_

#include <future>
#include <memory>
#include <string>

#include "dbconn/sqlite_connection.h"
#include "zxload/early_writeback.h"
#include "zxload/load_target.h"
#include "zxload/sqlite_image.h"
#include "zxload/sqlite_record.h"

/// An SQLite database file in write-ahead-log mode, so that readers never
/// hold up a load. Rows are written as SQLite records into an in-memory
/// database image (attached as zxload_stage), which one statement copies
/// into the table record by record, a few megabytes at a time, beside the
/// encoding of the next rows;
/// tables whose columns SQLite would convert values for otherwise (column
/// types, defaults, constraints that zxload does not make) and databases
/// not in UTF-8 take the rows through one prepared insert instead.
class SqliteTarget : public LoadTarget {
 public:
  ~SqliteTarget() override;
  /// Opens (creating it when missing) the database at `path`; a load waits
  /// at most `waitSeconds` for another writer (below 0: 60 s). With
  /// `readOnly` the database is only read (for listing the loads). With
  /// `rollbackJournal` a load goes through a rollback journal when no other
  /// connection has the database open, and switches back to the log after.
  bool open(const std::string& path, double waitSeconds, bool readOnly, bool rollbackJournal);
  bool begin(const LoadPlan& plan, LoadRecord* record, LoadHistory* history) override;
  bool isRecorded(const LoadRecord& record, bool* recorded) override;
  bool removeLoad(const LoadRecord& earlier, std::uint64_t* rows) override;
  bool startRows() override;
  bool addRow(const std::vector<RowValue>& values) override;
  bool endRows() override;
  StoredForm storedForm() const override { return StoredForm{}; }
  bool columnTypes(ColumnTypes* types) override;
  bool writeSummary(std::int64_t id, const std::vector<SummaryCell>& cells) override;
  bool commit(const LoadRecord& record) override;
  void rollback() override;
  bool listLoads(std::vector<LoadRecord>* loads) override;

 private:
  /// Runs `sql`; false with the database's message.
  bool exec(const std::string& sql);
  /// Records the database's message after `what`.
  bool fail(const std::string& what);
  /// Says how long a load waited when the last failure was a busy database.
  std::string busyNote() const;
  /// Prepares `sql` into `statement`; false with a message naming `what`.
  bool prepare(const std::string& sql, sqlite3_stmt** statement, const std::string& what);
  /// The names of the columns of `table`, empty when there is no such table.
  bool columnsOf(const std::string& table, std::vector<std::string>* columns);
  /// The names and declared types (lower case) of the columns of `table`.
  bool tableInfo(const std::string& table, ColumnTypes* types);
  /// Creates the loads table, or adds what an older zxload did not make.
  bool prepareLoadsTable();
  /// Creates the summary table when it is missing.
  bool prepareSummaryTable();
  /// The plan's table as the database spells it (names are case-blind).
  bool heldTable(const std::string& table, std::string* held);
  /// Creates the record's table or adds the plan's columns that it lacks.
  bool prepareTable(const std::string& table);
  /// Runs `sql` of `loadsSql` with text parameters into `loads`.
  bool readLoads(const std::string& sql, const std::vector<std::string>& params,
                 std::vector<LoadRecord>* loads);
  /// Fills `history` and the record's new id.
  bool readHistory(LoadRecord* record, LoadHistory* history);
  /// Releases the insert statements and lets go of the staged rows.
  void finalizeInsert();
  /// Prepares the staged copy when the table takes records as SQLite would
  /// write them; false with `staged_` unset when it does not (or on error).
  bool prepareStage();
  /// Starts copying the full stage image into the table beside the
  /// filling of the other one.
  bool flushStage();
  /// Copies the rows of `image` into the table and empties it.
  bool copyImage(SqliteImage* image);
  /// Waits for a copy under way; false when it failed.
  bool waitForCopy();
  /// Detaches the stage (outside a transaction).
  void detachStage();
  /// Switches the write-ahead log on after a load that went without it.
  void switchLogOn();

  // Declared before the connection, so that its descriptors of the
  // database file are closed after the connection is.
  std::unique_ptr<EarlyWriteback> writeback_;
  SqliteConnection db_;
  sqlite3_stmt* insert_ = nullptr;  // the row by row insert
  sqlite3_stmt* copy_ = nullptr;    // the copy from the stage
  bool staged_ = false;             // rows go through the stage
  bool attached_ = false;           // zxload_stage is attached
  bool logLater_ = false;           // the log is switched on after this load's commit
  bool rollbackJournal_ = false;    // each load leaves the log when nobody else has the file
  std::unique_ptr<SqliteImage> image_;   // the rows being staged
  std::unique_ptr<SqliteImage> spare_;   // the rows being copied
  std::future<bool> copying_;            // the copy of spare_
  std::unique_ptr<SqliteImage> empty_;   // attached between copies
  SqliteRecord record_;
  std::vector<int> slots_;          // per table column: plan column, or below
  /// How a plan column's values are written.
  enum ValueKind : unsigned char { kTextValue, kIntegerValue, kRealValue };
  std::vector<ValueKind> kinds_;    // per plan column
  const LoadPlan* plan_ = nullptr;
  std::string table_;         // the table the rows go to, as held
  std::int64_t loadId_ = 0;   // id of the load under way
  std::vector<std::string> loadsColumns_;  // columns of the loads table
  double waitSeconds_ = 60;   // longest wait for another writer
};

#endif  // ZXLOAD_SQLITE_TARGET_H_
