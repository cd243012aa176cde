#include "zxload/sqlite_target.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>

#include "zxload/table_name.h"

namespace {

/// SQLite column type of `type`.
const char* sqliteType(ColumnType type) {
  switch (type) {
    case ColumnType::kInteger: return "INTEGER";
    case ColumnType::kReal: return "REAL";
    default: return "TEXT";
  }
}

/// Slots of table columns that take no value of the file.
constexpr int kNullSlot = -1;
constexpr int kLoadIdSlot = -2;

/// Bytes of records staged before SQLite copies them into the table.
constexpr std::size_t kStageBytes = 8 << 20;

/// Whole numbers up to this size are exact in a double.
constexpr std::int64_t kExactInDouble = std::int64_t{1} << 53;

/// Name of the attached in-memory stage.
constexpr const char* kStage = "zxload_stage";

/// Page size of a new database: a large load writes fewer, fuller pages.
constexpr const char* kNewPageSize = "PRAGMA page_size = 65536";

/// The affinity SQLite gives a column of declared type `type`: i(nteger),
/// t(ext), b(lob), r(eal) or n(umeric), by SQLite's rules in their order.
char affinityOf(std::string type) {
  for (char& c : type) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  auto has = [&](const char* part) { return type.find(part) != std::string::npos; };
  if (has("INT")) return 'i';
  if (has("CHAR") || has("CLOB") || has("TEXT")) return 't';
  if (has("BLOB") || type.empty()) return 'b';
  if (has("REAL") || has("FLOA") || has("DOUB")) return 'r';
  return 'n';
}

/// A type name of affinity `affinity`.
const char* typeOfAffinity(char affinity) {
  switch (affinity) {
    case 'i': return "INTEGER";
    case 't': return "TEXT";
    case 'b': return "BLOB";
    case 'r': return "REAL";
    default: return "NUMERIC";
  }
}

/// SQLite without its locks: zxload uses one connection, never from two
/// threads at once. Only takes effect before SQLite starts.
void configureSqlite() {
  static const bool configured = [] {
    sqlite3_config(SQLITE_CONFIG_SINGLETHREAD);
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    return true;
  }();
  (void)configured;
}

/// How loaded_at reads in messages and lists.
constexpr const char* kLoadedAt = "substr(loaded_at, 1, 19)";

/// Binds a checked number (the row checks keep it in range): a whole
/// number of an integer column as an integer, any other as a real.
int bindNumber(sqlite3_stmt* statement, int index, std::string_view text, ColumnType type) {
  const char* end = text.data() + text.size();
  const char* start = text.data() + (text.front() == '+' ? 1 : 0);
  if (type == ColumnType::kInteger) {
    std::int64_t whole = 0;
    auto result = std::from_chars(start, end, whole);
    if (result.ec == std::errc() && result.ptr == end) {
      return sqlite3_bind_int64(statement, index, whole);
    }
  }
  double real = 0;
  std::from_chars(start, end, real);
  return sqlite3_bind_double(statement, index, real);
}

/// A prepared statement, finalized when it goes.
class Statement {
 public:
  ~Statement() { sqlite3_finalize(statement_); }
  sqlite3_stmt** out() { return &statement_; }
  sqlite3_stmt* get() const { return statement_; }
  void text(int index, const std::string& value) {
    sqlite3_bind_text(statement_, index, value.data(), static_cast<int>(value.size()),
                      SQLITE_TRANSIENT);
  }
  void integer(int index, std::int64_t value) { sqlite3_bind_int64(statement_, index, value); }
  int step() { return sqlite3_step(statement_); }
  std::string textAt(int column) const {
    const unsigned char* value = sqlite3_column_text(statement_, column);
    return value == nullptr ? "" : std::string(reinterpret_cast<const char*>(value),
                                               sqlite3_column_bytes(statement_, column));
  }
  std::int64_t integerAt(int column) const { return sqlite3_column_int64(statement_, column); }
  bool nullAt(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }

 private:
  sqlite3_stmt* statement_ = nullptr;
};

}  // namespace

SqliteTarget::~SqliteTarget() {
  waitForCopy();
  finalizeInsert();
  if (db_.handle() != nullptr) detachStage();
}

std::string SqliteTarget::busyNote() const { return db_.busyNote(); }

bool SqliteTarget::fail(const std::string& what) {
  db_.fail(what);
  error_ = db_.error();
  return false;
}

bool SqliteTarget::exec(const std::string& sql) {
  if (db_.exec(sql)) return true;
  error_ = db_.error();
  return false;
}

bool SqliteTarget::prepare(const std::string& sql, sqlite3_stmt** statement,
                           const std::string& what) {
  return db_.prepare(sql, statement) || fail(what);
}

void SqliteTarget::finalizeInsert() {
  if (insert_ != nullptr) sqlite3_finalize(insert_);
  if (copy_ != nullptr) sqlite3_finalize(copy_);
  insert_ = copy_ = nullptr;
  staged_ = false;
}

bool SqliteTarget::open(const std::string& path, double waitSeconds, bool readOnly,
                        bool rollbackJournal) {
  configureSqlite();
  std::error_code missing;
  const bool fresh = std::filesystem::file_size(path, missing) == 0 || missing;
  if (waitSeconds >= 0) waitSeconds_ = waitSeconds;
  if (!db_.open(path, readOnly ? SqliteMode::kReadOnly : SqliteMode::kCreate,
                SqliteWait{waitSeconds_, "zxload", ", --wait"})) {
    error_ = db_.error();
    return false;
  }
  if (readOnly) return true;
  // A database this load makes has no reader to keep reading during it:
  // its first load goes through a rollback journal, which writes each new
  // page once (new pages need no journal), instead of to the log and then
  // into the file; the log is switched on after that load's commit. Asked
  // to, every load of the run does the same when no other connection has
  // the file open (see begin()).
  logLater_ = fresh;
  rollbackJournal_ = rollbackJournal;
  // The database and its log are written back while the rows go in.
  const char* file = sqlite3_db_filename(db_.handle(), "main");
  if (file != nullptr && *file != 0) {
    writeback_ = std::make_unique<EarlyWriteback>(
        std::vector<std::string>{file, file + std::string("-wal")});
  }
  // Only a new, empty database takes it (before the log is switched on).
  if (!exec(kNewPageSize)) return fail("cannot open the SQLite database " + path);
  // Write-ahead logging lets readers go on reading while a load writes and
  // lets a load commit while readers read; the mode stays with the file.
  // Switching needs the database to itself: while another connection
  // writes in the older mode, this load goes without (waiting for that
  // writer as before) and a later one switches.
  if (!fresh && !rollbackJournal && !exec("PRAGMA journal_mode = WAL") && busyNote().empty()) {
    return fail("cannot open the SQLite database " + path);
  }
  // Rows are appended, so pages written to the log early are seldom
  // written again: a small cache touches less fresh memory. The log is cut
  // back to 64 MiB after a large load has been copied over.
  return exec("PRAGMA journal_size_limit = 67108864; PRAGMA cache_size = -4096") ||
         fail("cannot open the SQLite database " + path);
}

bool SqliteTarget::columnsOf(const std::string& table, std::vector<std::string>* columns) {
  ColumnTypes types;
  if (!tableInfo(table, &types)) return false;
  for (const auto& [name, type] : types) columns->push_back(name);
  return true;
}

bool SqliteTarget::tableInfo(const std::string& table, ColumnTypes* types) {
  Statement query;
  if (!prepare("SELECT name, lower(type) FROM pragma_table_info(?1)", query.out(),
               "cannot read the columns of " + table)) {
    return false;
  }
  query.text(1, table);
  int step;
  while ((step = query.step()) == SQLITE_ROW) types->emplace_back(query.textAt(0), query.textAt(1));
  return step == SQLITE_DONE || fail("cannot read the columns of " + table);
}

bool SqliteTarget::prepareLoadsTable() {
  loadsColumns_.clear();
  if (!columnsOf(kLoadsTable, &loadsColumns_)) return false;
  std::string sql = prepareLoadsTableSql(loadsColumns_, "INTEGER", "TEXT NOT NULL", "'main'");
  if (sql.empty()) return true;
  loadsColumns_ = {"id", "source", "data_set", "table_schema"};  // all there once made
  return exec(sql);
}

bool SqliteTarget::prepareSummaryTable() {
  std::vector<std::string> columns;
  if (!columnsOf(kSummaryTable, &columns)) return false;
  return !columns.empty() || exec(summaryTableSql("INTEGER", "BLOB"));
}

bool SqliteTarget::heldTable(const std::string& table, std::string* held) {
  Statement query;
  if (!prepare("SELECT name FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE",
               query.out(), "cannot look up " + table)) {
    return false;
  }
  query.text(1, table);
  int step = query.step();
  *held = step == SQLITE_ROW ? query.textAt(0) : table;
  return step == SQLITE_ROW || step == SQLITE_DONE || fail("cannot look up " + table);
}

bool SqliteTarget::prepareTable(const std::string& table) {
  // Logs of other formats load other columns into the same table: the
  // table takes the union of their columns.
  std::vector<std::string> existing;
  if (!columnsOf(table, &existing)) return false;
  if (existing.empty()) {
    return exec("CREATE TABLE " + quoteIdentifier(table) + " (" +
                columnDefinitions(*plan_, sqliteType, "INTEGER") + ")");
  }
  for (const std::string& column :
       missingColumnDefinitions(*plan_, existing, sqliteType, "INTEGER")) {
    if (!exec("ALTER TABLE " + quoteIdentifier(table) + " ADD COLUMN " + column)) return false;
  }
  return true;
}

bool SqliteTarget::readLoads(const std::string& sql, const std::vector<std::string>& params,
                             std::vector<LoadRecord>* loads) {
  const std::string what = "cannot read " + std::string(kLoadsTable);
  Statement query;
  if (!prepare(sql, query.out(), what)) return false;
  for (std::size_t k = 0; k < params.size(); ++k) query.text(static_cast<int>(k) + 1, params[k]);
  int step;
  while ((step = query.step()) == SQLITE_ROW) {
    LoadRecord load;
    load.hasId = !query.nullAt(0);
    load.id = query.integerAt(0);
    load.loadedAt = query.textAt(1);
    load.schema = query.textAt(2);
    load.table = query.textAt(3);
    load.dataSet = query.textAt(4);
    load.rows = static_cast<std::uint64_t>(query.integerAt(5));
    load.size = static_cast<std::uint64_t>(query.integerAt(6));
    load.checksum = query.textAt(7);
    load.source = query.textAt(8);
    load.fileName = query.textAt(9);
    loads->push_back(load);
  }
  return step == SQLITE_DONE || fail(what);
}

bool SqliteTarget::isRecorded(const LoadRecord& record, bool* recorded) {
  const std::string loads = kLoadsTable;
  Statement same;
  // Records of an older zxload may spell the table otherwise.
  if (!prepare("SELECT 1 FROM " + loads + " WHERE table_name = ?1 COLLATE NOCASE"
               " AND file_size = ?2 AND (checksum = ?3 OR ?3 = '')",
               same.out(), "cannot read " + loads)) {
    return false;
  }
  same.text(1, record.table);
  same.integer(2, static_cast<std::int64_t>(record.size));
  same.text(3, record.checksum);
  int step = same.step();
  *recorded = step == SQLITE_ROW;
  return step == SQLITE_ROW || step == SQLITE_DONE || fail("cannot read " + loads);
}

bool SqliteTarget::readHistory(LoadRecord* record, LoadHistory* history) {
  const std::string loads = kLoadsTable;
  Statement next;
  if (!prepare("SELECT coalesce(max(id), 0) + 1 FROM " + loads, next.out(),
               "cannot read " + loads)) {
    return false;
  }
  if (next.step() != SQLITE_ROW) return fail("cannot read " + loads);
  record->id = next.integerAt(0);
  return readLoads(loadsSql(loadsColumns_, kLoadedAt, true), {record->source, record->dataSet},
                   &history->earlier);
}

bool SqliteTarget::begin(const LoadPlan& plan, LoadRecord* record, LoadHistory* history) {
  plan_ = &plan;
  if (rollbackJournal_) {
    // Leaving the log needs the database to itself: while another
    // connection has it open, this load goes through the log as before.
    db_.execWithoutWaiting("PRAGMA journal_mode = DELETE");
    logLater_ = true;
  }
  // IMMEDIATE takes the write lock now, so that two loads of one file
  // cannot both find it unrecorded.
  if (!exec("BEGIN IMMEDIATE") || !prepareLoadsTable() || !prepareSummaryTable() ||
      !heldTable(plan.table, &table_) || !prepareTable(table_)) {
    return false;
  }
  record->schema = "main";
  record->table = table_;
  if (!readHistory(record, history)) return false;
  loadId_ = record->id;
  return true;
}

bool SqliteTarget::removeLoad(const LoadRecord& earlier, std::uint64_t* rows) {
  *rows = 0;
  std::vector<std::string> columns;
  if (!columnsOf(earlier.table, &columns)) return false;
  if (std::find(columns.begin(), columns.end(), kLoadIdColumn) != columns.end()) {
    Statement remove;
    if (!prepare("DELETE FROM " + quoteIdentifier(earlier.table) + " WHERE " + kLoadIdColumn +
                     " = ?1",
                 remove.out(), "cannot delete the rows of load " + std::to_string(earlier.id))) {
      return false;
    }
    remove.integer(1, earlier.id);
    if (remove.step() != SQLITE_DONE) {
      return fail("cannot delete the rows of load " + std::to_string(earlier.id));
    }
    *rows = static_cast<std::uint64_t>(sqlite3_changes64(db_.handle()));
  }
  Statement summary;
  if (!prepare(std::string("DELETE FROM ") + kSummaryTable + " WHERE zxload_id = ?1", summary.out(),
               "cannot delete the summary of load " + std::to_string(earlier.id))) {
    return false;
  }
  summary.integer(1, earlier.id);
  if (summary.step() != SQLITE_DONE) {
    return fail("cannot delete the summary of load " + std::to_string(earlier.id));
  }
  Statement forget;
  if (!prepare(std::string("DELETE FROM ") + kLoadsTable + " WHERE id = ?1", forget.out(),
               "cannot delete the record of load " + std::to_string(earlier.id))) {
    return false;
  }
  forget.integer(1, earlier.id);
  return forget.step() == SQLITE_DONE ||
         fail("cannot delete the record of load " + std::to_string(earlier.id));
}

bool SqliteTarget::prepareStage() {
  staged_ = false;
  Statement encoding, columns;
  if (!prepare("PRAGMA encoding", encoding.out(), "cannot read the encoding") ||
      !prepare("SELECT name, type, \"notnull\" OR dflt_value IS NOT NULL OR pk OR hidden"
               " FROM pragma_table_xinfo(?1)",
               columns.out(), "cannot read the columns of " + table_)) {
    return false;
  }
  if (encoding.step() != SQLITE_ROW || encoding.textAt(0) != "UTF-8") return true;
  std::map<std::string, int> planColumns;
  for (std::size_t k = 0; k < plan_->columns.size(); ++k) {
    planColumns[plan_->columns[k].name] = static_cast<int>(k);
  }
  // The records hold what binding would store only where the column's
  // affinity keeps text as text and numbers as numbers, and nothing else
  // (a default, a constraint, a hidden column) would differ.
  std::vector<int> slots;
  std::string create = "CREATE TABLE stage (";
  columns.text(1, table_);
  int step;
  while ((step = columns.step()) == SQLITE_ROW) {
    const std::string name = columns.textAt(0);
    char affinity = affinityOf(columns.textAt(1));
    if (columns.integerAt(2) != 0) return true;
    bool numeric = affinity == 'i' || affinity == 'r' || affinity == 'n';
    int slot = kNullSlot;
    if (name == kLoadIdColumn) {
      slot = kLoadIdSlot;
      if (!numeric) return true;
    } else if (auto found = planColumns.find(name); found != planColumns.end()) {
      slot = found->second;
      ColumnType type = plan_->columns[slot].type;
      bool text = type == ColumnType::kText || type == ColumnType::kTimestamp;
      if (text ? !(affinity == 't' || affinity == 'b') : !numeric) return true;
    }
    create += (slots.empty() ? "c" : ", c") + std::to_string(slots.size()) + " " +
              typeOfAffinity(affinity);
    slots.push_back(slot);
  }
  if (step != SQLITE_DONE) return fail("cannot read the columns of " + table_);
  // Room for a stage's worth and the longest line after it.
  image_ = std::make_unique<SqliteImage>(create + ")", kStageBytes + (4 << 20));
  spare_ = std::make_unique<SqliteImage>(create + ")", kStageBytes + (4 << 20));
  empty_ = std::make_unique<SqliteImage>(create + ")");
  if (!image_->usable()) return true;
  empty_->finish();
  if (!attached_ && !exec(std::string("ATTACH ':memory:' AS ") + kStage)) return false;
  attached_ = true;
  slots_ = std::move(slots);
  kinds_.clear();
  for (const PlanColumn& column : plan_->columns) {
    kinds_.push_back(column.type == ColumnType::kInteger ? kIntegerValue
                     : column.type == ColumnType::kReal  ? kRealValue
                                                         : kTextValue);
  }
  staged_ = true;
  return true;
}

bool SqliteTarget::copyImage(SqliteImage* image) {
  const std::string what = "cannot insert into " + table_;
  auto [data, size] = image->finish();
  auto length = static_cast<sqlite3_int64>(size);
  if (sqlite3_deserialize(db_.handle(), kStage, data, length, length, SQLITE_DESERIALIZE_READONLY) !=
      SQLITE_OK) {
    return fail(what);
  }
  // Prepared for each image: every image has the same schema cookie, so
  // a statement of an earlier one would not notice its new root page.
  if (copy_ != nullptr) sqlite3_finalize(copy_);
  copy_ = nullptr;
  if (!prepare("INSERT INTO main." + quoteIdentifier(table_) + " SELECT * FROM " + kStage +
                   ".stage",
               &copy_, what)) {
    return false;
  }
  int step = sqlite3_step(copy_);
  sqlite3_reset(copy_);
  if (step != SQLITE_DONE) return fail(what);
  // The stage lets go of the image before it is filled again.
  auto [none, noneSize] = empty_->finish();
  length = static_cast<sqlite3_int64>(noneSize);
  if (sqlite3_deserialize(db_.handle(), kStage, none, length, length, SQLITE_DESERIALIZE_READONLY) !=
      SQLITE_OK) {
    return fail(what);
  }
  image->reset();
  return true;
}

bool SqliteTarget::waitForCopy() {
  return !copying_.valid() || copying_.get();
}

bool SqliteTarget::flushStage() {
  // The copy runs beside the next image being filled; the connection is
  // only used there until it is waited for.
  if (!waitForCopy()) return false;
  std::swap(image_, spare_);
  SqliteImage* full = spare_.get();
  copying_ = std::async(std::launch::async, [this, full] { return copyImage(full); });
  return true;
}

bool SqliteTarget::startRows() {
  // The database and its log are written back while the rows go in; the
  // syncs of the commit then find them mostly on disk already.
  if (writeback_) writeback_->start();
  finalizeInsert();
  if (!prepareStage()) return false;
  if (staged_) return true;
  std::string marks;
  for (std::size_t k = 0; k < plan_->columns.size(); ++k) marks += "?, ";
  std::string sql = "INSERT INTO " + quoteIdentifier(table_) + " (" + columnList(*plan_) +
                    ") VALUES (" + marks + "?)";
  finalizeInsert();
  if (!prepare(sql, &insert_, "cannot insert into " + table_)) return false;
  // Bindings outlive each reset: every row gets the load id.
  int index = static_cast<int>(plan_->columns.size()) + 1;
  return sqlite3_bind_int64(insert_, index, loadId_) == SQLITE_OK ||
         fail("cannot insert into " + table_);
}

bool SqliteTarget::addRow(const std::vector<RowValue>& values) {
  if (staged_) {
    // Values lie in the line in order: their span bounds the text bytes.
    const std::string_view first = values.front().text, last = values.back().text;
    record_.clear(slots_.size(),
                  static_cast<std::size_t>(last.data() + last.size() - first.data()) +
                      8 * slots_.size());
    for (int slot : slots_) {
      if (slot == kNullSlot) {
        record_.addNull();
        continue;
      }
      if (slot == kLoadIdSlot) {
        record_.addInteger(loadId_);
        continue;
      }
      const RowValue& value = values[slot];
      switch (kinds_[slot]) {
        case kTextValue: record_.addText(value.text); break;
        case kIntegerValue:
          if (value.null) record_.addNull();
          else if (value.whole) record_.addInteger(value.integer);
          else record_.addNumber(value.text, true);
          break;
        default:
          // Whole numbers a double holds exactly are kept as binding one would.
          if (value.null) record_.addNull();
          else if (value.whole && value.integer >= -kExactInDouble && value.integer <= kExactInDouble)
            record_.addInteger(value.integer);
          else record_.addNumber(value.text, false);
      }
    }
    image_->append(record_.finish());
    return image_->size() < kStageBytes || flushStage();
  }
  for (std::size_t k = 0; k < values.size(); ++k) {
    const RowValue& value = values[k];
    ColumnType type = plan_->columns[k].type;
    int index = static_cast<int>(k) + 1;
    int status;
    if (type == ColumnType::kText || type == ColumnType::kTimestamp) {
      // Text keeps its bytes exactly, time stamps their written form.
      status = sqlite3_bind_text(insert_, index, value.text.data(),
                                 static_cast<int>(value.text.size()), SQLITE_STATIC);
    } else if (value.null) {
      status = sqlite3_bind_null(insert_, index);
    } else {
      status = bindNumber(insert_, index, value.text, type);
    }
    if (status != SQLITE_OK) return fail("cannot insert into " + table_);
  }
  int step = sqlite3_step(insert_);
  sqlite3_reset(insert_);
  if (step != SQLITE_DONE) return fail("cannot insert into " + table_);
  return true;
}

bool SqliteTarget::endRows() {
  if (!waitForCopy() || (staged_ && image_->rows() > 0 && !copyImage(image_.get()))) return false;
  finalizeInsert();
  // The images are not needed until the next file's rows.
  image_.reset();
  spare_.reset();
  return true;
}

bool SqliteTarget::columnTypes(ColumnTypes* types) { return tableInfo(table_, types); }

bool SqliteTarget::writeSummary(std::int64_t id, const std::vector<SummaryCell>& cells) {
  Statement insert;
  if (!prepare(summaryInsertSql(), insert.out(), "cannot write the summary")) return false;
  auto textOrNull = [&](int index, bool present, const std::string& value) {
    if (present) insert.text(index, value);
    else sqlite3_bind_null(insert.get(), index);
  };
  for (const SummaryCell& cell : cells) {
    const bool written = forEachSummaryPart(cell.data, kSummaryPartBytes, [&](std::int64_t part,
                                                                              std::string_view bytes) {
      insert.integer(1, id);
      insert.text(2, cell.dataSet);
      textOrNull(3, !cell.day.empty(), cell.day);
      textOrNull(4, cell.hasTimes, cell.firstTime);
      textOrNull(5, cell.hasTimes, cell.lastTime);
      insert.integer(6, cell.nullTimes);
      insert.integer(7, cell.rows);
      insert.integer(8, kSummaryFormat);
      insert.integer(9, part);
      sqlite3_bind_blob64(insert.get(), 10, bytes.data(), bytes.size(), SQLITE_STATIC);
      if (insert.step() != SQLITE_DONE) return false;  // the error stays for `fail`
      sqlite3_reset(insert.get());
      return true;
    });
    if (!written) return fail("cannot write the summary");
  }
  return true;
}

bool SqliteTarget::commit(const LoadRecord& record) {
  Statement statement;
  std::string sql = std::string("INSERT INTO ") + kLoadsTable +
                    " (id, source, data_set, file_name, table_schema, table_name, file_size,"
                    " checksum, row_count, loaded_at) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9,"
                    " strftime('%Y-%m-%d %H:%M:%f', 'now'))";
  if (!prepare(sql, statement.out(), "cannot record the load")) return false;
  statement.integer(1, record.id);
  statement.text(2, record.source);
  statement.text(3, record.dataSet);
  statement.text(4, record.fileName);
  statement.text(5, record.schema);
  statement.text(6, record.table);
  statement.integer(7, static_cast<std::int64_t>(record.size));
  statement.text(8, record.checksum);
  statement.integer(9, static_cast<std::int64_t>(record.rows));
  if (statement.step() != SQLITE_DONE) return fail("cannot record the load");
  const bool committed = exec("COMMIT");
  if (writeback_) writeback_->stop();
  if (!committed) return false;
  detachStage();
  switchLogOn();
  return true;
}

void SqliteTarget::switchLogOn() {
  if (!logLater_) return;
  logLater_ = false;
  // Loaded and committed (or rolled back) whatever comes of it: a
  // connection that opened the file meanwhile keeps it in the journal mode,
  // and a later load switches.
  sqlite3_exec(db_.handle(), "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
}

void SqliteTarget::detachStage() {
  if (!attached_) return;
  sqlite3_exec(db_.handle(), (std::string("DETACH ") + kStage).c_str(), nullptr, nullptr, nullptr);
  attached_ = false;
}

void SqliteTarget::rollback() {
  if (writeback_) writeback_->stop();
  waitForCopy();
  finalizeInsert();
  if (db_.handle() != nullptr && !sqlite3_get_autocommit(db_.handle())) {
    sqlite3_exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
  }
  detachStage();
  // With --rollback-journal the log is switched on again whatever came of
  // the load, as after a commit.
  if (rollbackJournal_ && db_.handle() != nullptr) switchLogOn();
}

bool SqliteTarget::listLoads(std::vector<LoadRecord>* loads) {
  std::vector<std::string> columns;
  if (!columnsOf(kLoadsTable, &columns)) return false;
  return columns.empty() || readLoads(loadsSql(columns, kLoadedAt, false), {}, loads);
}
