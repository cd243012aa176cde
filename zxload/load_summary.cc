#include "zxload/load_summary.h"

#include <charconv>
#include <cstring>
#include <map>

#include "dbconn/utf8.h"
#include "summary/billing_cell.h"
#include "summary/cell_codec.h"
#include "summary/civil_time.h"
#include "summary/raw_cell.h"
#include "summary/tally.h"

namespace {

/// How the report reads a column.
enum class Reading { kNumber, kText, kTime };

/// A column the report reads.
struct Wanted {
  const char* name;
  Reading reading;
};

// Raw tables, in the order of RawColumn.
enum RawColumn { kTime, kCount, kBytes, kResponse, kStatus, kTransaction, kFirstText };
constexpr Wanted kRawWanted[] = {
    {"timestampid", Reading::kTime},   {"refcount", Reading::kNumber},
    {"bytecount", Reading::kNumber},   {"responsetime", Reading::kNumber},
    {"status", Reading::kNumber},      {"transcodeid", Reading::kNumber},
    // the texts, in the order of RawDimension
    {"sitename", Reading::kText},      {"url", Reading::kText},
    {"filetype", Reading::kText},      {"contenttype", Reading::kText},
    {"username", Reading::kText},      {"userip", Reading::kText},
    {"referrer", Reading::kText},      {"browser", Reading::kText},
    {"os", Reading::kText},            {"hierarchycode", Reading::kText}};

// Billing tables, in the order of BillingColumn.
enum BillingColumn { kBillTime, kBillClient, kBillUser, kBillMeasure };
constexpr Wanted kBillingWanted[] = {
    {"timestampid", Reading::kTime}, {"userip", Reading::kText}, {"username", Reading::kText},
    {"billmeasure1", Reading::kNumber}, {"billmeasure2", Reading::kNumber},
    {"billmeasure3", Reading::kNumber}};

/// Whether a column of `type` in the plan reads as `reading`.
bool planTypeFits(ColumnType type, Reading reading) {
  switch (reading) {
    case Reading::kNumber: return type == ColumnType::kInteger || type == ColumnType::kReal;
    case Reading::kText: return type == ColumnType::kText;
    default: return type == ColumnType::kTimestamp;
  }
}

/// Whether a table column declared `type` gives back what zxload gives it.
bool tableTypeFits(const std::string& type, Reading reading, bool postgres) {
  if (!postgres) return type == (reading == Reading::kNumber ? "integer" : "text") ||
                        (reading == Reading::kNumber && type == "real");
  switch (reading) {
    case Reading::kNumber:
      return type == "numeric" || type == "double precision" || type == "bigint" ||
             type == "integer" || type == "smallint";
    case Reading::kText: return type == "text";
    default: return type == "timestamp without time zone";
  }
}

/// Powers of ten that a double holds exactly.
constexpr double kExactTens[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                 1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

/// A checked number's value, as the databases give it back (the nearest
/// double). Plain decimals of up to 15 digits, as the files hold them, are
/// one exact whole number divided by an exact power of ten (at most 10^15):
/// rounded once, to the same double as a full conversion.
double numberOf(std::string_view text) {
  const char* at = text.data();
  const char* end = at + text.size();
  const bool negative = at < end && *at == '-';
  if (at < end && (*at == '-' || *at == '+')) ++at;
  const char* digitsStart = at;
  std::uint64_t whole = 0;
  for (; at < end && static_cast<unsigned>(*at - '0') < 10; ++at) whole = whole * 10 + static_cast<unsigned>(*at - '0');
  std::ptrdiff_t digits = at - digitsStart, decimals = 0;
  if (at < end && *at == '.') {
    const char* point = ++at;
    for (; at < end && static_cast<unsigned>(*at - '0') < 10; ++at) whole = whole * 10 + static_cast<unsigned>(*at - '0');
    decimals = at - point;
    digits += decimals;
  }
  if (at == end && digits <= 15) {
    double value = static_cast<double>(whole);
    if (decimals > 0) value /= kExactTens[decimals];
    return plainZero(negative ? -value : value);
  }
  double value = 0;
  std::from_chars(digitsStart, end, value);
  return plainZero(negative ? -value : value);
}

/// `text` as PostgreSQL stores what zxload sends it: a NUL as U+FFFD ("?"
/// under SQL_ASCII) and, unless `rawBytes`, each byte that is not part of
/// valid UTF-8 as the Latin-1 character of its number.
std::string_view postgresText(std::string_view text, bool rawBytes, std::string* scratch) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t i = 0;
  // Eight bytes at a time while none is NUL or (unless rawBytes) above 0x7F.
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL, kHighs = 0x8080808080808080ULL;
  for (std::uint64_t word; i + 8 <= text.size(); i += 8) {
    std::memcpy(&word, s + i, 8);
    if ((((word - kOnes) & ~word) | (rawBytes ? 0 : word)) & kHighs) break;
  }
  while (i < text.size() && s[i] != 0 && (s[i] < 0x80 || rawBytes)) ++i;
  if (i == text.size()) return text;
  scratch->assign(text.substr(0, i));
  appendPostgresText(text.substr(i), rawBytes, scratch);
  return *scratch;
}

/// A checked time stamp as PostgreSQL writes it: the fraction of a second
/// without trailing zeros, and none when it is zero.
std::string_view postgresTime(std::string_view text) {
  if (text.size() <= 19) return text;
  std::size_t end = text.size();
  while (end > 20 && text[end - 1] == '0') --end;
  return text.substr(0, end == 20 ? 19 : end);
}

/// The rows of one load kept apart by day: finds the cell of each row's
/// time stamp, remembering the last one (rows come hour by hour).
template <typename Cell>
class Cells {
 public:
  /// The cell of a row whose time stamp is `stamp` (as the table holds it)
  /// or NULL; `*hourOfDay` is its hour, or -1 for a row without an hour.
  Cell& locate(std::string_view stamp, bool null, int* hourOfDay) {
    if (null) {
      known_ = false;
      Cell& cell = untimed();
      ++cell.head.nullTimes;
      *hourOfDay = -1;
      return cell;
    }
    if (!known_ || stamp != lastStamp_) {
      std::int64_t hours = 0;
      if (hourOfTimestamp(stamp, &hours)) {
        std::int64_t day = hours >= 0 ? hours / 24 : (hours - 23) / 24;
        std::unique_ptr<Cell>& slot = byDay_[day];
        if (!slot) {
          slot = std::make_unique<Cell>();
          slot->head.day = civilDate(day);
        }
        last_ = slot.get();
        lastHour_ = static_cast<int>(hours - day * 24);
      } else {
        last_ = &untimed();
        lastHour_ = -1;
      }
      widen(&last_->head, stamp);
      lastStamp_.assign(stamp);
      known_ = true;
    }
    *hourOfDay = lastHour_;
    return *last_;
  }
  /// The cell of the last row, or null before the first.
  Cell* last() const { return last_; }
  /// Visits every cell, the one for rows without an hour first (made when
  /// there is none, so that every summary has a cell), then by day, and
  /// frees each after the next one's visit: only the last is left, for
  /// `releaseLast`.
  template <typename Visit>
  void drain(Visit visit) {
    auto take = [&](std::unique_ptr<Cell>& cell) {
      visit(*cell);
      spent_ = std::move(cell);  // frees the cell before
    };
    untimed();
    take(untimed_);
    for (auto& [day, cell] : byDay_) take(cell);
    byDay_.clear();
    last_ = nullptr;
    known_ = false;
  }
  /// Frees the cell `drain` visited last.
  void releaseLast() { spent_.reset(); }

 private:
  Cell& untimed() {
    if (!untimed_) untimed_ = std::make_unique<Cell>();
    return *untimed_;
  }
  static void widen(SummaryCell* head, std::string_view stamp) {
    if (!head->hasTimes || stamp < head->firstTime) head->firstTime.assign(stamp);
    if (!head->hasTimes || stamp > head->lastTime) head->lastTime.assign(stamp);
    head->hasTimes = true;
  }

  std::map<std::int64_t, std::unique_ptr<Cell>> byDay_;
  std::unique_ptr<Cell> untimed_;
  std::unique_ptr<Cell> spent_;  // visited by drain, not yet freed
  Cell* last_ = nullptr;
  int lastHour_ = -1;
  std::string lastStamp_;
  bool known_ = false;
};

/// Writes requests, bytes and classes.
void writeTotals(const RawTotals& totals, CellWriter* out) {
  out->number(totals.requests);
  out->number(totals.bytes);
  for (std::int64_t c : totals.classes) out->number(c);
}

/// Writes the codes of `codes`.
void writeCodes(const CodeTally& codes, CellWriter* out) {
  out->count(codes.codes().size());
  for (const auto& [code, tally] : codes.codes()) {
    out->number(code);
    out->number(tally.requests);
    out->number(tally.bytes);
  }
}

}  // namespace

/// Counts rows into cells.
class LoadSummary::Builder {
 public:
  Builder(const LoadPlan& plan, StoredForm form, const Wanted* wanted, std::size_t count)
      : form_(form), wanted_(wanted, wanted + count), columns_(count, -1) {
    for (std::size_t k = 0; k < count; ++k) {
      for (std::size_t c = 0; c < plan.columns.size(); ++c) {
        if (plan.columns[c].name == wanted[k].name) columns_[k] = static_cast<int>(c);
      }
    }
  }
  virtual ~Builder() = default;
  /// Whether every wanted column of the plan has a type that reads back.
  bool planFits(const LoadPlan& plan) const {
    for (std::size_t k = 0; k < wanted_.size(); ++k) {
      if (columns_[k] >= 0 && !planTypeFits(plan.columns[columns_[k]].type, wanted_[k].reading)) {
        return false;
      }
    }
    return true;
  }
  /// Whether the table's declared types of the wanted columns read back.
  bool tableFits(const ColumnTypes& types) const {
    for (const Wanted& wanted : wanted_) {
      for (const auto& [name, type] : types) {
        if (name == wanted.name && !tableTypeFits(type, wanted.reading, form_.postgres)) return false;
      }
    }
    return true;
  }
  /// The indexes in a row of the wanted columns that are in the file.
  std::vector<std::size_t> present() const {
    std::vector<std::size_t> out;
    for (int c : columns_) {
      if (c >= 0) out.push_back(static_cast<std::size_t>(c));
    }
    return out;
  }
  virtual void add(const std::vector<RowValue>& values) = 0;
  /// Starts fetching what adding `values` a few rows later will look at.
  virtual void prefetch(const std::vector<RowValue>& /*values*/) {}
  virtual std::vector<SummaryCell> cells() = 0;
  /// Frees what `cells` left of the counts.
  virtual void releaseCounts() = 0;

 protected:
  /// Whether wanted column `k` is in the file and not NULL in `values`.
  bool has(const std::vector<RowValue>& values, int k) const {
    return columns_[k] >= 0 && !values[columns_[k]].null;
  }
  double number(const std::vector<RowValue>& values, int k) const {
    if (!has(values, k)) return 0;
    // A whole number of at most 18 digits: its nearest double, as its text's.
    const RowValue& value = values[columns_[k]];
    return value.whole ? plainZero(static_cast<double>(value.integer)) : numberOf(value.text);
  }
  /// Text column `k` as the table holds it ("" when not in the file).
  std::string_view text(const std::vector<RowValue>& values, int k, std::string* scratch) const {
    if (columns_[k] < 0) return {};
    std::string_view text = values[columns_[k]].text;
    return form_.postgres ? postgresText(text, form_.rawBytes, scratch) : text;
  }
  /// The time stamp column `k` as the table holds it; `*null` when NULL.
  std::string_view stamp(const std::vector<RowValue>& values, int k, bool* null) const {
    *null = columns_[k] < 0 || (form_.postgres && values[columns_[k]].null);
    if (*null) return {};
    std::string_view text = values[columns_[k]].text;
    return form_.postgres ? postgresTime(text) : text;
  }
  /// The cell of `cells` for the time stamp (column `k`) of a row; the
  /// stamp as the table holds it in `*time`, its hour in `*hourOfDay`.
  template <typename Cell>
  Cell& cellOf(const std::vector<RowValue>& values, int k, Cells<Cell>* cells,
               std::string_view* time, int* hourOfDay) const {
    bool null = false;
    *time = stamp(values, k, &null);
    return cells->locate(*time, null, hourOfDay);
  }

  StoredForm form_;

 private:
  std::vector<Wanted> wanted_;
  std::vector<int> columns_;  // index of each wanted column in the plan, -1 when absent
};

namespace {

/// Figures of one hour of a raw cell.
struct RawHour {
  bool used = false;
  RawTotals totals;
  std::vector<std::uint32_t> clients;  // in the order first seen
  std::int64_t lastClient = -1;
  NumberIndex timeIndex;               // bits of a time -> its weights
  std::vector<std::int64_t> timeWeights;
  std::vector<std::pair<double, std::int64_t>> negative;  // rows of a negative weight
};

/// Figures of the rows of one day (or without an hour) of a raw load.
struct RawCell {
  SummaryCell head;
  RawTotals totals;
  CodeTally status, transactions;
  Ranking values[kRawDimensions];
  RawHour hours[24];
  /// The hours each client (by its number among `values[kRawClients]`)
  /// has been counted in, bit h for hour h: a lookup by index, not a hash.
  std::vector<std::uint32_t> clientHours;
};

/// Counts the rows of a raw load as RawReport counts them.
class RawBuilder : public LoadSummary::Builder {
 public:
  RawBuilder(const LoadPlan& plan, StoredForm form)
      : Builder(plan, form, kRawWanted, sizeof kRawWanted / sizeof kRawWanted[0]) {}

  void add(const std::vector<RowValue>& values) override {
    std::string_view time;
    int hourOfDay = -1;
    RawCell& cell = cellOf(values, kTime, &cells_, &time, &hourOfDay);
    const std::int64_t count = has(values, kCount) ? wholeNumber(number(values, kCount)) : 1;
    const std::int64_t bytes =
        has(values, kBytes) ? wholeNumber(number(values, kBytes) * static_cast<double>(count)) : 0;
    int statusKind = 5;
    if (has(values, kStatus)) {
      const double status = number(values, kStatus);
      statusKind = statusClass(status);
      cell.status.add(wholeNumber(status), count, bytes);
    }
    if (has(values, kTransaction)) {
      cell.transactions.add(wholeNumber(number(values, kTransaction)), count, bytes);
    }
    addTo(&cell.totals, count, bytes, statusKind);
    ++cell.totals.rows;
    std::int64_t client = -1;
    for (int d = 0; d < kRawDimensions; ++d) {
      std::int64_t id = cell.values[d].add(text(values, kFirstText + d, &scratch_), count, bytes);
      if (d == kRawClients) client = id;
    }
    if (hourOfDay < 0) return;
    RawHour& hour = cell.hours[hourOfDay];
    hour.used = true;
    addTo(&hour.totals, count, bytes, statusKind);
    if (client >= 0 && client != hour.lastClient) {
      hour.lastClient = client;
      // Client numbers are given in order: a new one is the next index.
      const auto index = static_cast<std::size_t>(client);
      if (index >= cell.clientHours.size()) cell.clientHours.resize(index + 1);
      const std::uint32_t bit = 1u << hourOfDay;
      if ((cell.clientHours[index] & bit) == 0) {
        cell.clientHours[index] |= bit;
        hour.clients.push_back(static_cast<std::uint32_t>(client));
      }
    }
    if (has(values, kResponse)) {
      const double time = number(values, kResponse);
      if (count < 0) {
        hour.negative.emplace_back(time, count);
      } else {
        std::uint64_t bits;
        std::memcpy(&bits, &time, 8);
        bool added = false;
        std::uint32_t index = hour.timeIndex.find(bits, &added);
        if (added) hour.timeWeights.push_back(0);
        hour.timeWeights[index] += count;
      }
    }
  }

  void prefetch(const std::vector<RowValue>& values) override {
    // Rows come hour by hour: the cell of the last row is most likely theirs.
    const RawCell* cell = cells_.last();
    if (cell == nullptr) return;
    for (int d = 0; d < kRawDimensions; ++d) {
      cell->values[d].prefetch(text(values, kFirstText + d, &aheadScratch_));
    }
  }

  std::vector<SummaryCell> cells() override {
    std::vector<SummaryCell> out;
    cells_.drain([&](RawCell& cell) {
      CellWriter data;
      std::size_t room = 1024;
      for (const Ranking& values : cell.values) room += roomFor(values);
      data.reserve(room);
      data.count(static_cast<std::uint64_t>(cell.totals.rows));
      writeTotals(cell.totals, &data);
      writeCodes(cell.status, &data);
      writeCodes(cell.transactions, &data);
      for (const Ranking& values : cell.values) writeValues(values, &data);
      writeHours(cell, &data);
      cell.head.dataSet = "raw";
      cell.head.rows = cell.totals.rows;
      cell.head.data = data.take();
      out.push_back(std::move(cell.head));
    });
    return out;
  }

  void releaseCounts() override { cells_.releaseLast(); }

 private:
  /// Bytes that `values` take in a cell at most (a text's length and two
  /// numbers of a few bytes each).
  static std::size_t roomFor(const Ranking& values) { return values.textBytes() + 16 * values.size(); }
  /// Writes the values of one dimension.
  static void writeValues(const Ranking& values, CellWriter* data) {
    data->count(values.size());
    for (std::uint32_t id = 0; id < values.size(); ++id) {
      data->text(values.name(id));
      data->number(values.tally(id).requests);
      data->number(values.tally(id).bytes);
    }
  }
  /// Writes the hours of `cell`.
  static void writeHours(const RawCell& cell, CellWriter* data) {
    int used = 0;
    for (const RawHour& hour : cell.hours) used += hour.used ? 1 : 0;
    data->count(static_cast<std::uint64_t>(used));
    for (int h = 0; h < 24; ++h) {
      const RawHour& hour = cell.hours[h];
      if (!hour.used) continue;
      data->count(static_cast<std::uint64_t>(h));
      writeTotals(hour.totals, data);
      data->count(hour.clients.size());
      for (std::uint32_t client : hour.clients) data->count(client);
      data->count(hour.timeWeights.size() + hour.negative.size());
      for (std::uint32_t k = 0; k < hour.timeWeights.size(); ++k) {
        std::uint64_t bits = hour.timeIndex.key(k);
        double time;
        std::memcpy(&time, &bits, 8);
        data->real(time);
        data->number(hour.timeWeights[k]);
      }
      for (const auto& [time, weight] : hour.negative) {
        data->real(time);
        data->number(weight);
      }
    }
  }

  static void addTo(RawTotals* totals, std::int64_t count, std::int64_t bytes, int statusKind) {
    totals->requests += count;
    totals->bytes += bytes;
    totals->classes[statusKind] += count;
  }

  Cells<RawCell> cells_;
  std::string scratch_, aheadScratch_;
};

/// Figures of the rows of one day (or without an hour) of a billing load.
struct BillingCell {
  SummaryCell head;
  std::int64_t rows = 0;
  StringTable users, intervals;
  NumberIndex pairIndex;  // interval << 32 | user -> index into pairs
  std::vector<BillingFigures> pairs;
};

/// Counts the rows of a billing load as BillingReport counts them.
class BillingBuilder : public LoadSummary::Builder {
 public:
  BillingBuilder(const LoadPlan& plan, StoredForm form)
      : Builder(plan, form, kBillingWanted, sizeof kBillingWanted / sizeof kBillingWanted[0]) {}

  void add(const std::vector<RowValue>& values) override {
    std::string_view interval;
    int hourOfDay = -1;
    BillingCell& cell = cellOf(values, kBillTime, &cells_, &interval, &hourOfDay);
    ++cell.rows;
    std::string_view name = text(values, kBillUser, &scratch_);
    key_.assign(isNoValue(name) ? std::string_view() : name);
    key_.push_back('\x1f');
    key_.append(text(values, kBillClient, &scratch_));
    // Rows of one user in one interval mostly follow each other.
    if (&cell != lastCell_ || interval != lastInterval_ || key_ != lastKey_) {
      std::uint32_t user = cell.users.intern(key_);
      std::uint32_t at = cell.intervals.intern(interval);
      bool added = false;
      lastPair_ = cell.pairIndex.find(static_cast<std::uint64_t>(at) << 32 | user, &added);
      if (added) cell.pairs.emplace_back();
      lastCell_ = &cell;
      lastInterval_.assign(interval);
      lastKey_.swap(key_);
    }
    const double measures[3] = {number(values, kBillMeasure), number(values, kBillMeasure + 1),
                                number(values, kBillMeasure + 2)};
    cell.pairs[lastPair_].add(measures);
  }

  void prefetch(const std::vector<RowValue>& values) override {
    // Rows come interval by interval: the cell of the last row is most likely theirs.
    const BillingCell* cell = cells_.last();
    if (cell == nullptr || !cell->users.outgrowsCache()) return;
    std::string_view name = text(values, kBillUser, &aheadScratch_);
    aheadKey_.assign(isNoValue(name) ? std::string_view() : name);
    aheadKey_.push_back('\x1f');
    aheadKey_.append(text(values, kBillClient, &aheadScratch_));
    cell->users.prefetch(aheadKey_);
  }

  std::vector<SummaryCell> cells() override {
    std::vector<SummaryCell> out;
    cells_.drain([&](BillingCell& cell) {
      CellWriter data;
      data.count(static_cast<std::uint64_t>(cell.rows));
      data.count(cell.users.size());
      for (std::uint32_t id = 0; id < cell.users.size(); ++id) data.text(cell.users.at(id));
      // The pairs of each interval, in the order of the intervals.
      std::vector<std::vector<std::uint32_t>> byInterval(cell.intervals.size());
      for (std::uint32_t k = 0; k < cell.pairs.size(); ++k) {
        byInterval[cell.pairIndex.key(k) >> 32].push_back(k);
      }
      data.count(cell.intervals.size());
      for (std::uint32_t at = 0; at < cell.intervals.size(); ++at) {
        data.text(cell.intervals.at(at));
        data.count(byInterval[at].size());
        for (std::uint32_t k : byInterval[at]) {
          data.count(cell.pairIndex.key(k) & 0xffffffffu);
          writeBillingFigures(cell.pairs[k], &data);
        }
      }
      cell.head.dataSet = "billing";
      cell.head.rows = cell.rows;
      cell.head.data = data.take();
      out.push_back(std::move(cell.head));
    });
    return out;
  }

  void releaseCounts() override { cells_.releaseLast(); }

 private:
  Cells<BillingCell> cells_;
  std::string scratch_, key_, lastKey_, lastInterval_, aheadScratch_, aheadKey_;
  const BillingCell* lastCell_ = nullptr;
  std::uint32_t lastPair_ = 0;
};

}  // namespace

LoadSummary::LoadSummary(const LoadPlan& plan, StoredForm form, bool ownThread)
    : plan_(plan), form_(form) {
  if (plan.dataSet == "raw") builder_ = std::make_unique<RawBuilder>(plan, form);
  else if (plan.dataSet == "billing") builder_ = std::make_unique<BillingBuilder>(plan, form);
  if (builder_ && !builder_->planFits(plan)) builder_.reset();
  if (builder_ && ownThread) {
    unpacked_.resize(plan.columns.size());
    ahead_.resize(plan.columns.size());
    feed_ = std::make_unique<BatchThread>(builder_->present(), [this](const ValueBatch& batch) {
      // Lookups in large tables miss the cache: they are started a few
      // rows ahead, so that they overlap.
      constexpr std::size_t kAhead = 8;
      for (std::size_t r = 0; r < batch.rows(); ++r) {
        if (r + kAhead < batch.rows()) {
          batch.row(r + kAhead, &ahead_);
          builder_->prefetch(ahead_);
        }
        batch.row(r, &unpacked_);
        builder_->add(unpacked_);
      }
    });
  }
}

LoadSummary::~LoadSummary() = default;

void LoadSummary::checkTable(const ColumnTypes& types) {
  if (builder_ && !builder_->tableFits(types)) {
    feed_.reset();
    builder_.reset();
  }
}

void LoadSummary::add(const std::vector<RowValue>& values) {
  if (!builder_) return;
  if (!feed_) return builder_->add(values);
  feed_->filling().add(values);
  if (feed_->filling().full()) feed_->handOver();
}

void LoadSummary::endRows() {
  if (!builder_ || !feed_ || made_.valid()) return;
  cellsMade_ = cellsPromised_.get_future();
  made_ = std::async(std::launch::async, [this] {
    try {
      feed_->finish();
      cellsPromised_.set_value(builder_->cells());
    } catch (...) {
      cellsPromised_.set_exception(std::current_exception());
      return;
    }
    builder_->releaseCounts();  // while the cells are written
  });
}

std::vector<SummaryCell> LoadSummary::cells() {
  if (!builder_) return {};
  if (cellsMade_.valid()) return cellsMade_.get();
  if (feed_) feed_->finish();
  std::vector<SummaryCell> out = builder_->cells();
  builder_->releaseCounts();
  return out;
}
