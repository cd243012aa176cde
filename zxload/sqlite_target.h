#ifndef ZXLOAD_SQLITE_TARGET_H_
#define ZXLOAD_SQLITE_TARGET_H_

#include <memory>
#include <string>

#include "zxload/load_target.h"

struct sqlite3;
struct sqlite3_stmt;

/// An SQLite database file; rows go in through one prepared insert.
class SqliteTarget : public LoadTarget {
 public:
  ~SqliteTarget() override;
  /// Opens (creating it when missing) the database at `path`.
  bool open(const std::string& path);
  bool begin(const LoadPlan& plan, const LoadRecord& record, bool* recorded) override;
  bool startRows() override;
  bool addRow(const std::vector<RowValue>& values) override;
  bool commit(const LoadRecord& record) override;
  void rollback() override;

 private:
  /// Runs `sql`; false with the database's message.
  bool exec(const std::string& sql);
  /// Records the database's message after `what`.
  bool fail(const std::string& what);
  /// Adds the plan's columns that the existing table lacks.
  bool addMissingColumns();
  /// Releases the insert statement.
  void finalizeInsert();

  sqlite3* db_ = nullptr;
  sqlite3_stmt* insert_ = nullptr;
  const LoadPlan* plan_ = nullptr;
};

#endif  // ZXLOAD_SQLITE_TARGET_H_
