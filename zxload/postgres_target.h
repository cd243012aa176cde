#ifndef ZXLOAD_POSTGRES_TARGET_H_
#define ZXLOAD_POSTGRES_TARGET_H_

#include <string>

#include "zxload/load_target.h"

struct pg_conn;

/// A PostgreSQL database; rows go in through COPY ... FROM STDIN in text
/// form, gathered in a buffer. In a database of encoding SQL_ASCII text
/// values keep their bytes; in any other the connection speaks UTF-8 and a
/// byte that is not part of a valid UTF-8 sequence is sent as the Latin-1
/// character of that number, so no row is refused for its bytes.
class PostgresTarget : public LoadTarget {
 public:
  ~PostgresTarget() override;
  /// Connects with the libpq connection string `conninfo`.
  bool open(const std::string& conninfo);
  bool begin(const LoadPlan& plan, const LoadRecord& record, bool* recorded) override;
  bool startRows() override;
  bool addRow(const std::vector<RowValue>& values) override;
  bool commit(const LoadRecord& record) override;
  void rollback() override;

 private:
  /// Runs `sql`, which returns no rows; false with the server's message.
  bool exec(const std::string& sql);
  /// Records the connection's message after `what`.
  bool fail(const std::string& what);
  /// Adds the plan's columns that the existing table lacks.
  bool addMissingColumns();
  /// Appends one text value in COPY text form.
  void appendText(std::string_view text);
  /// Sends the gathered rows.
  bool flush();

  pg_conn* conn_ = nullptr;
  const LoadPlan* plan_ = nullptr;
  bool rawBytes_ = false;  // the database takes any byte (SQL_ASCII)
  bool copying_ = false;
  std::string buffer_;
};

/// Appends `text` to `out` escaped for COPY text form; with `rawBytes`
/// false, bytes that are not valid UTF-8 are sent as Latin-1 characters.
void appendCopyText(std::string_view text, bool rawBytes, std::string* out);

#endif  // ZXLOAD_POSTGRES_TARGET_H_
