#ifndef ZXLOAD_POSTGRES_TARGET_H_
#define ZXLOAD_POSTGRES_TARGET_H_

#include <cstdint>
#include <string>
#include <vector>

#include "dbconn/postgres_connection.h"
#include "zxload/load_target.h"


/// A PostgreSQL database; rows go in through COPY ... FROM STDIN, gathered
/// in a buffer: in binary form, which the server takes without parsing,
/// into columns of the types zxload makes, else in text form. In a database of encoding SQL_ASCII text
/// values keep their bytes; in any other the connection speaks UTF-8 and a
/// byte that is not part of a valid UTF-8 sequence is sent as the Latin-1
/// character of that number, so no row is refused for its bytes.
class PostgresTarget : public LoadTarget {
 public:
  ~PostgresTarget() override;
  /// Connects with the libpq connection string `conninfo`; a load waits at
  /// most `waitSeconds` for another load (below 0: as long as it takes).
  bool open(const std::string& conninfo, double waitSeconds);
  bool begin(const LoadPlan& plan, LoadRecord* record, LoadHistory* history) override;
  bool isRecorded(const LoadRecord& record, bool* recorded) override;
  bool removeLoad(const LoadRecord& earlier, std::uint64_t* rows) override;
  bool startRows() override;
  bool addRow(const std::vector<RowValue>& values) override;
  bool endRows() override;
  StoredForm storedForm() const override { return StoredForm{true, db_.rawBytes()}; }
  bool columnTypes(ColumnTypes* types) override;
  bool writeSummary(std::int64_t id, const std::vector<SummaryCell>& cells) override;
  bool commit(const LoadRecord& record) override;
  void rollback() override;
  bool listLoads(std::vector<LoadRecord>* loads) override;

 private:
  class Result;
  /// Runs `sql`, which returns no rows; false with the server's message.
  bool exec(const std::string& sql);
  /// Runs `sql` with text parameters; false with a message naming `what`.
  bool query(const std::string& sql, const std::vector<std::string>& params, Result* result,
             const std::string& what);
  /// Records the connection's message after `what`.
  bool fail(const std::string& what);
  /// Takes the lock that makes loads take turns, saying so when it waits.
  bool lockLoads();
  /// Creates `schema` when it is missing.
  bool makeSchema(const std::string& schema);
  /// The names of the columns of the table `qualified`, none when missing.
  bool columnsOf(const std::string& qualified, std::vector<std::string>* columns);
  /// Creates the loads table, or adds what an older zxload did not make.
  bool prepareLoadsTable();
  /// Creates the plan's table or adds the plan's columns that it lacks.
  bool prepareTable(const std::string& qualified);
  /// Sets the record's schema and table to those the database holds.
  bool heldTable(const std::string& qualified, LoadRecord* record);
  /// Runs `sql` of `loadsSql` with text parameters into `loads`.
  bool readLoads(const std::string& sql, const std::vector<std::string>& params,
                 std::vector<LoadRecord>* loads);
  /// Fills `history` and the record's new id.
  bool readHistory(LoadRecord* record, LoadHistory* history);
  /// `text` as the database stores it (file names need not be UTF-8).
  std::string stored(const std::string& text) const;
  /// Whether the rows go in binary form (the table's columns are of the
  /// types zxload makes).
  bool chooseBinary();
  /// Takes one row in binary form.
  bool addBinaryRow(const std::vector<RowValue>& values);
  /// Appends one text value in COPY text form.
  void appendText(std::string_view text);
  /// Sends the gathered rows.
  bool flush();
  /// Creates the summary table when it is missing.
  bool prepareSummaryTable();

  PostgresConnection db_;
  const LoadPlan* plan_ = nullptr;
  bool copying_ = false;
  bool binary_ = false;    // rows in binary COPY form
  std::int64_t loadId_ = 0;
  double waitSeconds_ = -1;
  std::string qualified_;  // the table the rows go to, quoted
  std::vector<std::string> loadsColumns_;  // columns of the loads table
  std::string rowEnd_;     // the load id and the line end of every row
  std::string buffer_;
};

/// Appends `text` to `out` escaped for COPY text form; with `rawBytes`
/// false, bytes that are not valid UTF-8 are sent as Latin-1 characters.
void appendCopyText(std::string_view text, bool rawBytes, std::string* out);

#endif  // ZXLOAD_POSTGRES_TARGET_H_
