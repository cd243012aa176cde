#include "zxreport/raw_report.h"

#include <cmath>

#include "summary/civil_time.h"

namespace {

/// The columns a raw table may have, in the order of `kWanted`.
enum Wanted {
  kTime, kCount, kBytes, kResponse, kStatus, kClient, kUser, kSite, kUrl, kFileType,
  kContentType, kReferrer, kBrowser, kOs, kTransaction, kHierarchy, kWantedCount
};
const std::vector<ScanColumn> kWanted = {
    {"timestampid", false}, {"refcount", true},     {"bytecount", true},  {"responsetime", true},
    {"status", true},       {"userip", false},      {"username", false},  {"sitename", false},
    {"url", false},         {"filetype", false},    {"contenttype", false}, {"referrer", false},
    {"browser", false},     {"os", false},          {"transcodeid", true}, {"hierarchycode", false}};

/// Series over more hours than this are also drawn per day.
constexpr std::int64_t kHourlyLimit = 72;

constexpr const char* kClassNames[6] = {"1xx", "2xx", "3xx", "4xx", "5xx", "other"};

/// An appliance's index as a group of GroupMembers.
std::uint32_t group(std::int64_t appliance) { return static_cast<std::uint32_t>(appliance); }
/// A value's number (from a Ranking, so below 2^32) as GroupMembers takes it.
std::uint32_t number(std::int64_t id) { return static_cast<std::uint32_t>(id); }

/// A time-series chart.
Chart timeChart(Chart::Kind kind, const std::string& caption, std::vector<std::string> labels) {
  Chart chart;
  chart.kind = kind;
  chart.caption = caption;
  chart.labels = std::move(labels);
  return chart;
}

/// A row "figure, value" of a two-column table.
std::vector<Cell> figure(const char* name, Cell value) {
  return {Cell::ofText(name), std::move(value)};
}

}  // namespace

std::string codeName(std::int64_t code, const ReportSettings& settings) {
  auto found = settings.transactionNames.find(code);
  if (found == settings.transactionNames.end()) return std::to_string(code);
  return found->second + " (" + std::to_string(code) + ")";
}

RawReport::RawReport() = default;

std::vector<ScanColumn> RawReport::startTable(const std::string& appliance,
                                               const std::vector<std::string>& present) {
  appliances_.push_back(Appliance{appliance});
  return slots_.choose(kWanted, present);
}

RawReport::Hour& RawReport::hourAt(std::int64_t hours) {
  // Rows come hour by hour, so the last hour is nearly always the one.
  if (lastHour_ == nullptr || hours != lastHourNumber_) {
    lastHour_ = &hours_[hours];
    lastHourNumber_ = hours;
  }
  return *lastHour_;
}

void RawReport::add(const ScanRow& row) {
  if (urlCounter_) finishCells();
  auto present = [&](int k) { return slots_.has(row, k); };
  auto text = [&](int k) { return slots_.text(row, k); };
  const std::int64_t count = present(kCount) ? wholeNumber(slots_.number(row, kCount)) : 1;
  const std::int64_t bytes =
      present(kBytes) ? wholeNumber(slots_.number(row, kBytes) * static_cast<double>(count)) : 0;
  Appliance& appliance = appliances_.back();
  const std::int64_t applianceIndex = static_cast<std::int64_t>(appliances_.size()) - 1;
  ++rows_;
  ++appliance.rows;
  requests_ += count;
  bytes_ += bytes;
  appliance.requests += count;
  appliance.bytes += bytes;

  int statusKind = 5;
  if (present(kStatus)) {
    statusKind = statusClass(slots_.number(row, kStatus));
    statusCodes_.add(wholeNumber(slots_.number(row, kStatus)), count, bytes);
  }
  classes_[statusKind] += count;
  if (statusKind == 3 || statusKind == 4) appliance.failed += count;

  std::int64_t client = clients_.add(text(kClient), count, bytes);
  std::int64_t user = users_.add(text(kUser), count, bytes);
  if (client >= 0 && applianceClients_.insert(group(applianceIndex), number(client))) ++appliance.clients;
  if (user >= 0 && applianceUsers_.insert(group(applianceIndex), number(user))) ++appliance.users;

  // Rows of one hour mostly follow each other: its text is read once.
  std::int64_t hours = lastStampHours_;
  bool timed = false;
  if (present(kTime)) {
    std::string_view stamp = text(kTime).substr(0, 13);
    timed = stamp.size() == 13 && stamp == lastStamp_;
    if (!timed && hourOfTimestamp(text(kTime), &hours)) {
      timed = true;
      lastStamp_.assign(stamp);
      lastStampHours_ = hours;
    }
  }
  if (timed) {
    Hour& hour = hourAt(hours);
    hour.requests += count;
    hour.bytes += bytes;
    hour.classes[statusKind] += count;
    // Rows of one client in one hour mostly follow each other.
    if (client >= 0 && (client != lastClient_ || hours != lastClientHour_)) {
      lastClient_ = client;
      lastClientHour_ = hours;
      hour.clients.insert(static_cast<std::uint64_t>(client));
      std::int64_t day = hours >= 0 ? hours / 24 : (hours - 23) / 24;
      if (lastDayClients_ == nullptr || day != lastDay_) {
        lastDayClients_ = &dayClients_[day];
        lastDay_ = day;
      }
      lastDayClients_->insert(static_cast<std::uint64_t>(client));
    }
    if (present(kResponse)) hour.times.emplace_back(plainZero(slots_.number(row, kResponse)), count);
  } else {
    untimed_ += count;
  }
  sites_.add(text(kSite), count, bytes);
  urls_.add(text(kUrl), count, bytes);
  fileTypes_.add(text(kFileType), count, bytes);
  contentTypes_.add(text(kContentType), count, bytes);
  referrers_.add(text(kReferrer), count, bytes);
  browsers_.add(text(kBrowser), count, bytes);
  systems_.add(text(kOs), count, bytes);
  if (present(kTransaction)) {
    transactionCodes_.add(wholeNumber(slots_.number(row, kTransaction)), count, bytes);
  }
  hierarchy_.add(text(kHierarchy), count, bytes);
}

Ranking& RawReport::ranking(RawDimension dimension) {
  Ranking* const rankings[kRawDimensions] = {&sites_,    &urls_,    &fileTypes_, &contentTypes_,
                                             &users_,    &clients_, &referrers_, &browsers_,
                                             &systems_,  &hierarchy_};
  return *rankings[dimension];
}

/// Takes the figures of a summary cell into the report, as `add` takes
/// the rows the cell stands for.
class RawReport::CellTaker : public RawCellVisitor {
 public:
  CellTaker(RawReport& report, bool timed, std::int64_t day)
      : report_(report), appliance_(report.appliances_.back()),
        applianceIndex_(static_cast<std::int64_t>(report.appliances_.size()) - 1),
        timed_(timed), day_(day) {}

  void totals(const RawTotals& t) override {
    report_.rows_ += t.rows;
    appliance_.rows += t.rows;
    report_.requests_ += t.requests;
    report_.bytes_ += t.bytes;
    appliance_.requests += t.requests;
    appliance_.bytes += t.bytes;
    for (int c = 0; c < kStatusClasses; ++c) report_.classes_[c] += t.classes[c];
    appliance_.failed += t.classes[3] + t.classes[4];
    if (!timed_) report_.untimed_ += t.requests;
  }
  void statusCode(std::int64_t code, std::int64_t requests, std::int64_t bytes) override {
    report_.statusCodes_.add(code, requests, bytes);
  }
  void transactionCode(std::int64_t code, std::int64_t requests, std::int64_t bytes) override {
    report_.transactionCodes_.add(code, requests, bytes);
  }
  void value(RawDimension dimension, std::string_view text, std::int64_t requests,
             std::int64_t bytes) override {
    std::int64_t id = report_.ranking(dimension).add(text, requests, bytes);
    if (dimension == kRawClients) {
      clients_.push_back(id);
      if (id >= 0 && report_.applianceClients_.insert(group(applianceIndex_), number(id))) ++appliance_.clients;
    } else if (dimension == kRawUsers) {
      if (id >= 0 && report_.applianceUsers_.insert(group(applianceIndex_), number(id))) ++appliance_.users;
    }
  }
  void upcomingValue(RawDimension dimension, std::string_view text) override {
    report_.ranking(dimension).prefetch(text);
  }
  bool wants(RawDimension dimension) const override { return dimension != kRawUrls; }
  void hour(int hourOfDay, const RawTotals& t) override {
    hour_ = &report_.hourAt(day_ * 24 + hourOfDay);
    hour_->requests += t.requests;
    hour_->bytes += t.bytes;
    for (int c = 0; c < kStatusClasses; ++c) hour_->classes[c] += t.classes[c];
  }
  void hourClient(std::uint64_t client) override {
    std::int64_t id = clients_[client];
    if (id < 0) return;
    hour_->clients.insert(static_cast<std::uint64_t>(id));
    report_.dayClients_[day_].insert(static_cast<std::uint64_t>(id));
  }
  void hourTime(double time, std::int64_t lines) override { hour_->times.emplace_back(time, lines); }

 private:
  RawReport& report_;
  Appliance& appliance_;
  std::int64_t applianceIndex_;
  bool timed_;
  std::int64_t day_;
  std::vector<std::int64_t> clients_;  // the report's number of each client of the cell
  Hour* hour_ = nullptr;
};

/// Takes the URLs of a summary cell into the report, and nothing else.
class RawReport::UrlTaker : public RawCellVisitor {
 public:
  explicit UrlTaker(Ranking& urls) : urls_(urls) {}
  void totals(const RawTotals&) override {}
  void statusCode(std::int64_t, std::int64_t, std::int64_t) override {}
  void transactionCode(std::int64_t, std::int64_t, std::int64_t) override {}
  void value(RawDimension, std::string_view text, std::int64_t requests,
             std::int64_t bytes) override {
    urls_.add(text, requests, bytes);
  }
  void upcomingValue(RawDimension, std::string_view text) override { urls_.prefetch(text); }
  bool wants(RawDimension dimension) const override { return dimension == kRawUrls; }
  bool wantsHours() const override { return false; }
  void hour(int, const RawTotals&) override {}
  void hourClient(std::uint64_t) override {}
  void hourTime(double, std::int64_t) override {}

 private:
  Ranking& urls_;
};

bool RawReport::addCell(bool timed, std::int64_t day, std::string data) {
  CellTaker taker(*this, timed, day);
  lastHour_ = nullptr;
  lastDayClients_ = nullptr;
  // The whole cell is read (and checked) here first; only a sound cell is
  // handed over for its URLs.
  if (!readRawCell(data, &taker)) return false;
  if (!urlCounter_) {
    urlCounter_ = std::make_unique<SideCounter>([this](std::string_view cell) {
      UrlTaker urls(urls_);
      readRawCell(cell, &urls);
    });
  }
  urlCounter_->handOver(std::move(data));
  return true;
}

void RawReport::finishCells() {
  urlCounter_.reset();
}

bool RawReport::byDay() const {
  return !hours_.empty() && hours_.rbegin()->first - hours_.begin()->first >= kHourlyLimit;
}

void RawReport::addPanels(const ReportSettings& settings, Report* report) {
  finishCells();
  if (rows_ == 0) return;
  addOverview(settings, report);
  addTraffic(report);
  addRankings(settings, report);
  addStatus(settings, report);
  addResponseTimes(report);
  addCache(settings, report);
}

void RawReport::addOverview(const ReportSettings&, Report* report) {
  Panel panel;
  panel.id = "overview";
  panel.title = "Overview";
  panel.note = "Requests add up the lines each row stands for (refcount); bytes add up "
               "bytecount x refcount, rounded per row; failed requests have a status from 400 to 599.";
  Table table;
  table.id = "overview";
  table.caption = "The range in figures";
  table.columns = {column("figure", "Figure"), column("value", "Value")};
  std::string first = hours_.empty() ? "" : civilHour(hours_.begin()->first);
  std::string last = hours_.empty() ? "" : civilHour(hours_.rbegin()->first);
  const std::int64_t failed = classes_[3] + classes_[4];
  table.rows.push_back(figure("First hour", Cell::ofText(first)));
  table.rows.push_back(figure("Last hour", Cell::ofText(last)));
  table.rows.push_back(figure("Requests", Cell::ofInteger(requests_)));
  table.rows.push_back(figure("Bytes", Cell::ofInteger(bytes_)));
  table.rows.push_back(figure("Distinct clients", Cell::ofInteger(clients_.size())));
  table.rows.push_back(figure("Distinct users", Cell::ofInteger(users_.size())));
  table.rows.push_back(figure("Failed requests (4xx, 5xx)", Cell::ofInteger(failed)));
  table.rows.push_back(figure("Failed share", Cell::ofPercent(share(failed, requests_))));
  table.rows.push_back(figure("Client errors (4xx)", Cell::ofInteger(classes_[3])));
  table.rows.push_back(figure("Server errors (5xx)", Cell::ofInteger(classes_[4])));
  const Hour* busiest = nullptr;
  std::int64_t busiestHour = 0;
  for (const auto& [hours, hour] : hours_) {
    if (busiest == nullptr || hour.requests > busiest->requests) {
      busiest = &hour;
      busiestHour = hours;
    }
  }
  table.rows.push_back(figure("Busiest hour", Cell::ofText(busiest ? civilHour(busiestHour) : "")));
  table.rows.push_back(figure("Requests in the busiest hour",
                              busiest ? Cell::ofInteger(busiest->requests)
                                      : Cell::none(CellFormat::kInteger)));
  table.rows.push_back(figure("Rows read", Cell::ofInteger(rows_)));
  if (untimed_ > 0) table.rows.push_back(figure("Requests without a time", Cell::ofInteger(untimed_)));
  panel.tables.push_back(std::move(table));

  std::vector<const Appliance*> seen;
  for (const Appliance& a : appliances_) {
    if (a.rows > 0) seen.push_back(&a);
  }
  if (seen.size() > 1) {
    Table per;
    per.id = "appliances";
    per.caption = "Per appliance";
    per.columns = {column("appliance", "Appliance"), column("requests", "Requests"),
                   column("bytes", "Bytes"), column("clients", "Distinct clients"),
                   column("users", "Distinct users"), column("failed_share", "Failed share")};
    for (const Appliance* a : seen) {
      per.rows.push_back({Cell::ofText(a->name), Cell::ofInteger(a->requests),
                          Cell::ofInteger(a->bytes), Cell::ofInteger(a->clients),
                          Cell::ofInteger(a->users), Cell::ofPercent(share(a->failed, a->requests))});
    }
    panel.charts.push_back(barsOf(per, 1, "Requests per appliance"));
    panel.tables.push_back(std::move(per));
  }
  report->panels.push_back(std::move(panel));
}

void RawReport::addTraffic(Report* report) {
  if (hours_.empty()) return;
  Panel panel;
  panel.id = "traffic";
  panel.title = "Traffic over time";
  panel.note = "Hours as the rows were reduced; distinct clients are client addresses.";
  std::vector<std::string> labels;
  Chart requests = timeChart(Chart::Kind::kColumns, "Requests per hour", {});
  Chart bytes = timeChart(Chart::Kind::kColumns, "Bytes per hour", {});
  Chart clients = timeChart(Chart::Kind::kColumns, "Distinct clients per hour", {});
  requests.series = {{"Requests", {}}};
  bytes.series = {{"Bytes", {}}};
  clients.series = {{"Distinct clients", {}}};
  Table table;
  table.id = "hours";
  table.caption = "Per hour";
  table.columns = {column("hour", "Hour"), column("requests", "Requests"), column("bytes", "Bytes"),
                   column("clients", "Distinct clients")};
  std::map<std::int64_t, Tally> days;
  std::int64_t busiest = -1, most = -1;
  // Hours without rows are drawn as zero, so that the axis is time, unless
  // the data is sparse (a few hours far apart): then only its hours.
  const std::int64_t span = hours_.rbegin()->first - hours_.begin()->first + 1;
  const bool fill = span <= 2 * static_cast<std::int64_t>(hours_.size()) + 24;
  auto point = [&](std::int64_t h, const Hour& hour) {
    requests.labels.push_back(civilHour(h));
    requests.series[0].values.push_back(static_cast<double>(hour.requests));
    bytes.series[0].values.push_back(static_cast<double>(hour.bytes));
    clients.series[0].values.push_back(static_cast<double>(hour.clients.size()));
  };
  const Hour none;  // an hour without rows
  std::int64_t previous = hours_.begin()->first;
  for (const auto& [h, hour] : hours_) {
    for (std::int64_t gap = previous + 1; fill && gap < h; ++gap) point(gap, none);
    if (hour.requests > most) {
      most = hour.requests;
      busiest = static_cast<std::int64_t>(requests.labels.size());
    }
    point(h, hour);
    previous = h;
    table.rows.push_back({Cell::ofText(civilHour(h)), Cell::ofInteger(hour.requests),
                          Cell::ofInteger(hour.bytes),
                          Cell::ofInteger(static_cast<std::int64_t>(hour.clients.size()))});
    Tally& day = days[h >= 0 ? h / 24 : (h - 23) / 24];
    day.requests += hour.requests;
    day.bytes += hour.bytes;
  }
  requests.marked = static_cast<int>(busiest);
  requests.markedNote = "busiest hour";
  bytes.labels = clients.labels = requests.labels;
  table.folded = table.rows.size() > 48;
  if (days.size() > 1) {
    Chart perDay = timeChart(Chart::Kind::kColumns, "Requests per day", {});
    perDay.series = {{"Requests", {}}};
    Table dayTable;
    dayTable.id = "days";
    dayTable.caption = "Per day";
    dayTable.columns = {column("day", "Day"), column("requests", "Requests"),
                        column("bytes", "Bytes"), column("clients", "Distinct clients")};
    for (const auto& [day, tally] : days) {
      perDay.labels.push_back(civilDate(day));
      perDay.series[0].values.push_back(static_cast<double>(tally.requests));
      dayTable.rows.push_back({Cell::ofText(civilDate(day)), Cell::ofInteger(tally.requests),
                               Cell::ofInteger(tally.bytes), Cell::ofInteger(static_cast<std::int64_t>(dayClients_[day].size()))});
    }
    panel.charts.push_back(std::move(requests));
    panel.charts.push_back(std::move(perDay));
    panel.charts.push_back(std::move(bytes));
    panel.charts.push_back(std::move(clients));
    panel.tables.push_back(std::move(dayTable));
  } else {
    panel.charts.push_back(std::move(requests));
    panel.charts.push_back(std::move(bytes));
    panel.charts.push_back(std::move(clients));
  }
  panel.tables.push_back(std::move(table));
  report->panels.push_back(std::move(panel));
}

void RawReport::addRankings(const ReportSettings& settings, Report* report) {
  struct Dimension {
    const char* id;
    const char* title;
    const char* heading;
    const Ranking* ranking;
  };
  const Dimension dimensions[] = {
      {"sites", "Top sites", "Site", &sites_},
      {"urls", "Top URLs", "URL", &urls_},
      {"filetypes", "Top file types", "File type", &fileTypes_},
      {"contenttypes", "Top content types", "Content type", &contentTypes_},
      {"users", "Top users", "User", &users_},
      {"clients", "Top clients", "Client", &clients_},
      {"referrers", "Top referrers", "Referrer", &referrers_},
  };
  for (const Dimension& d : dimensions) {
    if (d.ranking->empty()) continue;
    Panel panel;
    panel.id = d.id;
    panel.title = d.title;
    panel.note = "Shares are of all requests and bytes; rows without a value are not ranked.";
    std::string id = d.id;
    panel.tables.push_back(rankingTable(id + "-by-requests", "By requests", d.heading, *d.ranking,
                                        d.ranking->top(settings.top, false), requests_, bytes_, true));
    panel.tables.push_back(rankingTable(id + "-by-bytes", "By bytes", d.heading, *d.ranking,
                                        d.ranking->top(settings.top, true), requests_, bytes_, true));
    panel.charts.push_back(barsOf(panel.tables[0], 1, "Requests"));
    report->panels.push_back(std::move(panel));
  }
  if (browsers_.empty() && systems_.empty()) return;
  Panel panel;
  panel.id = "software";
  panel.title = "Browsers and operating systems";
  panel.note = "As the parser named them from the user agent.";
  if (!browsers_.empty()) {
    panel.tables.push_back(rankingTable("browsers", "Browsers", "Browser", browsers_,
                                        browsers_.top(settings.top, false), requests_, bytes_, false));
    panel.charts.push_back(barsOf(panel.tables.back(), 1, "Requests per browser"));
  }
  if (!systems_.empty()) {
    panel.tables.push_back(rankingTable("systems", "Operating systems", "Operating system",
                                        systems_, systems_.top(settings.top, false), requests_,
                                        bytes_, false));
    panel.charts.push_back(barsOf(panel.tables.back(), 1, "Requests per operating system"));
  }
  report->panels.push_back(std::move(panel));
}

void RawReport::addStatus(const ReportSettings&, Report* report) {
  if (statusCodes_.empty()) return;
  const Ranking status = statusCodes_.ranking([](std::int64_t code) { return std::to_string(code); });
  std::vector<std::uint32_t> inOrder(status.size());
  for (std::uint32_t id = 0; id < status.size(); ++id) inOrder[id] = id;
  Panel panel;
  panel.id = "status";
  panel.title = "Status codes";
  panel.note = "Classes over time: 1xx to 5xx, and other for codes outside 100 to 599.";
  Table codes = rankingTable("status-codes", "Status codes", "Status", status, inOrder,
                             requests_, bytes_, true);
  const bool perDay = byDay();
  Chart chart = timeChart(Chart::Kind::kStacked,
                          perDay ? "Status classes per day" : "Status classes per hour", {});
  Table classes;
  classes.id = perDay ? "status-classes-days" : "status-classes-hours";
  classes.caption = perDay ? "Classes per day" : "Classes per hour";
  classes.columns = {column(perDay ? "day" : "hour", perDay ? "Day" : "Hour")};
  int used[6];
  int usedCount = 0;
  for (int c = 0; c < 6; ++c) {
    if (classes_[c] == 0) continue;
    used[usedCount++] = c;
    classes.columns.push_back(column(kClassNames[c], kClassNames[c]));
    chart.series.push_back({kClassNames[c], {}});
  }
  std::map<std::int64_t, std::vector<std::int64_t>> buckets;
  for (const auto& [hours, hour] : hours_) {
    std::int64_t key = perDay ? (hours >= 0 ? hours / 24 : (hours - 23) / 24) : hours;
    std::vector<std::int64_t>& bucket = buckets[key];
    bucket.resize(6);
    for (int c = 0; c < 6; ++c) bucket[c] += hour.classes[c];
  }
  for (const auto& [key, bucket] : buckets) {
    std::string label = perDay ? civilDate(key) : civilHour(key);
    chart.labels.push_back(label);
    std::vector<Cell> row = {Cell::ofText(label)};
    for (int k = 0; k < usedCount; ++k) {
      chart.series[k].values.push_back(static_cast<double>(bucket[used[k]]));
      row.push_back(Cell::ofInteger(bucket[used[k]]));
    }
    classes.rows.push_back(std::move(row));
  }
  classes.folded = classes.rows.size() > 48;
  panel.charts.push_back(std::move(chart));
  panel.tables.push_back(std::move(codes));
  panel.tables.push_back(std::move(classes));
  report->panels.push_back(std::move(panel));
}

void RawReport::addResponseTimes(Report* report) {
  std::vector<Weighted> all;
  for (const auto& [hours, hour] : hours_) all.insert(all.end(), hour.times.begin(), hour.times.end());
  if (all.empty()) return;
  Panel panel;
  panel.id = "response";
  panel.title = "Response times";
  panel.note = "Each row's average time stands for each of the lines it merged: the median "
               "and 95th percentile are the smallest times that at least 50 % and 95 % of "
               "those lines reach, in the unit the log wrote.";
  std::int64_t timed = 0;
  for (const Weighted& w : all) timed += w.second;
  Table overall;
  overall.id = "response-overall";
  overall.caption = "Whole range";
  overall.columns = {column("requests", "Requests with a time"), column("median", "Median"),
                     column("p95", "95th percentile")};
  double median = weightedPercentile(&all, 50);
  double p95 = weightedPercentile(&all, 95);
  overall.rows.push_back({Cell::ofInteger(timed), Cell::ofDecimal(median), Cell::ofDecimal(p95)});
  Chart chart = timeChart(Chart::Kind::kLines, "Median and 95th percentile per hour", {});
  chart.series = {{"Median", {}}, {"95th percentile", {}}};
  Table table;
  table.id = "response-hours";
  table.caption = "Per hour";
  table.columns = {column("hour", "Hour"), column("requests", "Requests with a time"),
                   column("median", "Median"), column("p95", "95th percentile")};
  for (auto& [hours, hour] : hours_) {
    if (hour.times.empty()) continue;
    std::int64_t count = 0;
    for (const Weighted& w : hour.times) count += w.second;
    double m = weightedPercentile(&hour.times, 50);
    double p = weightedPercentile(&hour.times, 95);
    chart.labels.push_back(civilHour(hours));
    chart.series[0].values.push_back(m);
    chart.series[1].values.push_back(p);
    table.rows.push_back({Cell::ofText(civilHour(hours)), Cell::ofInteger(count),
                          std::isnan(m) ? Cell::none(CellFormat::kDecimal) : Cell::ofDecimal(m),
                          std::isnan(p) ? Cell::none(CellFormat::kDecimal) : Cell::ofDecimal(p)});
  }
  table.folded = table.rows.size() > 48;
  panel.charts.push_back(std::move(chart));
  panel.tables.push_back(std::move(overall));
  panel.tables.push_back(std::move(table));
  report->panels.push_back(std::move(panel));
}

void RawReport::addCache(const ReportSettings& settings, Report* report) {
  const Ranking named =
      transactionCodes_.ranking([&](std::int64_t code) { return codeName(code, settings); });
  std::int64_t coded = 0, hits = 0;
  for (std::uint32_t id = 0; id < named.size(); ++id) {
    coded += named.tally(id).requests;
    if (named.name(id).find("HIT") != std::string_view::npos) hits += named.tally(id).requests;
  }
  if (named.empty() && hierarchy_.empty()) return;
  Panel panel;
  panel.id = "cache";
  panel.title = "Cache results";
  panel.note = "Transaction codes (named from the identifier file when given) and hierarchy "
               "codes; a hit is a transaction code whose name holds HIT.";
  if (!named.empty()) {
    Table summary;
    summary.id = "cache-summary";
    summary.caption = "Hits";
    summary.columns = {column("requests", "Requests with a transaction code"),
                       column("hits", "Hits"), column("hit_share", "Hit share")};
    summary.rows.push_back({Cell::ofInteger(coded), Cell::ofInteger(hits),
                            Cell::ofPercent(share(hits, coded))});
    panel.tables.push_back(std::move(summary));
    panel.tables.push_back(rankingTable("cache-transactions", "Transaction codes", "Code", named,
                                        named.top(settings.top, false), requests_, bytes_, true));
    panel.charts.push_back(barsOf(panel.tables.back(), 1, "Requests per transaction code"));
  }
  if (!hierarchy_.empty()) {
    panel.tables.push_back(rankingTable("cache-hierarchy", "Hierarchy codes", "Code", hierarchy_,
                                        hierarchy_.top(settings.top, false), requests_, bytes_, true));
    panel.charts.push_back(barsOf(panel.tables.back(), 1, "Requests per hierarchy code"));
  }
  report->panels.push_back(std::move(panel));
}
