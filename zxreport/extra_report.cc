#include "zxreport/extra_report.h"

#include <algorithm>
#include <cmath>
#include <future>

namespace {

/// The count of lines a row stands for: refcount, or one.
std::int64_t rowCount(const ColumnSlots& slots, const ScanRow& row, int k) {
  return slots.has(row, k) ? wholeNumber(slots.number(row, k)) : 1;
}

/// Words for a billing operation.
const char* operationName(int operation) {
  switch (operation) {
    case 10: return "minimum";
    case 11: return "maximum";
    case 12: return "mean of averages";
    default: return "sum";
  }
}

/// The heading of measure k.
std::string measureHeading(const MeasureSpec& measure, int k) {
  std::string name = measure.column.empty() ? "measure " + std::to_string(k + 1) : measure.column;
  return name + " (" + operationName(measure.operation) + ")";
}

/// The numbers 0 .. n-1 ordered by `before` (a strict total order), the
/// first `top` of them: one pass keeping the best in a heap whose front is
/// the worst of them, so that millions of numbers need no array and no sort.
template <typename Before>
std::vector<std::uint32_t> topOf(std::size_t n, std::size_t top, Before before) {
  std::vector<std::uint32_t> best;
  top = std::min(top, n);
  if (top == 0) return best;
  best.reserve(top);
  for (std::uint32_t id = 0; id < n; ++id) {
    if (best.size() < top) {
      best.push_back(id);
      std::push_heap(best.begin(), best.end(), before);
    } else if (before(id, best.front())) {
      std::pop_heap(best.begin(), best.end(), before);
      best.back() = id;
      std::push_heap(best.begin(), best.end(), before);
    }
  }
  std::sort_heap(best.begin(), best.end(), before);
  return best;
}

/// The user key's two parts: name and client address, split at the unit
/// separator that joins them.
std::pair<std::string, std::string> userParts(std::string_view key) {
  std::size_t split = key.find('\x1f');
  return {std::string(key.substr(0, split)), std::string(key.substr(split + 1))};
}

}  // namespace

BillingShare::BillingShare(const MeasureSpec (&measures)[3], unsigned share, unsigned shares)
    : share_(share), shares_(shares) {
  for (int k = 0; k < 3; ++k) measures_[k] = measures[k];
}

namespace {
enum BillingWanted { kBillTime, kBillClient, kBillUser, kBill1, kBill2, kBill3 };
const std::vector<ScanColumn> kBillingWanted = {
    {"timestampid", false}, {"userip", false},      {"username", false},
    {"billmeasure1", true}, {"billmeasure2", true}, {"billmeasure3", true}};
}  // namespace

void BillingShare::combine(Combined* into, const double (&values)[3],
                            const ExactSum (&sums)[3]) const {
  for (int k = 0; k < 3; ++k) {
    double& v = into->value[k];
    switch (measures_[k].operation) {
      case 10: v = into->rows == 0 ? values[k] : std::min(v, values[k]); break;
      case 11: v = into->rows == 0 ? values[k] : std::max(v, values[k]); break;
      default: {
        ExactSum sum = sumOf(*into, k);
        sum.merge(sums[k]);
        setSum(into, k, sum);
      }
    }
  }
  ++into->rows;
}

void BillingShare::merge(Combined* into, const BillingFigures& figures) const {
  for (int k = 0; k < 3; ++k) {
    double& v = into->value[k];
    switch (measures_[k].operation) {
      case 10: v = into->rows == 0 ? figures.minimum[k] : std::min(v, figures.minimum[k]); break;
      case 11: v = into->rows == 0 ? figures.maximum[k] : std::max(v, figures.maximum[k]); break;
      default: {
        ExactSum sum = sumOf(*into, k);
        sum.merge(figures.sum[k]);
        setSum(into, k, sum);
      }
    }
  }
  into->rows += figures.rows;
}

double BillingShare::result(const Combined& combined, int k) const {
  switch (measures_[k].operation) {
    case 10:
    case 11: return combined.value[k];
    case 12: return combined.rows > 0 ? sumOf(combined, k).value() / static_cast<double>(combined.rows) : 0;
    default: return sumOf(combined, k).value();
  }
}

std::uint32_t BillingShare::newPair(std::uint32_t interval, std::uint32_t user, bool inRun) {
  if (user >= perUser_.size()) {
    perUser_.resize(user + 1);
    userIntervals_.resize(user + 1, 0);
  }
  ++userIntervals_[user];
  const std::uint64_t key = static_cast<std::uint64_t>(interval) << 32 | user;
  const auto k = static_cast<std::uint32_t>(pairs_.size());
  pairKeys_.push_back(key);
  pairs_.emplace_back();
  IntervalPairs& pairs = intervalPairs_[interval];
  if (inRun) pairs.end = k + 1;
  else pairs.more.push_back(k);
  return k;
}

void BillingShare::indexInterval(std::uint32_t interval) {
  if (interval >= intervalPairs_.size()) intervalPairs_.resize(interval + 1);
  IntervalPairs& pairs = intervalPairs_[interval];
  if (pairs.indexed) return;
  auto index = [&](std::uint32_t k) {
    bool added = false;
    pairIndex_.find(pairKeys_[k], &added);
    indexedPair_.push_back(k);
  };
  for (std::uint32_t k = pairs.begin; k < pairs.end; ++k) index(k);
  for (std::uint32_t k : pairs.more) index(k);
  pairs.indexed = true;
}

void BillingShare::markInterval(std::uint32_t interval) {
  ++marking_;
  if (marks_.size() < users_.size()) marks_.resize(users_.size());
  const IntervalPairs& pairs = intervalPairs_[interval];
  auto mark = [&](std::uint32_t k) {
    marks_[static_cast<std::uint32_t>(pairKeys_[k])] = Mark{marking_, k};
  };
  for (std::uint32_t k = pairs.begin; k < pairs.end; ++k) mark(k);
  for (std::uint32_t k : pairs.more) mark(k);
}

BillingShare::Combined& BillingShare::pairOf(std::uint32_t interval, std::uint32_t user) {
  indexInterval(interval);
  bool added = false;
  std::uint32_t index = pairIndex_.find(static_cast<std::uint64_t>(interval) << 32 | user, &added);
  if (added) indexedPair_.push_back(newPair(interval, user, false));
  return pairs_[indexedPair_[index]];
}

void BillingShare::add(std::string_view key, std::uint64_t hash, std::string_view intervalText,
                       const double (&values)[3]) {
  ++rows_;
  ++changes_;
  std::uint32_t user = users_.intern(key, hash);
  std::uint32_t interval = intervals_.intern(intervalText);
  ExactSum sums[3];
  for (int k = 0; k < 3; ++k) sums[k].add(values[k]);
  combine(&pairOf(interval, user), values, sums);
  combine(&perUser_[user], values, sums);
}

/// Takes the share's figures of a summary cell into it, as `add` takes
/// the rows the cell stands for; the first share counts the cell's rows.
class BillingShare::CellTaker : public BillingCellVisitor {
 public:
  explicit CellTaker(BillingShare& report) : report_(report) {}
  void rows(std::int64_t rows) override {
    if (report_.share_ == 0) report_.rows_ += rows;
  }
  void user(std::string_view key) override {
    std::uint64_t hash;
    if (aheadCount_ > 0 && ahead_[aheadFirst_].key == key.data()) {
      hash = ahead_[aheadFirst_].hash;
      aheadFirst_ = (aheadFirst_ + 1) % kAhead;
      --aheadCount_;
    } else {
      hash = hashText(key);
    }
    users_.push_back(owns(hash) ? report_.users_.intern(key, hash) : kOthers);
  }
  void upcomingUser(std::string_view key) override {
    const std::uint64_t hash = hashText(key);
    if (owns(hash) && report_.users_.outgrowsCache()) report_.users_.prefetchHash(hash);
    if (aheadCount_ == kAhead) return;  // more ahead than kept: hashed again
    ahead_[(aheadFirst_ + aheadCount_) % kAhead] = Ahead{key.data(), hash};
    ++aheadCount_;
  }
  void interval(std::string_view text) override {
    interval_ = report_.intervals_.intern(text);
    auto& intervals = report_.intervalPairs_;
    // An interval new to the share: its pairs are new too, and come in
    // one run. Else the pairs it has are marked by user.
    fresh_ = interval_ == intervals.size();
    if (fresh_) {
      const auto next = static_cast<std::uint32_t>(report_.pairs_.size());
      intervals.push_back(IntervalPairs{next, next, {}, false});
    } else {
      report_.markInterval(interval_);
    }
  }
  void pair(std::uint64_t user, const BillingFigures& figures) override {
    const std::uint32_t id = users_[user];
    if (id == kOthers) return;
    std::uint32_t k;
    if (fresh_) {
      k = report_.newPair(interval_, id, true);
    } else if (report_.marks_[id].interval == report_.marking_) {
      k = report_.marks_[id].pair;
    } else {
      k = report_.newPair(interval_, id, false);
      report_.marks_[id] = Mark{report_.marking_, k};
      if (report_.intervalPairs_[interval_].indexed) {
        bool added = false;
        report_.pairIndex_.find(report_.pairKeys_[k], &added);
        report_.indexedPair_.push_back(k);
      }
    }
    report_.merge(&report_.pairs_[k], figures);
    report_.merge(&report_.perUser_[id], figures);
  }

 private:
  /// The number of a user of another share.
  static constexpr std::uint32_t kOthers = ~0U;
  bool owns(std::uint64_t hash) const {
    return shareOf(hash, report_.shares_) == report_.share_;
  }

  BillingShare& report_;
  std::vector<std::uint32_t> users_;  // the share's number of each user of the cell
  /// The hashes of the upcoming users, in turn (a key is known by where
  /// it lies in the cell).
  struct Ahead {
    const char* key = nullptr;
    std::uint64_t hash = 0;
  };
  static constexpr unsigned kAhead = 16;
  Ahead ahead_[kAhead];
  unsigned aheadFirst_ = 0, aheadCount_ = 0;
  std::uint32_t interval_ = 0;
  bool fresh_ = false;
};

bool BillingShare::addCell(std::string_view data) {
  ++changes_;
  CellTaker taker(*this);
  return readBillingCell(data, &taker);
}

std::vector<std::uint32_t> BillingShare::rankUsers(std::size_t top) const {
  return topOf(perUser_.size(), top, [&](std::uint32_t a, std::uint32_t b) {
    double p = result(perUser_[a], 0), q = result(perUser_[b], 0);
    return p != q ? p > q : users_.at(a) < users_.at(b);
  });
}

std::vector<std::uint32_t> BillingShare::rankPairs(std::size_t top) const {
  return topOf(pairs_.size(), top, [&](std::uint32_t a, std::uint32_t b) {
    const std::uint64_t ka = pairKeys_[a], kb = pairKeys_[b];
    double p = result(pairs_[a], 0), q = result(pairs_[b], 0);
    if (p != q) return p > q;
    std::string_view ia = intervals_.at(static_cast<std::uint32_t>(ka >> 32));
    std::string_view ib = intervals_.at(static_cast<std::uint32_t>(kb >> 32));
    if (ia != ib) return ia < ib;
    return users_.at(static_cast<std::uint32_t>(ka)) < users_.at(static_cast<std::uint32_t>(kb));
  });
}

void BillingShare::rank(std::size_t top) {
  topUsers_ = rankUsers(top);
  topPairs_ = rankPairs(top);
  rankedTop_ = top;
  rankedChanges_ = changes_;
}

std::vector<BillingEntry> BillingShare::topUsers(std::size_t top) const {
  std::vector<BillingEntry> entries;
  const bool ranked = rankedChanges_ == changes_ && rankedTop_ == top;
  for (std::uint32_t id : ranked ? topUsers_ : rankUsers(top)) {
    BillingEntry entry;
    entry.user = users_.at(id);
    entry.intervals = userIntervals_[id];
    for (int k = 0; k < 3; ++k) entry.measures[k] = result(perUser_[id], k);
    entries.push_back(entry);
  }
  return entries;
}

std::vector<BillingEntry> BillingShare::topPairs(std::size_t top) const {
  std::vector<BillingEntry> entries;
  const bool ranked = rankedChanges_ == changes_ && rankedTop_ == top;
  for (std::uint32_t pair : ranked ? topPairs_ : rankPairs(top)) {
    const std::uint64_t key = pairKeys_[pair];
    BillingEntry entry;
    entry.interval = intervals_.at(static_cast<std::uint32_t>(key >> 32));
    entry.user = users_.at(static_cast<std::uint32_t>(key));
    for (int k = 0; k < 3; ++k) entry.measures[k] = result(pairs_[pair], k);
    entries.push_back(entry);
  }
  return entries;
}

BillingReport::BillingReport(const MeasureSpec (&measures)[3], unsigned shares) {
  for (int k = 0; k < 3; ++k) measures_[k] = measures[k];
  shares = std::max(1u, shares);
  for (unsigned k = 0; k < shares; ++k) {
    shares_.push_back(std::make_unique<BillingShare>(measures, k, shares));
  }
}

std::vector<ScanColumn> BillingReport::startTable(const std::vector<std::string>& present) {
  return slots_.choose(kBillingWanted, present);
}

void BillingReport::add(const ScanRow& row) {
  std::string_view name = slots_.text(row, kBillUser);
  key_.assign(isNoValue(name) ? std::string_view() : name);
  key_.push_back('\x1f');
  key_.append(slots_.text(row, kBillClient));
  const double values[3] = {plainZero(slots_.number(row, kBill1)),
                            plainZero(slots_.number(row, kBill2)),
                            plainZero(slots_.number(row, kBill3))};
  const std::uint64_t hash = hashText(key_);
  const unsigned share = BillingShare::shareOf(hash, static_cast<unsigned>(shares_.size()));
  shares_[share]->add(key_, hash, slots_.text(row, kBillTime), values);
}

bool BillingReport::onEveryShare(bool together,
                                 const std::function<bool(BillingShare&)>& work) {
  if (!together) {
    bool ok = true;
    for (auto& share : shares_) ok = work(*share) && ok;
    return ok;
  }
  std::vector<std::future<bool>> others;
  for (std::size_t k = 1; k < shares_.size(); ++k) {
    others.push_back(std::async(std::launch::async, [&, k] { return work(*shares_[k]); }));
  }
  bool ok = work(*shares_[0]);
  for (auto& other : others) ok = other.get() && ok;
  return ok;
}

bool BillingReport::addCell(std::string_view data) {
  // A small cell costs less than starting threads for it.
  constexpr std::size_t kSharedCellBytes = 64 * 1024;
  return onEveryShare(data.size() >= kSharedCellBytes,
                      [&](BillingShare& share) { return share.addCell(data); });
}

std::int64_t BillingReport::rows() const {
  std::int64_t rows = 0;
  for (const auto& share : shares_) rows += share->rows();
  return rows;
}

void BillingReport::rank(std::size_t top) {
  onEveryShare(shares_.size() > 1, [&](BillingShare& share) {
    share.rank(top);
    return true;
  });
}

namespace {

/// The first `top` of the shares' `entries` by `before`, a strict total
/// order: the shares' users are distinct, so their first `top` each hold
/// the first `top` of all.
template <typename Before>
std::vector<BillingEntry> firstOf(std::vector<BillingEntry> entries, std::size_t top,
                                  Before before) {
  std::sort(entries.begin(), entries.end(), before);
  if (entries.size() > top) entries.resize(top);
  return entries;
}

}  // namespace

void BillingReport::addPanel(const ReportSettings& settings, Report* report) const {
  if (rows() == 0) return;
  std::vector<BillingEntry> topUsers, topPairs;
  for (const auto& share : shares_) {
    std::vector<BillingEntry> users = share->topUsers(settings.top);
    std::vector<BillingEntry> pairs = share->topPairs(settings.top);
    topUsers.insert(topUsers.end(), users.begin(), users.end());
    topPairs.insert(topPairs.end(), pairs.begin(), pairs.end());
  }
  topUsers = firstOf(std::move(topUsers), settings.top, [](const BillingEntry& a, const BillingEntry& b) {
    return a.measures[0] != b.measures[0] ? a.measures[0] > b.measures[0] : a.user < b.user;
  });
  topPairs = firstOf(std::move(topPairs), settings.top, [](const BillingEntry& a, const BillingEntry& b) {
    if (a.measures[0] != b.measures[0]) return a.measures[0] > b.measures[0];
    return a.interval != b.interval ? a.interval < b.interval : a.user < b.user;
  });
  Panel panel;
  panel.id = "billing";
  panel.title = "Billing";
  panel.note = "Users are a user name and client address; a user's rows (one per URL and "
               "method) are combined by each measure's operation; ranked by the first measure.";
  std::vector<Column> measureColumns;
  for (int k = 0; k < 3; ++k) {
    measureColumns.push_back({measureHeading(measures_[k], k), "measure" + std::to_string(k + 1)});
  }
  Table users;
  users.id = "billing-users";
  users.caption = "Top users over the range";
  users.columns = {column("user", "User"), column("client", "Client"),
                   column("intervals", "Intervals")};
  users.columns.insert(users.columns.end(), measureColumns.begin(), measureColumns.end());
  for (const BillingEntry& user : topUsers) {
    auto [name, client] = userParts(user.user);
    std::vector<Cell> row = {Cell::ofText(name), Cell::ofText(client),
                             Cell::ofInteger(user.intervals)};
    for (int k = 0; k < 3; ++k) row.push_back(Cell::ofDecimal(user.measures[k]));
    users.rows.push_back(std::move(row));
  }
  // The heaviest user of each interval, and the heaviest pairs overall.
  Table heaviest;
  heaviest.id = "billing-intervals";
  heaviest.caption = "Top users per billing interval";
  heaviest.columns = {column("interval", "Interval"), column("user", "User"),
                      column("client", "Client")};
  heaviest.columns.insert(heaviest.columns.end(), measureColumns.begin(), measureColumns.end());
  for (const BillingEntry& pair : topPairs) {
    auto [name, client] = userParts(pair.user);
    std::vector<Cell> row = {Cell::ofText(std::string(pair.interval)), Cell::ofText(name),
                             Cell::ofText(client)};
    for (int k = 0; k < 3; ++k) row.push_back(Cell::ofDecimal(pair.measures[k]));
    heaviest.rows.push_back(std::move(row));
  }
  Chart chart = barsOf(users, 3, measureColumns[0].name + " per user");
  for (std::size_t i = 0; i < users.rows.size(); ++i) {
    const std::string& name = users.rows[i][0].text;
    chart.labels[i] = name.empty() ? users.rows[i][1].text : name + " " + users.rows[i][1].text;
  }
  panel.charts.push_back(std::move(chart));
  panel.tables.push_back(std::move(users));
  panel.tables.push_back(std::move(heaviest));
  report->panels.push_back(std::move(panel));
}

namespace {
enum StreamWanted { kStreamUrl, kStreamPlayer, kStreamProduct, kStreamPlay, kStreamBytes,
                    kStreamRate, kStreamCount };
const std::vector<ScanColumn> kStreamWanted = {
    {"url", false},      {"player", false},    {"product", false}, {"playtime", true},
    {"bytecount", true}, {"bandwidth", true}, {"refcount", true}};
}  // namespace

std::vector<ScanColumn> StreamingReport::startTable(const std::vector<std::string>& present) {
  return slots_.choose(kStreamWanted, present);
}

void StreamingReport::add(const ScanRow& row) {
  ++rows_;
  const std::int64_t count = rowCount(slots_, row, kStreamCount);
  Figures line;
  line.sessions = count;
  line.playTime = slots_.number(row, kStreamPlay) * static_cast<double>(count);
  line.bytes = wholeNumber(slots_.number(row, kStreamBytes) * static_cast<double>(count));
  if (slots_.has(row, kStreamRate)) {
    line.rated = count;
    line.bandwidth = slots_.number(row, kStreamRate) * static_cast<double>(count);
  }
  auto addTo = [&](Figures& f) {
    f.sessions += line.sessions;
    f.playTime += line.playTime;
    f.bytes += line.bytes;
    f.rated += line.rated;
    f.bandwidth += line.bandwidth;
  };
  addTo(total_);
  std::string_view player = slots_.text(row, kStreamPlayer);
  if (isNoValue(player)) player = slots_.text(row, kStreamProduct);
  if (!isNoValue(player)) {
    std::uint32_t id = players_.intern(player);
    if (id == perPlayer_.size()) perPlayer_.emplace_back();
    addTo(perPlayer_[id]);
  }
  std::string_view stream = slots_.text(row, kStreamUrl);
  if (!isNoValue(stream)) {
    std::uint32_t id = streams_.intern(stream);
    if (id == perStream_.size()) perStream_.emplace_back();
    addTo(perStream_[id]);
  }
}

void StreamingReport::addPanel(const ReportSettings& settings, Report* report) const {
  if (rows_ == 0) return;
  Panel panel;
  panel.id = "streaming";
  panel.title = "Streaming";
  panel.note = "Sessions are the rows' line counts; play time and bytes add up per session; "
               "bandwidth is the mean of the sessions' average bit rates.";
  auto columns = [](const char* key, const char* heading) {
    return std::vector<Column>{column(key, heading), column("sessions", "Sessions"),
                               column("playtime", "Play time"), column("bytes", "Bytes"),
                               column("bandwidth", "Mean bandwidth")};
  };
  auto cells = [](Cell first, const Figures& f) {
    return std::vector<Cell>{
        std::move(first), Cell::ofInteger(f.sessions), Cell::ofDecimal(f.playTime),
        Cell::ofInteger(f.bytes),
        f.rated > 0 ? Cell::ofDecimal(f.bandwidth / static_cast<double>(f.rated))
                    : Cell::none(CellFormat::kDecimal)};
  };
  Table summary;
  summary.id = "streaming-summary";
  summary.caption = "All streams";
  summary.columns = columns("rows", "Rows");
  summary.rows.push_back(cells(Cell::ofInteger(rows_), total_));
  Table players;
  players.id = "streaming-players";
  players.caption = "Players";
  players.columns = columns("player", "Player");
  for (std::uint32_t id : topOf(perPlayer_.size(), settings.top, [&](std::uint32_t a, std::uint32_t b) {
         const Figures &x = perPlayer_[a], &y = perPlayer_[b];
         return x.sessions != y.sessions ? x.sessions > y.sessions : players_.at(a) < players_.at(b);
       })) {
    players.rows.push_back(cells(Cell::ofText(std::string(players_.at(id))), perPlayer_[id]));
  }
  Table streams;
  streams.id = "streaming-streams";
  streams.caption = "Streams by play time";
  streams.columns = columns("url", "Stream");
  for (std::uint32_t id : topOf(perStream_.size(), settings.top, [&](std::uint32_t a, std::uint32_t b) {
         const Figures &x = perStream_[a], &y = perStream_[b];
         return x.playTime != y.playTime ? x.playTime > y.playTime : streams_.at(a) < streams_.at(b);
       })) {
    streams.rows.push_back(cells(Cell::ofText(std::string(streams_.at(id))), perStream_[id]));
  }
  if (!players.rows.empty()) panel.charts.push_back(barsOf(players, 1, "Sessions per player"));
  if (!streams.rows.empty()) panel.charts.push_back(barsOf(streams, 2, "Play time per stream"));
  panel.tables.push_back(std::move(summary));
  if (!players.rows.empty()) panel.tables.push_back(std::move(players));
  if (!streams.rows.empty()) panel.tables.push_back(std::move(streams));
  report->panels.push_back(std::move(panel));
}

namespace {
enum SmartWanted { kSmartCategory, kSmartResult, kSmartCount };
const std::vector<ScanColumn> kSmartWanted = {
    {"category", false}, {"result", true}, {"refcount", true}};
}  // namespace

std::vector<ScanColumn> SmartFilterReport::startTable(const std::vector<std::string>& present) {
  return slots_.choose(kSmartWanted, present);
}

void SmartFilterReport::add(const ScanRow& row) {
  ++rows_;
  const std::int64_t count = rowCount(slots_, row, kSmartCount);
  requests_ += count;
  categories_.add(slots_.text(row, kSmartCategory), count, 0);
  if (slots_.has(row, kSmartResult)) results_.add(wholeNumber(slots_.number(row, kSmartResult)), count, 0);
}

void SmartFilterReport::addPanel(const ReportSettings& settings, Report* report) const {
  if (categories_.empty() && results_.empty()) return;
  Panel panel;
  panel.id = "smartfilter";
  panel.title = "Filter categories";
  panel.note = "Requests of the SmartFilter tables by category and by result code.";
  if (!categories_.empty()) {
    panel.tables.push_back(rankingTable("smartfilter-categories", "Categories", "Category",
                                        categories_, categories_.top(settings.top, false),
                                        requests_, 0, false));
    panel.charts.push_back(barsOf(panel.tables.back(), 1, "Requests per category"));
  }
  if (!results_.empty()) {
    const Ranking results =
        results_.ranking([&](std::int64_t code) { return codeName(code, settings); });
    panel.tables.push_back(rankingTable("smartfilter-results", "Results", "Result", results,
                                        results.top(results.size(), false), requests_, 0, false));
  }
  report->panels.push_back(std::move(panel));
}
