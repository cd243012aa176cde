#include "zxreport/table_source.h"

#ifdef DBCONN_WITH_POSTGRES

#include <libpq-fe.h>

#include <charconv>

#include "dbconn/identifier.h"
#include "dbconn/postgres_connection.h"

namespace {

/// A row of COPY text form: values split at tabs, escapes undone.
class CopyRow : public ScanRow {
 public:
  /// Splits one line (without its line feed) into `columns` values; false
  /// when the count differs.
  bool parse(std::string_view line, std::size_t columns) {
    bounds_.clear();
    nulls_.clear();
    plain_ = line;
    unescaped_.clear();
    std::size_t start = 0;
    while (true) {
      std::size_t tab = line.find('\t', start);
      std::string_view field = line.substr(start, tab == std::string_view::npos ? tab : tab - start);
      addField(field);
      if (tab == std::string_view::npos) break;
      start = tab + 1;
    }
    return bounds_.size() == columns;
  }

  bool isNull(int column) const override { return nulls_[column]; }

  std::string_view text(int column) const override {
    const Bounds& b = bounds_[column];
    return (b.escaped ? std::string_view(unescaped_) : plain_).substr(b.offset, b.length);
  }

  double number(int column) const override {
    std::string_view value = text(column);
    double out = 0;
    std::from_chars(value.data(), value.data() + value.size(), out);
    return out;
  }

 private:
  struct Bounds {
    std::size_t offset, length;
    bool escaped;  ///< in `unescaped_`, not in the line
  };

  /// Records one field, undoing its backslash escapes.
  void addField(std::string_view field) {
    if (field == "\\N") {
      nulls_.push_back(true);
      bounds_.push_back({0, 0, false});
      return;
    }
    nulls_.push_back(false);
    if (field.find('\\') == std::string_view::npos) {
      bounds_.push_back({static_cast<std::size_t>(field.data() - plain_.data()), field.size(), false});
      return;
    }
    std::size_t offset = unescaped_.size();
    for (std::size_t i = 0; i < field.size(); ++i) {
      char c = field[i];
      if (c != '\\' || i + 1 == field.size()) {
        unescaped_.push_back(c);
        continue;
      }
      c = field[++i];
      switch (c) {
        case 'b': unescaped_.push_back('\b'); break;
        case 'f': unescaped_.push_back('\f'); break;
        case 'n': unescaped_.push_back('\n'); break;
        case 'r': unescaped_.push_back('\r'); break;
        case 't': unescaped_.push_back('\t'); break;
        case 'v': unescaped_.push_back('\v'); break;
        case 'x': i += appendNumber(field, i + 1, 16, 2); break;
        default:
          if (c >= '0' && c <= '7') i += appendNumber(field, i, 8, 3) - 1;
          else unescaped_.push_back(c);
      }
    }
    bounds_.push_back({offset, unescaped_.size() - offset, true});
  }

  /// Appends the byte written with up to `width` digits of `base` at
  /// `field[at]`; returns the digits used.
  std::size_t appendNumber(std::string_view field, std::size_t at, int base, std::size_t width) {
    std::size_t used = 0;
    unsigned value = 0;
    while (used < width && at + used < field.size()) {
      char c = field[at + used];
      int digit = c >= '0' && c <= '9' ? c - '0'
                  : base == 16 && c >= 'a' && c <= 'f' ? c - 'a' + 10
                  : base == 16 && c >= 'A' && c <= 'F' ? c - 'A' + 10
                  : -1;
      if (digit < 0 || digit >= base) break;
      value = value * base + digit;
      ++used;
    }
    unescaped_.push_back(static_cast<char>(value & 0xff));
    return used;
  }

  std::string_view plain_;
  std::string unescaped_;
  std::vector<Bounds> bounds_;
  std::vector<bool> nulls_;
};

/// A PostgreSQL database; scans come through COPY ... TO STDOUT.
class PostgresSource : public TableSource {
 public:
  bool open(const std::string& conninfo) {
    if (db_.open(conninfo)) return true;
    error_ = db_.error();
    return false;
  }

  bool listTables(std::vector<std::string>* names) override {
    return texts("SELECT relname FROM pg_class WHERE relkind IN ('r', 'p', 'v')"
                 " AND pg_table_is_visible(oid) ORDER BY relname", {}, names);
  }

  bool listColumns(const std::string& table, std::vector<std::string>* names) override {
    return texts("SELECT attname FROM pg_attribute WHERE attrelid = to_regclass($1)"
                 " AND attnum > 0 AND NOT attisdropped ORDER BY attnum",
                 {quoteIdentifier(table)}, names);
  }

  bool scan(const std::string& table, const std::vector<std::string>& columns,
            const TimeRange& range, const RowSink& sink) override {
    std::string sql = "COPY (" + scanQuery(table, columns, range) + ") TO STDOUT";
    PostgresResult start(PQexec(db_.handle(), sql.c_str()));
    if (PQresultStatus(start.get()) != PGRES_COPY_OUT) return failed("cannot read " + table);
    CopyRow row;
    bool malformed = false;
    char* buffer = nullptr;
    int length;
    while ((length = PQgetCopyData(db_.handle(), &buffer, 0)) > 0) {
      std::string_view line(buffer, static_cast<std::size_t>(length));
      if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
      if (row.parse(line, columns.size())) sink(row);
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
