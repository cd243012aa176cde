#ifndef DBCONN_POSTGRES_CONNECTION_H_
#define DBCONN_POSTGRES_CONNECTION_H_

#include <string>
#include <vector>

struct pg_conn;
struct pg_result;

/// A query result, cleared with the object.
class PostgresResult {
 public:
  explicit PostgresResult(pg_result* result = nullptr) : result_(result) {}
  PostgresResult(PostgresResult&& other) noexcept : result_(other.result_) { other.result_ = nullptr; }
  PostgresResult(const PostgresResult&) = delete;
  PostgresResult& operator=(const PostgresResult&) = delete;
  ~PostgresResult();
  /// Rows (0 for a failed query).
  int rows() const;
  /// The text of a value ("" for NULL).
  const char* value(int row, int column) const;
  /// Whether a value is NULL.
  bool isNull(int row, int column) const;
  /// The result itself.
  pg_result* get() const { return result_; }

 private:
  pg_result* result_;
};

/// A connection to a PostgreSQL server, closed with the object. The
/// connection speaks UTF-8, except to a database of encoding SQL_ASCII,
/// where it keeps bytes as they are (`rawBytes()`); dates are ISO, and
/// floats are written so that they read back as the same double.
class PostgresConnection {
 public:
  PostgresConnection() = default;
  PostgresConnection(const PostgresConnection&) = delete;
  PostgresConnection& operator=(const PostgresConnection&) = delete;
  ~PostgresConnection();
  /// Connects with the libpq connection string `conninfo`.
  bool open(const std::string& conninfo);
  /// Runs `sql`, which returns no rows.
  bool exec(const std::string& sql);
  /// Runs `sql` with the text parameters `params` ($1, $2, ...); on
  /// failure `*ok` is false and `error()` tells.
  PostgresResult query(const std::string& sql, const std::vector<std::string>& params, bool* ok);
  /// Records the connection's message after `what`; returns false.
  bool fail(const std::string& what);
  /// Whether the database keeps any byte (encoding SQL_ASCII).
  bool rawBytes() const { return rawBytes_; }
  /// The connection, for COPY.
  pg_conn* handle() const { return conn_; }
  /// The last failure.
  const std::string& error() const { return error_; }

 private:
  pg_conn* conn_ = nullptr;
  bool rawBytes_ = false;
  std::string error_;
};

#endif  // DBCONN_POSTGRES_CONNECTION_H_
