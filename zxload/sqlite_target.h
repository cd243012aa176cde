#ifndef ZXLOAD_SQLITE_TARGET_H_
#define ZXLOAD_SQLITE_TARGET_H_

#include <string>

#include "dbconn/sqlite_connection.h"
#include "zxload/load_target.h"

/// An SQLite database file in write-ahead-log mode, so that readers never
/// hold up a load; rows go in through one prepared insert.
class SqliteTarget : public LoadTarget {
 public:
  ~SqliteTarget() override;
  /// Opens (creating it when missing) the database at `path`; a load waits
  /// at most `waitSeconds` for another writer (below 0: 60 s). With
  /// `readOnly` the database is only read (for listing the loads).
  bool open(const std::string& path, double waitSeconds, bool readOnly);
  bool begin(const LoadPlan& plan, LoadRecord* record, LoadHistory* history) override;
  bool removeLoad(const LoadRecord& earlier, std::uint64_t* rows) override;
  bool startRows() override;
  bool addRow(const std::vector<RowValue>& values) override;
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
  /// Releases the insert statement.
  void finalizeInsert();

  SqliteConnection db_;
  sqlite3_stmt* insert_ = nullptr;
  const LoadPlan* plan_ = nullptr;
  std::string table_;         // the table the rows go to, as held
  std::int64_t loadId_ = 0;   // id of the load under way
  std::vector<std::string> loadsColumns_;  // columns of the loads table
  double waitSeconds_ = 60;   // longest wait for another writer
};

#endif  // ZXLOAD_SQLITE_TARGET_H_
