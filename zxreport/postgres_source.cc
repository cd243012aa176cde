#include "zxreport/table_source.h"

#ifdef DBCONN_WITH_POSTGRES

#include <libpq-fe.h>

#include <charconv>
#include <cstdlib>

#include "dbconn/identifier.h"
#include "dbconn/postgres_connection.h"
#include "zxreport/row_batch.h"

namespace {

/// Joins the loads table `f` to the table named $1 (the name as the
/// database holds it, in its schema).
constexpr const char* kOfTable =
    " JOIN pg_namespace n ON n.nspname = f.table_schema"
    " JOIN pg_class c ON c.relnamespace = n.oid AND c.relname = f.table_name"
    " WHERE c.oid = to_regclass($1)";

/// Appends the byte written with up to `width` digits of `base` at
/// `field[at]` to `out`; returns the digits used.
std::size_t appendNumber(std::string_view field, std::size_t at, unsigned base, std::size_t width,
                         std::string* out) {
  std::size_t used = 0;
  unsigned value = 0;
  while (used < width && at + used < field.size()) {
    char c = field[at + used];
    unsigned digit = c >= '0' && c <= '9'                ? static_cast<unsigned>(c - '0')
                     : base == 16 && c >= 'a' && c <= 'f' ? static_cast<unsigned>(c - 'a' + 10)
                     : base == 16 && c >= 'A' && c <= 'F' ? static_cast<unsigned>(c - 'A' + 10)
                                                          : 99;
    if (digit >= base) break;
    value = value * base + digit;
    ++used;
  }
  out->push_back(static_cast<char>(value & 0xff));
  return used;
}

/// `field` of COPY text form with its backslash escapes undone.
std::string_view unescape(std::string_view field, std::string* scratch) {
  if (field.find('\\') == std::string_view::npos) return field;
  scratch->clear();
  for (std::size_t i = 0; i < field.size(); ++i) {
    char c = field[i];
    if (c != '\\' || i + 1 == field.size()) {
      scratch->push_back(c);
      continue;
    }
    c = field[++i];
    switch (c) {
      case 'b': scratch->push_back('\b'); break;
      case 'f': scratch->push_back('\f'); break;
      case 'n': scratch->push_back('\n'); break;
      case 'r': scratch->push_back('\r'); break;
      case 't': scratch->push_back('\t'); break;
      case 'v': scratch->push_back('\v'); break;
      case 'x': i += appendNumber(field, i + 1, 16, 2, scratch); break;
      default:
        if (c >= '0' && c <= '7') i += appendNumber(field, i, 8, 3, scratch) - 1;
        else scratch->push_back(c);
    }
  }
  return *scratch;
}

/// Appends one line of COPY text form (without its line feed) to `batch`;
/// false when it does not hold `columns.size()` values.
bool addLine(std::string_view line, const std::vector<ScanColumn>& columns, RowBatch& batch,
             std::string* scratch) {
  std::size_t start = 0;
  for (std::size_t c = 0; c < columns.size(); ++c) {
    std::size_t tab = line.find('\t', start);
    if ((tab == std::string_view::npos) != (c + 1 == columns.size())) return false;
    std::string_view field = line.substr(start, tab == std::string_view::npos ? tab : tab - start);
    start = tab + 1;
    if (field == "\\N") {
      batch.addNull(columns[c].number);
    } else if (columns[c].number) {
      double value = 0;
      std::from_chars(field.data(), field.data() + field.size(), value);
      batch.addNumber(value);
    } else {
      batch.addText(unescape(field, scratch));
    }
  }
  batch.endRow();
  return true;
}

/// A PostgreSQL database; scans come through COPY ... TO STDOUT.
class PostgresSource : public TableSource {
 public:
  bool open(const std::string& conninfo) {
    conninfo_ = conninfo;
    if (db_.open(conninfo)) return true;
    error_ = db_.error();
    return false;
  }

  bool beginRead() override {
    return db_.exec("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY") ||
           failed("cannot start reading");
  }

  std::unique_ptr<TableSource> another() override {
    // The helper reads in the snapshot of this connection's transaction.
    std::vector<std::string> snapshot;
    if (!texts("SELECT pg_export_snapshot()", {}, &snapshot) || snapshot.size() != 1) return nullptr;
    auto helper = std::make_unique<PostgresSource>();
    if (!helper->open(conninfo_) ||
        !helper->db_.exec("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY; SET TRANSACTION SNAPSHOT " +
                          quoteLiteral(snapshot[0]))) {
      return nullptr;
    }
    return helper;
  }

  bool split(const std::string& table, int parts, std::vector<std::string>* conditions) override {
    std::vector<std::string> pages;
    if (!texts("SELECT coalesce(pg_relation_size(to_regclass($1)), 0)"
               " / current_setting('block_size')::bigint",
               {quoteTableName(table, true)}, &pages)) {
      return false;
    }
    long long count = pages.empty() ? 0 : std::atoll(pages[0].c_str());
    if (parts < 2 || count < parts) {
      conditions->assign(1, "");
      return true;
    }
    *conditions = splitConditions("ctid", 0, count - 1, parts, [](long long page) {
      return "'(" + std::to_string(page) + ",0)'::tid";
    });
    return true;
  }

  bool listTables(std::vector<std::string>* names) override {
    return texts("SELECT CASE WHEN pg_table_is_visible(c.oid) THEN c.relname"
                 " ELSE n.nspname || '.' || c.relname END FROM pg_class c"
                 " JOIN pg_namespace n ON n.oid = c.relnamespace WHERE c.relkind IN ('r', 'p', 'v')"
                 " AND n.nspname NOT IN ('pg_catalog', 'information_schema')"
                 " AND n.nspname NOT LIKE 'pg\\_%' ORDER BY 1", {}, names);
  }

  bool listColumns(const std::string& table, std::vector<std::string>* names) override {
    return texts("SELECT attname FROM pg_attribute WHERE attrelid = to_regclass($1)"
                 " AND attnum > 0 AND NOT attisdropped ORDER BY attnum",
                 {quoteTableName(table, true)}, names);
  }

  bool scan(const std::string& table, const std::vector<ScanColumn>& columns,
            const TimeRange& range, const std::string& condition, BatchPipe& pipe) override {
    std::string sql = "COPY (" + scanQuery(quoteTableName(table, true), columns, range, condition) + ") TO STDOUT";
    PostgresResult start(PQexec(db_.handle(), sql.c_str()));
    if (PQresultStatus(start.get()) != PGRES_COPY_OUT) return failed("cannot read " + table);
    std::string scratch;
    bool malformed = false;
    char* buffer = nullptr;
    int length;
    while ((length = PQgetCopyData(db_.handle(), &buffer, 0)) > 0) {
      std::string_view line(buffer, static_cast<std::size_t>(length));
      if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
      if (!malformed && addLine(line, columns, pipe.current(), &scratch)) pipe.rowAdded();
      else malformed = true;
      PQfreemem(buffer);
    }
    bool ok = length == -1;
    while (PGresult* result = PQgetResult(db_.handle())) {
      if (PQresultStatus(result) != PGRES_COMMAND_OK) ok = false;
      PQclear(result);
    }
    if (!ok) return failed("cannot read " + table);
    if (malformed) {
      error_ = "cannot read " + table + ": a row did not hold the columns asked for";
      return false;
    }
    return true;
  }

  bool tableLoads(const std::string& table, std::vector<std::int64_t>* ids,
                  bool* withoutId) override {
    *withoutId = false;
    std::vector<std::string> columns;
    if (!texts("SELECT attname FROM pg_attribute WHERE attrelid = to_regclass('zxload_files')"
               " AND attnum > 0 AND NOT attisdropped", {}, &columns)) {
      return false;
    }
    bool hasId = false;
    for (const std::string& column : columns) hasId = hasId || column == "id";
    if (columns.empty()) return true;
    if (!hasId) {
      *withoutId = true;  // nothing of an older zxload is summarised
      return true;
    }
    bool ok = false;
    PostgresResult result = db_.query(
        "SELECT f.id FROM zxload_files f" + std::string(kOfTable), {quoteTableName(table, true)}, &ok);
    if (!ok) return failed("cannot read the loads of " + table);
    for (int row = 0; row < result.rows(); ++row) {
      if (result.isNull(row, 0)) *withoutId = true;
      else ids->push_back(std::atoll(result.value(row, 0)));
    }
    return true;
  }

  bool summaryCells(const std::string& table, const std::string& dataSet,
                    std::vector<StoredCell>* cells) override {
    std::vector<std::string> found;
    if (!texts("SELECT 1 WHERE to_regclass($1) IS NOT NULL", {kSummaryTable}, &found)) return false;
    if (found.empty()) return true;
    bool ok = false;
    PostgresResult result = db_.query(
        std::string("SELECT s.ctid::text, s.zxload_id, s.day, s.first_time, s.last_time,"
                    " s.null_times, s.row_count, s.format, s.part FROM ") + kSummaryTable +
            " s JOIN zxload_files f ON f.id = s.zxload_id" + kOfTable + " AND s.data_set = $2",
        {quoteTableName(table, true), dataSet}, &ok);
    if (!ok) return failed("cannot read the summaries of " + table);
    for (int row = 0; row < result.rows(); ++row) {
      StoredCell cell;
      cell.key = result.value(row, 0);
      cell.load = std::atoll(result.value(row, 1));
      cell.cell.day = result.value(row, 2);
      cell.cell.hasTimes = !result.isNull(row, 3);
      cell.cell.firstTime = result.value(row, 3);
      cell.cell.lastTime = result.value(row, 4);
      cell.cell.nullTimes = std::atoll(result.value(row, 5));
      cell.cell.rows = std::atoll(result.value(row, 6));
      cell.format = std::atoll(result.value(row, 7));
      cell.part = std::atoll(result.value(row, 8));
      cells->push_back(std::move(cell));
    }
    return true;
  }

  bool readCellData(const std::string& key, std::string* data) override {
    const std::string sql = std::string("SELECT data FROM ") + kSummaryTable + " WHERE ctid = $1::tid";
    const char* values[1] = {key.c_str()};
    PostgresResult result(PQexecParams(db_.handle(), sql.c_str(), 1, nullptr, values, nullptr,
                                       nullptr, 1));
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK) return failed("cannot read a summary");
    if (result.rows() == 1) {
      data->append(PQgetvalue(result.get(), 0, 0),
                   static_cast<std::size_t>(PQgetlength(result.get(), 0, 0)));
    }
    return true;
  }

  std::string describe() const override {
    const char* name = PQdb(db_.handle());
    return std::string("PostgreSQL database ") + (name != nullptr ? name : "");
  }

 private:
  bool failed(const std::string& what) {
    db_.fail(what);
    error_ = db_.error();
    return false;
  }

  bool texts(const std::string& sql, const std::vector<std::string>& params,
             std::vector<std::string>* out) {
    bool ok = false;
    PostgresResult result = db_.query(sql, params, &ok);
    if (!ok) return failed("cannot read the tables");
    for (int row = 0; row < result.rows(); ++row) out->emplace_back(result.value(row, 0));
    return true;
  }

  PostgresConnection db_;
  std::string conninfo_;
};

}  // namespace

std::unique_ptr<TableSource> openPostgresSource(const std::string& conninfo, std::string* error) {
  auto source = std::make_unique<PostgresSource>();
  if (source->open(conninfo)) return source;
  *error = source->error();
  return nullptr;
}

#else

std::unique_ptr<TableSource> openPostgresSource(const std::string&, std::string* error) {
  *error = "this zxreport was built without PostgreSQL (libpq)";
  return nullptr;
}

#endif
