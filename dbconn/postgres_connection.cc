#include "dbconn/postgres_connection.h"

#include <libpq-fe.h>

#include <cstring>

PostgresResult::~PostgresResult() {
  if (result_ != nullptr) PQclear(result_);
}

int PostgresResult::rows() const { return result_ != nullptr ? PQntuples(result_) : 0; }

const char* PostgresResult::value(int row, int column) const {
  return PQgetvalue(result_, row, column);
}

bool PostgresResult::isNull(int row, int column) const {
  return PQgetisnull(result_, row, column) != 0;
}

PostgresConnection::~PostgresConnection() {
  if (conn_ != nullptr) PQfinish(conn_);
}

bool PostgresConnection::fail(const std::string& what) {
  std::string message = conn_ != nullptr ? PQerrorMessage(conn_) : "out of memory";
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
  error_ = what + ": " + message;
  return false;
}

bool PostgresConnection::open(const std::string& conninfo) {
  conn_ = PQconnectdb(conninfo.c_str());
  if (conn_ == nullptr || PQstatus(conn_) != CONNECTION_OK) {
    return fail("cannot connect to PostgreSQL");
  }
  const char* encoding = PQparameterStatus(conn_, "server_encoding");
  rawBytes_ = encoding != nullptr && std::strcmp(encoding, "SQL_ASCII") == 0;
  if (PQsetClientEncoding(conn_, rawBytes_ ? "SQL_ASCII" : "UTF8") != 0) {
    return fail("cannot set the client encoding");
  }
  // Floats as the shortest text that reads back as the same double.
  return exec("SET datestyle = 'ISO, YMD'; SET client_min_messages = warning;"
              " SET extra_float_digits = 3");
}

bool PostgresConnection::exec(const std::string& sql) {
  PostgresResult result(PQexec(conn_, sql.c_str()));
  return PQresultStatus(result.get()) == PGRES_COMMAND_OK || fail("statement failed");
}

PostgresResult PostgresConnection::query(const std::string& sql,
                                         const std::vector<std::string>& params, bool* ok) {
  std::vector<const char*> values;
  for (const std::string& param : params) values.push_back(param.c_str());
  PostgresResult result(PQexecParams(conn_, sql.c_str(), static_cast<int>(values.size()),
                                     nullptr, values.data(), nullptr, nullptr, 0));
  *ok = PQresultStatus(result.get()) == PGRES_TUPLES_OK;
  if (!*ok) fail("query failed");
  return result;
}
