#include "zxload/load_summary.h"

#include <gtest/gtest.h>

#include <charconv>
#include <map>

#include "summary/billing_cell.h"
#include "summary/raw_cell.h"

namespace {

/// A plan of the named columns, each of the given type.
LoadPlan planOf(const char* dataSet, std::vector<std::pair<const char*, ColumnType>> columns) {
  LoadPlan plan;
  plan.dataSet = dataSet;
  for (const auto& [name, type] : columns) plan.columns.push_back({name, type});
  return plan;
}

/// A row's values; "NULL" stands for a NULL value.
std::vector<RowValue> row(std::vector<std::string_view> texts) {
  std::vector<RowValue> values;
  for (std::string_view text : texts) values.push_back({text == "NULL" ? "" : text, text == "NULL"});
  return values;
}

/// What a raw cell holds, gathered.
struct RawSeen : RawCellVisitor {
  RawTotals all;
  std::map<std::string, std::int64_t> values;  // "dimension:value" -> requests
  std::vector<std::string> clientNames;
  std::map<int, std::vector<std::string>> hourClients;
  std::map<int, std::vector<std::pair<double, std::int64_t>>> hourTimes;
  std::map<std::int64_t, std::int64_t> status;
  int hourAt = -1;
  void totals(const RawTotals& t) override { all = t; }
  void statusCode(std::int64_t code, std::int64_t requests, std::int64_t) override { status[code] = requests; }
  void transactionCode(std::int64_t, std::int64_t, std::int64_t) override {}
  void value(RawDimension d, std::string_view text, std::int64_t requests, std::int64_t) override {
    values[std::to_string(d) + ":" + std::string(text)] = requests;
    if (d == kRawClients) clientNames.emplace_back(text);
  }
  void hour(int h, const RawTotals&) override { hourAt = h; }
  void hourClient(std::uint64_t client) override { hourClients[hourAt].push_back(clientNames[client]); }
  void hourTime(double time, std::int64_t lines) override { hourTimes[hourAt].emplace_back(time, lines); }
};

const LoadPlan kRaw = planOf("raw", {{"timestampid", ColumnType::kTimestamp},
                                     {"userip", ColumnType::kText},
                                     {"url", ColumnType::kText},
                                     {"status", ColumnType::kInteger},
                                     {"bytecount", ColumnType::kReal},
                                     {"responsetime", ColumnType::kReal},
                                     {"refcount", ColumnType::kInteger}});

TEST(LoadSummary, RawRowsCountedAsTheReportCountsThem) {
  LoadSummary summary(kRaw, StoredForm{});
  ASSERT_TRUE(summary.enabled());
  summary.add(row({"2026-12-07 10:00:00", "10.0.0.1", "/a", "200", "12.5", "100", "2"}));
  summary.add(row({"2026-12-07 10:00:00", "10.0.0.1", "/b", "404", "0.25", "100", "3"}));
  summary.add(row({"2026-12-07 10:00:00", "10.0.0.2", "-", "NULL", "NULL", "7", "-1"}));
  summary.add(row({"2026-12-07 11:00:00", "10.0.0.2", "/a", "503", "1", "NULL", "NULL"}));
  summary.add(row({"2026-12-08 00:00:00", "10.0.0.1", "/a", "200", "1", "5", "1"}));
  summary.add(row({"-", "10.0.0.3", "/c", "200", "1", "5", "1"}));  // SQLite keeps "-"
  std::vector<SummaryCell> cells = summary.cells();
  ASSERT_EQ(cells.size(), 3u);
  EXPECT_EQ(cells[0].day, "");  // rows without an hour first
  EXPECT_EQ(cells[0].firstTime, "-");
  EXPECT_EQ(cells[1].day, "2026-12-07");
  EXPECT_EQ(cells[1].firstTime, "2026-12-07 10:00:00");
  EXPECT_EQ(cells[1].lastTime, "2026-12-07 11:00:00");
  EXPECT_EQ(cells[1].rows, 4);
  EXPECT_EQ(cells[2].day, "2026-12-08");

  RawSeen seen;
  ASSERT_TRUE(readRawCell(cells[1].data, &seen));
  EXPECT_EQ(seen.all.rows, 4);
  EXPECT_EQ(seen.all.requests, 2 + 3 - 1 + 1);
  EXPECT_EQ(seen.all.bytes, 25 + 1 + 0 + 1);  // 12.5 x 2, 0.25 x 3 = 0.75 -> 1, none, 1
  EXPECT_EQ(seen.all.classes[1], 2);          // 200
  EXPECT_EQ(seen.all.classes[3], 3);          // 404
  EXPECT_EQ(seen.all.classes[4], 1);          // 503
  EXPECT_EQ(seen.all.classes[5], -1);         // no status
  EXPECT_EQ(seen.values.count("2:-"), 0u);    // no value, not ranked
  EXPECT_EQ(seen.values["1:/a"], 3);
  EXPECT_EQ(seen.values["5:10.0.0.1"], 5);
  EXPECT_EQ((seen.hourClients[10]), (std::vector<std::string>{"10.0.0.1", "10.0.0.2"}));
  // Equal times of weight 0 or more merge; a negative weight stays apart.
  EXPECT_EQ((seen.hourTimes[10]), (std::vector<std::pair<double, std::int64_t>>{{100, 5}, {7, -1}}));
  EXPECT_EQ(seen.hourTimes.count(11), 0u);
}

TEST(LoadSummary, CountedOnItsOwnThreadAsInline) {
  // Rows over many batches, some days and hours, values repeating; the
  // third summary is dropped halfway.
  LoadSummary inlined(kRaw, StoredForm{}, false), threaded(kRaw, StoredForm{}, true);
  auto dropped = std::make_unique<LoadSummary>(kRaw, StoredForm{}, true);
  char stamp[] = "2026-12-07 10:00:00";
  for (int r = 0; r < 20000; ++r) {
    stamp[9] = static_cast<char>('7' + r / 8000);
    stamp[11] = static_cast<char>('0' + r / 1000 % 3);
    std::string client = "10.0.0." + std::to_string(r % 97), url = "/" + std::to_string(r * 7 % 5003);
    std::string status = r % 11 ? "200" : "NULL", bytes = std::to_string(r % 13) + ".5";
    std::string time = std::to_string(r % 17);
    auto values = row({r % 501 ? stamp : "NULL", client, url, status, bytes, time, "1"});
    inlined.add(values);
    threaded.add(values);
    if (r < 10000) dropped->add(values);
  }
  dropped.reset();
  std::vector<SummaryCell> a = inlined.cells(), b = threaded.cells();
  ASSERT_EQ(a.size(), 4u);
  ASSERT_EQ(b.size(), a.size());
  for (std::size_t k = 0; k < a.size(); ++k) {
    EXPECT_EQ(b[k].day, a[k].day);
    EXPECT_EQ(b[k].rows, a[k].rows);
    EXPECT_EQ(b[k].nullTimes, a[k].nullTimes);
    EXPECT_EQ(b[k].lastTime, a[k].lastTime);
    EXPECT_TRUE(b[k].data == a[k].data) << k;
  }
}

TEST(LoadSummary, PostgresFormsOfTimesTextAndNulls) {
  LoadSummary summary(kRaw, StoredForm{true, false});
  summary.add(row({"2026-12-07 10:00:00.500", "caf\xe9", std::string_view("/a\0b", 4), "200", "1", "1", "1"}));
  summary.add(row({"2026-12-07 10:00:00.000", "x", "/a", "200", "1", "1", "1"}));
  summary.add(row({"NULL", "x", "/a", "200", "1", "1", "1"}));
  std::vector<SummaryCell> cells = summary.cells();
  ASSERT_EQ(cells.size(), 2u);
  EXPECT_EQ(cells[0].nullTimes, 1);
  EXPECT_FALSE(cells[0].hasTimes);
  EXPECT_EQ(cells[1].firstTime, "2026-12-07 10:00:00");
  EXPECT_EQ(cells[1].lastTime, "2026-12-07 10:00:00.5");
  RawSeen seen;
  ASSERT_TRUE(readRawCell(cells[1].data, &seen));
  EXPECT_EQ(seen.values.count("5:caf\xc3\xa9"), 1u);  // Latin-1 stand-in, as zxload sends it
  EXPECT_EQ(seen.values.count("1:/a"), 1u);
  EXPECT_EQ(seen.values.count("1:/a\xef\xbf\xbd" "b"), 1u);  // a NUL as U+FFFD
}

TEST(LoadSummary, NumbersReadBackAsTheDatabasesGiveThem) {
  const char* texts[] = {"0.1", "123.456", "999999999999.999", "1e3", "-0", "+5", "0.000000000000001234",
                         "12345678901234567890", "2.5e-3", "00000000000000000007.5"};
  for (const char* text : texts) {
    LoadSummary summary(kRaw, StoredForm{});
    summary.add(row({"2026-12-07 10:00:00", "c", "/", "200", "1", text, "1"}));
    RawSeen seen;
    ASSERT_TRUE(readRawCell(summary.cells()[1].data, &seen));
    double expected = 0;
    std::string_view t = text;
    if (t.front() == '+') t.remove_prefix(1);
    std::from_chars(t.data(), t.data() + t.size(), expected);
    EXPECT_EQ(seen.hourTimes[10].at(0).first, expected + 0.0) << text;
  }
}

TEST(LoadSummary, OffWhereColumnsWouldReadBackOtherwise) {
  EXPECT_FALSE(LoadSummary(planOf("raw", {{"status", ColumnType::kText}}), StoredForm{}).enabled());
  EXPECT_FALSE(LoadSummary(planOf("streaming", {{"url", ColumnType::kText}}), StoredForm{}).enabled());
  LoadSummary sqlite(kRaw, StoredForm{});
  sqlite.checkTable({{"status", "integer"}, {"url", "text"}, {"other", "blob"}});
  EXPECT_TRUE(sqlite.enabled());
  sqlite.checkTable({{"bytecount", "text"}});
  EXPECT_FALSE(sqlite.enabled());
  LoadSummary postgres(kRaw, StoredForm{true, false});
  postgres.checkTable({{"status", "numeric"}, {"timestampid", "timestamp without time zone"}});
  EXPECT_TRUE(postgres.enabled());
  postgres.checkTable({{"timestampid", "timestamp with time zone"}});
  EXPECT_FALSE(postgres.enabled());
}

TEST(LoadSummary, BillingPairsWithExactSums) {
  const LoadPlan plan = planOf("billing", {{"timestampid", ColumnType::kTimestamp},
                                           {"userip", ColumnType::kText},
                                           {"username", ColumnType::kText},
                                           {"billmeasure1", ColumnType::kReal},
                                           {"billmeasure2", ColumnType::kReal},
                                           {"billmeasure3", ColumnType::kReal}});
  LoadSummary summary(plan, StoredForm{});
  for (int k = 0; k < 10; ++k) summary.add(row({"2026-12-07 10:15:00", "10.0.0.1", "-", "0.1", "7", "1"}));
  summary.add(row({"2026-12-07 10:15:00", "10.0.0.1", "ann", "2", "NULL", "1"}));
  struct Seen : BillingCellVisitor {
    std::vector<std::string> users, intervals;
    std::vector<std::pair<std::string, BillingFigures>> pairs;
    std::int64_t rowCount = 0;
    void rows(std::int64_t n) override { rowCount = n; }
    void user(std::string_view key) override { users.emplace_back(key); }
    void interval(std::string_view text) override { intervals.emplace_back(text); }
    void pair(std::uint64_t user, const BillingFigures& f) override { pairs.emplace_back(users[user], f); }
  } seen;
  std::vector<SummaryCell> cells = summary.cells();
  ASSERT_EQ(cells.size(), 2u);
  ASSERT_TRUE(readBillingCell(cells[1].data, &seen));
  EXPECT_EQ(seen.rowCount, 11);
  EXPECT_EQ(seen.intervals, (std::vector<std::string>{"2026-12-07 10:15:00"}));
  ASSERT_EQ(seen.pairs.size(), 2u);
  EXPECT_EQ(seen.pairs[0].first, std::string("\x1f") + "10.0.0.1");  // "-" is no user name
  EXPECT_EQ(seen.pairs[0].second.rows, 10);
  EXPECT_EQ(seen.pairs[0].second.sum[0].value(), 1.0);  // ten times 0.1, exactly
  EXPECT_EQ(seen.pairs[0].second.maximum[1], 7);
  EXPECT_EQ(seen.pairs[1].first, std::string("ann\x1f") + "10.0.0.1");
  EXPECT_EQ(seen.pairs[1].second.minimum[1], 0);  // NULL counts as 0
}

}  // namespace
