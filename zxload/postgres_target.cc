#include "zxload/postgres_target.h"

#include <libpq-fe.h>

#include <cstring>

namespace {

/// Rows gathered before they are sent.
constexpr std::size_t kCopyChunk = 256 * 1024;

/// PostgreSQL column type of `type`.
const char* postgresType(ColumnType type) {
  switch (type) {
    case ColumnType::kInteger: return "numeric";
    case ColumnType::kReal: return "double precision";
    case ColumnType::kTimestamp: return "timestamp";
    default: return "text";
  }
}

/// Length of the valid UTF-8 sequence at the start of `s` (of `n` bytes),
/// or 0 when it is not one.
std::size_t utf8Length(const unsigned char* s, std::size_t n) {
  unsigned char c = s[0];
  std::size_t length;
  unsigned char low = 0x80, high = 0xbf;
  if (c >= 0xc2 && c <= 0xdf) length = 2;
  else if (c >= 0xe0 && c <= 0xef) {
    length = 3;
    if (c == 0xe0) low = 0xa0;
    if (c == 0xed) high = 0x9f;  // no surrogates
  } else if (c >= 0xf0 && c <= 0xf4) {
    length = 4;
    if (c == 0xf0) low = 0x90;
    if (c == 0xf4) high = 0x8f;
  } else {
    return 0;
  }
  if (n < length || s[1] < low || s[1] > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (s[i] < 0x80 || s[i] > 0xbf) return 0;
  }
  return length;
}

/// True when a byte needs more than copying.
bool needsCare(unsigned char c) {
  return c == '\\' || c == '\t' || c == '\n' || c == '\r' || c == 0 || c >= 0x80;
}

/// `text` with every byte that is not part of a valid UTF-8 sequence
/// turned into the Latin-1 character of that number.
std::string validUtf8(std::string_view text) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t length = s[i] < 0x80 ? 1 : utf8Length(s + i, text.size() - i);
    if (length > 0) {
      out.append(text.data() + i, length);
      i += length;
    } else {
      out.push_back(static_cast<char>(0xc0 | (s[i] >> 6)));
      out.push_back(static_cast<char>(0x80 | (s[i] & 0x3f)));
      ++i;
    }
  }
  return out;
}

}  // namespace

void appendCopyText(std::string_view text, bool rawBytes, std::string* out) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t plain = 0;
  for (std::size_t i = 0; i < n;) {
    unsigned char c = s[i];
    if (!needsCare(c) || (rawBytes && c >= 0x80)) {
      ++i;
      continue;
    }
    out->append(text.data() + plain, i - plain);
    if (c >= 0x80) {
      std::size_t length = utf8Length(s + i, n - i);
      if (length > 0) {
        out->append(text.data() + i, length);
        i += length;
      } else {
        out->push_back(static_cast<char>(0xc0 | (c >> 6)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3f)));
        ++i;
      }
    } else {
      switch (c) {
        case '\\': out->append("\\\\"); break;
        case '\t': out->append("\\t"); break;
        case '\n': out->append("\\n"); break;
        case '\r': out->append("\\r"); break;
        default: out->append(rawBytes ? "?" : "\xef\xbf\xbd"); break;  // NUL
      }
      ++i;
    }
    plain = i;
  }
  out->append(text.data() + plain, n - plain);
}

PostgresTarget::~PostgresTarget() {
  if (conn_ != nullptr) PQfinish(conn_);
}

bool PostgresTarget::fail(const std::string& what) {
  std::string message = conn_ != nullptr ? PQerrorMessage(conn_) : "out of memory";
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
  error_ = what + ": " + message;
  return false;
}

bool PostgresTarget::exec(const std::string& sql) {
  PGresult* result = PQexec(conn_, sql.c_str());
  bool ok = PQresultStatus(result) == PGRES_COMMAND_OK;
  PQclear(result);
  return ok || fail("statement failed");
}

bool PostgresTarget::open(const std::string& conninfo) {
  conn_ = PQconnectdb(conninfo.c_str());
  if (conn_ == nullptr || PQstatus(conn_) != CONNECTION_OK) {
    return fail("cannot connect to PostgreSQL");
  }
  const char* encoding = PQparameterStatus(conn_, "server_encoding");
  rawBytes_ = encoding != nullptr && std::strcmp(encoding, "SQL_ASCII") == 0;
  if (PQsetClientEncoding(conn_, rawBytes_ ? "SQL_ASCII" : "UTF8") != 0) {
    return fail("cannot set the client encoding");
  }
  buffer_.reserve(kCopyChunk + 64 * 1024);
  return exec("SET datestyle = 'ISO, YMD'; SET client_min_messages = warning");
}

bool PostgresTarget::begin(const LoadPlan& plan, const LoadRecord& record, bool* recorded) {
  plan_ = &plan;
  const std::string columns = columnDefinitions(plan, postgresType);
  // The lock makes loads into one database take turns, so that two loads
  // of one file cannot both find it unrecorded.
  // One round trip for the set-up.
  if (!exec(std::string("BEGIN; CREATE TABLE IF NOT EXISTS ") + kLoadsTable +
            " (file_name text NOT NULL, table_name text NOT NULL,"
            " file_size bigint NOT NULL, checksum text NOT NULL,"
            " row_count bigint NOT NULL, loaded_at timestamptz NOT NULL DEFAULT now(),"
            " UNIQUE (table_name, file_size, checksum)); LOCK TABLE " + kLoadsTable +
            " IN SHARE ROW EXCLUSIVE MODE; CREATE TABLE IF NOT EXISTS " +
            quoteIdentifier(plan.table) + " (" + columns + ")") ||
      !addMissingColumns()) {
    return false;
  }
  std::string size = std::to_string(record.size);
  const char* params[] = {record.table.c_str(), size.c_str(), record.checksum.c_str()};
  std::string sql = std::string("SELECT 1 FROM ") + kLoadsTable +
                    " WHERE table_name = $1 AND file_size = $2 AND checksum = $3";
  PGresult* result = PQexecParams(conn_, sql.c_str(), 3, nullptr, params, nullptr, nullptr, 0);
  bool ok = PQresultStatus(result) == PGRES_TUPLES_OK;
  *recorded = ok && PQntuples(result) > 0;
  PQclear(result);
  return ok || fail("cannot read " + std::string(kLoadsTable));
}

bool PostgresTarget::addMissingColumns() {
  // Logs of other formats load other columns into the same table: the
  // table takes the union of their columns.
  std::string name = quoteIdentifier(plan_->table);
  const char* params[] = {name.c_str()};
  PGresult* result = PQexecParams(
      conn_,
      "SELECT attname FROM pg_attribute"
      " WHERE attrelid = to_regclass($1) AND attnum > 0 AND NOT attisdropped",
      1, nullptr, params, nullptr, nullptr, 0);
  if (PQresultStatus(result) != PGRES_TUPLES_OK) {
    PQclear(result);
    return fail("cannot read the columns of " + plan_->table);
  }
  std::vector<std::string> existing;
  for (int row = 0; row < PQntuples(result); ++row) existing.emplace_back(PQgetvalue(result, row, 0));
  PQclear(result);
  for (const PlanColumn& column : missingColumns(*plan_, existing)) {
    if (!exec("ALTER TABLE " + quoteIdentifier(plan_->table) + " ADD COLUMN " +
              columnDefinition(column, postgresType))) {
      return false;
    }
  }
  return true;
}

bool PostgresTarget::startRows() {
  std::string sql = "COPY " + quoteIdentifier(plan_->table) + " (" + columnList(*plan_) +
                    ") FROM STDIN";
  PGresult* result = PQexec(conn_, sql.c_str());
  bool ok = PQresultStatus(result) == PGRES_COPY_IN;
  PQclear(result);
  if (!ok) return fail("cannot copy into " + plan_->table);
  copying_ = true;
  buffer_.clear();
  return true;
}

void PostgresTarget::appendText(std::string_view text) {
  appendCopyText(text, rawBytes_, &buffer_);
}

bool PostgresTarget::addRow(const std::vector<RowValue>& values) {
  for (std::size_t k = 0; k < values.size(); ++k) {
    if (k > 0) buffer_.push_back('\t');
    const RowValue& value = values[k];
    if (value.null) {
      buffer_.append("\\N");
    } else if (plan_->columns[k].type == ColumnType::kText) {
      appendText(value.text);
    } else {
      buffer_.append(value.text);  // checked number or time stamp
    }
  }
  buffer_.push_back('\n');
  return buffer_.size() < kCopyChunk || flush();
}

bool PostgresTarget::flush() {
  if (buffer_.empty()) return true;
  if (PQputCopyData(conn_, buffer_.data(), static_cast<int>(buffer_.size())) != 1) {
    return fail("cannot send rows");
  }
  buffer_.clear();
  return true;
}

bool PostgresTarget::commit(const LoadRecord& record) {
  if (!flush()) return false;
  copying_ = false;
  if (PQputCopyEnd(conn_, nullptr) != 1) return fail("cannot end the copy");
  bool ok = true;
  while (PGresult* result = PQgetResult(conn_)) {
    if (PQresultStatus(result) != PGRES_COMMAND_OK) ok = false;
    PQclear(result);
  }
  if (!ok) return fail("cannot copy into " + plan_->table);
  std::string size = std::to_string(record.size);
  std::string rows = std::to_string(record.rows);
  // A file name need not be UTF-8.
  std::string fileName = rawBytes_ ? record.fileName : validUtf8(record.fileName);
  const char* params[] = {fileName.c_str(), record.table.c_str(), size.c_str(),
                          record.checksum.c_str(), rows.c_str()};
  std::string sql = std::string("INSERT INTO ") + kLoadsTable +
                    " (file_name, table_name, file_size, checksum, row_count)"
                    " VALUES ($1, $2, $3, $4, $5)";
  PGresult* result = PQexecParams(conn_, sql.c_str(), 5, nullptr, params, nullptr, nullptr, 0);
  ok = PQresultStatus(result) == PGRES_COMMAND_OK;
  PQclear(result);
  if (!ok) return fail("cannot record the load");
  return exec("COMMIT");
}

void PostgresTarget::rollback() {
  if (conn_ == nullptr || PQstatus(conn_) != CONNECTION_OK) return;
  if (copying_) {
    PQputCopyEnd(conn_, "load abandoned");
    while (PGresult* result = PQgetResult(conn_)) PQclear(result);
    copying_ = false;
  }
  PGresult* result = PQexec(conn_, "ROLLBACK");
  PQclear(result);
}
