#include "zxload/postgres_target.h"

#include <libpq-fe.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "dbconn/utf8.h"
#include "zxload/copy_binary.h"

namespace {

/// Rows gathered before they are sent. Sending blocks until the socket has
/// taken the whole chunk: a chunk well below the socket's buffer keeps the
/// server fed while the next one is made (256 KiB left the server idle a
/// quarter of the time; 32 KiB keeps it busy).
constexpr std::size_t kCopyChunk = 32 * 1024;

/// Key of the advisory lock that makes loads take turns ("zxload").
constexpr long long kLoadsLockKey = 0x7a786c6f6164;

/// `value` in the shortest form ("0.3", "60").
std::string seconds(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

/// How loaded_at reads in messages and lists.
constexpr const char* kLoadedAt = "to_char(loaded_at AT TIME ZONE 'UTC', 'YYYY-MM-DD HH24:MI:SS')";

/// PostgreSQL column type of `type`.
const char* postgresType(ColumnType type) {
  switch (type) {
    case ColumnType::kInteger: return "numeric";
    case ColumnType::kReal: return "double precision";
    case ColumnType::kTimestamp: return "timestamp";
    default: return "text";
  }
}

/// True when a byte needs more than copying.
bool needsCare(unsigned char c) {
  return c == '\\' || c == '\t' || c == '\n' || c == '\r' || c == 0 || c >= 0x80;
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

/// A query result, cleared when it goes.
class PostgresTarget::Result {
 public:
  ~Result() { PQclear(result_); }
  void reset(PGresult* result) {
    PQclear(result_);
    result_ = result;
  }
  PGresult* get() const { return result_; }
  int rows() const { return PQntuples(result_); }
  std::string text(int row, int column) const { return PQgetvalue(result_, row, column); }
  bool null(int row, int column) const { return PQgetisnull(result_, row, column) != 0; }
  std::int64_t integer(int row, int column) const {
    return std::strtoll(PQgetvalue(result_, row, column), nullptr, 10);
  }

 private:
  PGresult* result_ = nullptr;
};

PostgresTarget::~PostgresTarget() = default;

bool PostgresTarget::fail(const std::string& what) {
  db_.fail(what);
  error_ = db_.error();
  return false;
}

bool PostgresTarget::exec(const std::string& sql) {
  Result result;
  return query(sql, {}, &result, "statement failed");
}

bool PostgresTarget::query(const std::string& sql, const std::vector<std::string>& params,
                           Result* result, const std::string& what) {
  std::vector<const char*> values;
  for (const std::string& param : params) values.push_back(param.c_str());
  result->reset(params.empty() ? PQexec(db_.handle(), sql.c_str())
                               : PQexecParams(db_.handle(), sql.c_str(), static_cast<int>(values.size()),
                                              nullptr, values.data(), nullptr, nullptr, 0));
  ExecStatusType status = PQresultStatus(result->get());
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return true;
  fail(what);
  const char* state = PQresultErrorField(result->get(), PG_DIAG_SQLSTATE);
  if (state != nullptr && std::strcmp(state, "55P03") == 0) {  // lock_not_available
    error_ += " (waited " + seconds(waitSeconds_) + " s for another load or reader, --wait)";
  }
  return false;
}

bool PostgresTarget::open(const std::string& conninfo, double waitSeconds) {
  waitSeconds_ = waitSeconds;
  if (!db_.open(conninfo)) {
    error_ = db_.error();
    return false;
  }
  buffer_.reserve(kCopyChunk + 64 * 1024);
  return true;
}

std::string PostgresTarget::stored(const std::string& text) const {
  return db_.rawBytes() ? text : validUtf8(text);
}

bool PostgresTarget::lockLoads() {
  // --wait bounds every lock wait of the load: another load's, and a
  // reader's of a table that gains columns.
  if (waitSeconds_ >= 0 &&
      !exec("SET LOCAL lock_timeout = " +
            std::to_string(std::max(1LL, static_cast<long long>(waitSeconds_ * 1000))))) {
    return false;
  }
  // A transaction-level advisory lock exists before any table does, so
  // that the first loads into a new database take turns too.
  const std::string key = std::to_string(kLoadsLockKey);
  Result tried;
  if (!query("SELECT pg_try_advisory_xact_lock(" + key + ")", {}, &tried, "cannot lock")) {
    return false;
  }
  if (tried.text(0, 0) == "t") return true;
  if (waitSeconds_ == 0) {
    error_ = "another load holds the database (--wait 0)";
    return false;
  }
  std::string limit = waitSeconds_ > 0 ? " (at most " + seconds(waitSeconds_) + " s, --wait)" : "";
  std::fprintf(stderr, "zxload: another load holds the database; waiting%s\n", limit.c_str());
  Result locked;
  return query("SELECT pg_advisory_xact_lock(" + key + ")", {}, &locked, "cannot lock");
}

bool PostgresTarget::makeSchema(const std::string& schema) {
  // Creating needs a privilege that loading into an existing schema does not.
  Result found;
  if (!query("SELECT 1 FROM pg_namespace WHERE nspname = $1", {schema}, &found,
             "cannot look up the schema " + schema)) {
    return false;
  }
  return found.rows() > 0 || exec("CREATE SCHEMA " + quoteIdentifier(schema));
}

bool PostgresTarget::columnsOf(const std::string& qualified, std::vector<std::string>* columns) {
  Result result;
  if (!query("SELECT attname FROM pg_attribute"
             " WHERE attrelid = to_regclass($1) AND attnum > 0 AND NOT attisdropped",
             {qualified}, &result, "cannot read the columns of " + qualified)) {
    return false;
  }
  for (int row = 0; row < result.rows(); ++row) columns->push_back(result.text(row, 0));
  return true;
}

bool PostgresTarget::prepareLoadsTable() {
  loadsColumns_.clear();
  if (!columnsOf(kLoadsTable, &loadsColumns_)) return false;
  // Records of an older zxload name tables the search path found.
  std::string sql = prepareLoadsTableSql(
      loadsColumns_, "bigint", "timestamptz NOT NULL DEFAULT now()",
      "coalesce((SELECT n.nspname FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace"
      " WHERE c.oid = to_regclass(quote_ident(table_name))), current_schema())");
  if (sql.empty()) return true;
  loadsColumns_ = {"id", "source", "data_set", "table_schema"};  // all there once made
  return exec(sql);
}

bool PostgresTarget::prepareSummaryTable() {
  std::vector<std::string> columns;
  if (!columnsOf(kSummaryTable, &columns)) return false;
  // The cells are read whole: compressing them would cost every load and
  // every report for little room.
  return !columns.empty() ||
         exec(summaryTableSql("bigint", "bytea") + "; ALTER TABLE " + kSummaryTable +
              " ALTER COLUMN data SET STORAGE EXTERNAL");
}

bool PostgresTarget::prepareTable(const std::string& qualified) {
  // Logs of other formats load other columns into the same table: the
  // table takes the union of their columns.
  std::vector<std::string> existing;
  if (!columnsOf(qualified, &existing)) return false;
  if (existing.empty()) {
    return exec("CREATE TABLE IF NOT EXISTS " + qualified + " (" +
                columnDefinitions(*plan_, postgresType, "bigint") + ")");
  }
  for (const std::string& column : missingColumnDefinitions(*plan_, existing, postgresType, "bigint")) {
    if (!exec("ALTER TABLE " + qualified + " ADD COLUMN " + column)) return false;
  }
  return true;
}

bool PostgresTarget::heldTable(const std::string& qualified, LoadRecord* record) {
  Result result;
  if (!query("SELECT n.nspname, c.relname FROM pg_class c"
             " JOIN pg_namespace n ON n.oid = c.relnamespace WHERE c.oid = to_regclass($1)",
             {qualified}, &result, "cannot look up " + qualified)) {
    return false;
  }
  if (result.rows() != 1) {
    error_ = "cannot look up " + qualified;
    return false;
  }
  record->schema = result.text(0, 0);
  record->table = result.text(0, 1);
  return true;
}

bool PostgresTarget::readLoads(const std::string& sql, const std::vector<std::string>& params,
                               std::vector<LoadRecord>* loads) {
  Result result;
  if (!query(sql, params, &result, "cannot read " + std::string(kLoadsTable))) return false;
  for (int row = 0; row < result.rows(); ++row) {
    LoadRecord load;
    load.hasId = !result.null(row, 0);
    load.id = result.integer(row, 0);
    load.loadedAt = result.text(row, 1);
    load.schema = result.text(row, 2);
    load.table = result.text(row, 3);
    load.dataSet = result.text(row, 4);
    load.rows = static_cast<std::uint64_t>(result.integer(row, 5));
    load.size = static_cast<std::uint64_t>(result.integer(row, 6));
    load.checksum = result.text(row, 7);
    load.source = result.text(row, 8);
    load.fileName = result.text(row, 9);
    loads->push_back(load);
  }
  return true;
}

bool PostgresTarget::isRecorded(const LoadRecord& record, bool* recorded) {
  const std::string loads = kLoadsTable;
  Result same;
  if (!query("SELECT 1 FROM " + loads + " WHERE table_schema = $1 AND table_name = $2"
             " AND file_size = $3 AND (checksum = $4 OR $4 = '') LIMIT 1",
             {record.schema, record.table, std::to_string(record.size), record.checksum}, &same,
             "cannot read " + loads)) {
    return false;
  }
  *recorded = same.rows() > 0;
  return true;
}

bool PostgresTarget::readHistory(LoadRecord* record, LoadHistory* history) {
  const std::string loads = kLoadsTable;
  Result next;
  if (!query("SELECT coalesce(max(id), 0) + 1 FROM " + loads, {}, &next, "cannot read " + loads)) {
    return false;
  }
  record->id = next.integer(0, 0);
  if (!readLoads(loadsSql(loadsColumns_, kLoadedAt, true),
                 {stored(record->source), record->dataSet}, &history->earlier)) {
    return false;
  }
  for (LoadRecord& earlier : history->earlier) earlier.source = record->source;
  return true;
}

bool PostgresTarget::begin(const LoadPlan& plan, LoadRecord* record, LoadHistory* history) {
  plan_ = &plan;
  const std::string given = qualifiedName(plan.schema, plan.table);
  // The table lock keeps out loads of older zxload versions, which know
  // no advisory lock.
  if (!exec("BEGIN") || !lockLoads() || !prepareLoadsTable() || !prepareSummaryTable() ||
      !exec(std::string("LOCK TABLE ") + kLoadsTable + " IN SHARE ROW EXCLUSIVE MODE") ||
      (!plan.schema.empty() && !makeSchema(plan.schema)) ||
      !prepareTable(given) || !heldTable(given, record) || !readHistory(record, history)) {
    return false;
  }
  qualified_ = qualifiedName(record->schema, record->table);
  rowEnd_ = "\t" + std::to_string(record->id) + "\n";
  loadId_ = record->id;
  return true;
}

bool PostgresTarget::removeLoad(const LoadRecord& earlier, std::uint64_t* rows) {
  *rows = 0;
  const std::string qualified = qualifiedName(earlier.schema, earlier.table);
  const std::string id = std::to_string(earlier.id);
  std::vector<std::string> columns;
  if (!columnsOf(qualified, &columns)) return false;
  Result result;
  if (std::find(columns.begin(), columns.end(), kLoadIdColumn) != columns.end()) {
    if (!query("DELETE FROM " + qualified + " WHERE " + kLoadIdColumn + " = $1", {id}, &result,
               "cannot delete the rows of load " + id)) {
      return false;
    }
    *rows = std::strtoull(PQcmdTuples(result.get()), nullptr, 10);
  }
  return query(std::string("DELETE FROM ") + kSummaryTable + " WHERE zxload_id = $1", {id},
               &result, "cannot delete the summary of load " + id) &&
         query(std::string("DELETE FROM ") + kLoadsTable + " WHERE id = $1", {id}, &result,
               "cannot delete the record of load " + id);
}

bool PostgresTarget::chooseBinary() {
  // The binary form is the column type's own: only for the types zxload
  // makes; a table of other types takes text, which any type reads.
  binary_ = false;
  Result result;
  if (!query("SELECT attname, format_type(atttypid, atttypmod) FROM pg_attribute"
             " WHERE attrelid = to_regclass($1) AND attnum > 0 AND NOT attisdropped",
             {qualified_}, &result, "cannot read the columns of " + qualified_)) {
    return false;
  }
  std::vector<std::pair<std::string, std::string>> types;
  for (int row = 0; row < result.rows(); ++row) {
    types.emplace_back(result.text(row, 0), result.text(row, 1));
  }
  auto typeOf = [&](const std::string& name) {
    for (const auto& [column, type] : types) {
      if (column == name) return type;
    }
    return std::string();
  };
  if (typeOf(kLoadIdColumn) != "bigint") return true;
  for (const PlanColumn& column : plan_->columns) {
    if (typeOf(column.name) != postgresType(column.type) &&
        !(column.type == ColumnType::kTimestamp &&
          typeOf(column.name) == "timestamp without time zone")) {
      return true;
    }
  }
  binary_ = true;
  return true;
}

bool PostgresTarget::startRows() {
  if (!chooseBinary()) return false;
  std::string sql = "COPY " + qualified_ + " (" + columnList(*plan_) + ") FROM STDIN" +
                    (binary_ ? " (FORMAT binary)" : "");
  PGresult* result = PQexec(db_.handle(), sql.c_str());
  bool ok = PQresultStatus(result) == PGRES_COPY_IN;
  PQclear(result);
  if (!ok) return fail("cannot copy into " + qualified_);
  copying_ = true;
  buffer_.clear();
  if (binary_) appendCopyHeader(&buffer_);
  return true;
}

void PostgresTarget::appendText(std::string_view text) {
  appendCopyText(text, db_.rawBytes(), &buffer_);
}

bool PostgresTarget::addBinaryRow(const std::vector<RowValue>& values) {
  appendFieldCount(values.size() + 1, &buffer_);
  for (std::size_t k = 0; k < values.size(); ++k) {
    const RowValue& value = values[k];
    const ColumnType type = plan_->columns[k].type;
    if (type == ColumnType::kText) {
      appendTextField(value.text, db_.rawBytes(), &buffer_);
    } else if (value.null) {
      appendNullField(&buffer_);
    } else if (type == ColumnType::kTimestamp) {
      appendTimestampField(value.text, &buffer_);
    } else if (type == ColumnType::kInteger) {
      if (value.whole) {
        appendWholeNumericField(value.integer, &buffer_);
      } else if (!appendNumericField(value.text, &buffer_)) {
        error_ = "column " + plan_->columns[k].name + ": numeric cannot hold " + excerpt(value.text);
        return false;
      }
    } else {
      // Whole numbers a double holds exactly need no parsing; -0 keeps its sign.
      double real = 0;
      if (value.whole && value.integer != 0 && value.integer >= -(std::int64_t{1} << 53) &&
          value.integer <= (std::int64_t{1} << 53)) {
        real = static_cast<double>(value.integer);
      } else {
        const char* end = value.text.data() + value.text.size();
        std::from_chars(value.text.data() + (value.text.front() == '+' ? 1 : 0), end, real);
      }
      appendDoubleField(real, &buffer_);
    }
  }
  appendBigintField(loadId_, &buffer_);
  return buffer_.size() < kCopyChunk || flush();
}

bool PostgresTarget::addRow(const std::vector<RowValue>& values) {
  if (binary_) return addBinaryRow(values);
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
  buffer_.append(rowEnd_);
  return buffer_.size() < kCopyChunk || flush();
}

bool PostgresTarget::flush() {
  if (buffer_.empty()) return true;
  if (PQputCopyData(db_.handle(), buffer_.data(), static_cast<int>(buffer_.size())) != 1) {
    return fail("cannot send rows");
  }
  buffer_.clear();
  return true;
}

bool PostgresTarget::endRows() {
  if (!copying_) return true;
  if (binary_) appendCopyTrailer(&buffer_);
  if (!flush()) return false;
  copying_ = false;
  if (PQputCopyEnd(db_.handle(), nullptr) != 1) return fail("cannot end the copy");
  bool ok = true;
  while (PGresult* result = PQgetResult(db_.handle())) {
    if (PQresultStatus(result) != PGRES_COMMAND_OK) ok = false;
    PQclear(result);
  }
  return ok || fail("cannot copy into " + qualified_);
}

bool PostgresTarget::columnTypes(ColumnTypes* types) {
  Result result;
  if (!query("SELECT attname, format_type(atttypid, atttypmod) FROM pg_attribute"
             " WHERE attrelid = to_regclass($1) AND attnum > 0 AND NOT attisdropped",
             {qualified_}, &result, "cannot read the columns of " + qualified_)) {
    return false;
  }
  for (int row = 0; row < result.rows(); ++row) {
    types->emplace_back(result.text(row, 0), result.text(row, 1));
  }
  return true;
}

bool PostgresTarget::writeSummary(std::int64_t id, const std::vector<SummaryCell>& cells) {
  // The server allocates each value it receives anew: parts of 1 MiB reuse
  // its memory where parts of many megabytes have it fault in fresh pages
  // for every one (a third of the time of a large load's summary).
  constexpr std::size_t kPartBytes = 1u << 20;
  const std::string sql = summaryInsertSql();
  const std::string load = std::to_string(id), format = std::to_string(kSummaryFormat);
  for (const SummaryCell& cell : cells) {
    const std::string nulls = std::to_string(cell.nullTimes), rows = std::to_string(cell.rows);
    const bool written = forEachSummaryPart(cell.data, kPartBytes, [&](std::int64_t part,
                                                                       std::string_view bytes) {
      const std::string number = std::to_string(part);
      const char* values[10] = {load.c_str(), cell.dataSet.c_str(),
                                cell.day.empty() ? nullptr : cell.day.c_str(),
                                cell.hasTimes ? cell.firstTime.c_str() : nullptr,
                                cell.hasTimes ? cell.lastTime.c_str() : nullptr,
                                nulls.c_str(), rows.c_str(), format.c_str(), number.c_str(),
                                bytes.data()};
      const int lengths[10] = {0, 0, 0, 0, 0, 0, 0, 0, 0, static_cast<int>(bytes.size())};
      const int binary[10] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
      Result result;
      result.reset(PQexecParams(db_.handle(), sql.c_str(), 10, nullptr, values, lengths, binary, 0));
      return PQresultStatus(result.get()) == PGRES_COMMAND_OK;
    });
    if (!written) return fail("cannot write the summary");
  }
  return true;
}

bool PostgresTarget::commit(const LoadRecord& record) {
  Result result;
  std::string sql = std::string("INSERT INTO ") + kLoadsTable +
                    " (id, source, data_set, file_name, table_schema, table_name, file_size,"
                    " checksum, row_count) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9)";
  return query(sql,
               {std::to_string(record.id), stored(record.source), record.dataSet,
                stored(record.fileName), record.schema, record.table, std::to_string(record.size),
                record.checksum, std::to_string(record.rows)},
               &result, "cannot record the load") &&
         exec("COMMIT");
}

void PostgresTarget::rollback() {
  if (db_.handle() == nullptr || PQstatus(db_.handle()) != CONNECTION_OK) return;
  if (copying_) {
    PQputCopyEnd(db_.handle(), "load abandoned");
    while (PGresult* result = PQgetResult(db_.handle())) PQclear(result);
    copying_ = false;
  }
  PGresult* result = PQexec(db_.handle(), "ROLLBACK");
  PQclear(result);
}

bool PostgresTarget::listLoads(std::vector<LoadRecord>* loads) {
  std::vector<std::string> columns;
  if (!columnsOf(kLoadsTable, &columns)) return false;
  return columns.empty() || readLoads(loadsSql(columns, kLoadedAt, false), {}, loads);
}
