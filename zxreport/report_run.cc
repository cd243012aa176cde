#include "zxreport/report_run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <thread>

#include "summary/civil_time.h"
#include "zxreport/batch_scan.h"
#include "zxreport/data_writer.h"
#include "zxreport/extra_report.h"
#include "zxreport/html_writer.h"
#include "zxreport/raw_report.h"
#include "zxreport/report_options.h"
#include "zxreport/summary_plan.h"
#include "zxreport/table_source.h"

namespace {

/// The kinds of table zxload fills, by name prefix.
enum class TableKind { kRaw, kBilling, kStreaming, kSmartFilter };

struct KindInfo {
  TableKind kind;
  const char* prefix;
};
constexpr KindInfo kKinds[] = {{TableKind::kRaw, "raw_"},
                               {TableKind::kBilling, "bill_"},
                               {TableKind::kStreaming, "str_"},
                               {TableKind::kSmartFilter, "smart_"}};

/// A table to read.
struct ChosenTable {
  TableKind kind;
  std::string name;
  std::string appliance;  ///< the name after the prefix, or the name itself
};

/// Prints "zxreport: " and `message` on standard error; returns `status`.
int fail(int status, const std::string& message) {
  std::fprintf(stderr, "zxreport: %s\n", message.c_str());
  return status;
}

bool startsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

/// A table name without its schema.
std::string baseName(const std::string& table) {
  std::size_t dot = table.find('.');
  return dot == std::string::npos ? table : table.substr(dot + 1);
}

/// The appliance part of a table name of `kind`.
std::string applianceOf(const std::string& table, TableKind kind) {
  std::string base = baseName(table);
  for (const KindInfo& info : kKinds) {
    if (info.kind == kind && startsWith(base, info.prefix)) return base.substr(std::strlen(info.prefix));
  }
  return base;
}

/// Picks the tables the options name (or every table of zxload's kinds);
/// 0 or an exit status with its message printed.
int chooseTables(const ReportOptions& options, const std::vector<std::string>& existing,
                 std::vector<ChosenTable>* chosen) {
  auto exists = [&](const std::string& name) {
    for (const std::string& table : existing) if (table == name) return true;
    return false;
  };
  const std::vector<std::string>* named[] = {&options.rawTables, &options.billTables,
                                             &options.streamTables, &options.smartTables};
  bool anyNamed = !options.appliances.empty();
  for (int k = 0; k < 4; ++k) {
    for (const std::string& table : *named[k]) {
      anyNamed = true;
      if (!exists(table)) return fail(kReportNoTables, "the database has no table " + table);
      chosen->push_back({kKinds[k].kind, table, applianceOf(table, kKinds[k].kind)});
    }
  }
  for (const std::string& appliance : options.appliances) {
    std::size_t before = chosen->size();
    for (const KindInfo& info : kKinds) {
      std::string table = info.prefix + appliance;
      if (exists(table)) chosen->push_back({info.kind, table, appliance});
    }
    if (chosen->size() == before) {
      return fail(kReportNoTables, "the database has no table of appliance '" + appliance +
                                       "' (raw_, bill_, str_ or smart_" + appliance + ")");
    }
  }
  if (!anyNamed) {
    for (const KindInfo& info : kKinds) {
      for (const std::string& table : existing) {
        if (startsWith(baseName(table), info.prefix)) {
          chosen->push_back({info.kind, table, applianceOf(table, info.kind)});
        }
      }
    }
    if (chosen->empty()) {
      return fail(kReportNoTables, "the database has no tables that zxload fills "
                                   "(raw_*, bill_*, str_*, smart_*)");
    }
  }
  return 0;
}

/// Local time of now, "YYYY-MM-DD HH:MM:SS".
std::string now() {
  std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
  return buffer;
}

/// The range as the page states it.
std::string rangeText(const ReportOptions& options) {
  if (options.fromText.empty() && options.toText.empty()) return "all data";
  if (options.toText.empty()) return "from " + options.fromText;
  if (options.fromText.empty()) return "up to " + options.toText + " (included)";
  return options.fromText + " to " + options.toText + " (both included)";
}

/// Writes `text` to `path` through a temporary file beside it, so that the
/// file is whole or not replaced.
bool writeFile(const std::string& path, const std::string& text, std::string* error) {
  std::string temporary = path + ".tmp" + std::to_string(getpid());
  std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
  if (out) out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  if (!out || std::rename(temporary.c_str(), path.c_str()) != 0) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

/// Shows progress on a terminal.
class Progress {
 public:
  explicit Progress(const std::string& table)
      : table_(table), shown_(isatty(STDERR_FILENO) != 0) {}
  void row() {
    if (shown_ && (++rows_ & 0xfffff) == 0) {
      std::fprintf(stderr, "\rzxreport: %s: %lld rows", table_.c_str(), rows_);
    }
  }
  ~Progress() {
    if (shown_ && rows_ > 0xfffff) std::fprintf(stderr, "\rzxreport: %s: %lld rows\n", table_.c_str(), rows_);
  }

 private:
  std::string table_;
  bool shown_;
  long long rows_ = 0;
};

/// Writes the HTML, JSON and CSV files asked for.
int writeOutputs(const ReportOptions& options, const Report& report) {
  std::string json = reportJson(report);
  std::string error;
  if (!writeFile(options.htmlPath, reportHtml(report, json), &error)) return fail(kReportOutput, error);
  if (!options.jsonPath.empty() && !writeFile(options.jsonPath, json, &error)) {
    return fail(kReportOutput, error);
  }
  if (!options.csvDir.empty()) {
    if (mkdir(options.csvDir.c_str(), 0777) != 0 && errno != EEXIST) {
      return fail(kReportOutput, "cannot make " + options.csvDir + ": " + std::strerror(errno));
    }
    for (const Panel& panel : report.panels) {
      for (const Table& table : panel.tables) {
        if (!writeFile(options.csvDir + "/" + table.id + ".csv", tableCsv(table), &error)) {
          return fail(kReportOutput, error);
        }
      }
    }
  }
  return kReportDone;
}

/// Counts, with `count`, the summary cells that answer the loads of
/// `table` (data set `dataSet`) over `range` (`count` may keep the data it
/// is given); `plan` tells which rows are still to be read.
bool countSummaries(TableSource& source, const ChosenTable& table, const char* dataSet,
                    const TimeRange& range,
                    const std::function<bool(const SummaryCell&, std::string&)>& count,
                    SummaryPlan* plan, std::string* error) {
  std::vector<std::int64_t> loads;
  bool withoutId = false;
  std::vector<StoredCell> stored;
  if (!source.tableLoads(table.name, &loads, &withoutId) ||
      !source.summaryCells(table.name, dataSet, &stored)) {
    *error = source.error();
    return false;
  }
  *plan = planSummaries(loads, withoutId, stored, range);
  std::string data;
  for (const std::vector<const StoredCell*>& parts : plan->cells) {
    data.clear();
    for (const StoredCell* part : parts) {
      if (!source.readCellData(part->key, &data)) {
        *error = source.error();
        return false;
      }
    }
    if (!count(parts[0]->cell, data)) {
      *error = "the summary of load " + std::to_string(parts[0]->load) + " of " + table.name +
               " is damaged; delete its rows of " + kSummaryTable +
               " and zxreport reads the load's rows instead";
      return false;
    }
  }
  return true;
}

/// Whether `present` (a table's columns) holds the time stamp.
bool hasTimes(const std::vector<std::string>& present) {
  for (const std::string& name : present) {
    if (name == "timestampid") return true;
  }
  return false;
}

/// Counts the summaries of the billing tables of `tables` into `billing`
/// through `source`, keeping each table's plan by name; tables a range
/// leaves out are passed over (the caller says so).
bool countBillingSummaries(TableSource& source, const std::vector<ChosenTable>& tables,
                           const TimeRange& range, BillingReport* billing,
                           std::map<std::string, SummaryPlan>* plans, std::string* error) {
  for (const ChosenTable& table : tables) {
    if (table.kind != TableKind::kBilling) continue;
    std::vector<std::string> present;
    if (!source.listColumns(table.name, &present)) {
      *error = source.error();
      return false;
    }
    const bool timed = hasTimes(present);
    if (!timed && !(range.from.empty() && range.to.empty())) continue;
    if (!countSummaries(source, table, "billing", timed ? range : TimeRange{},
                        [&](const SummaryCell&, std::string& data) {
                          return billing->addCell(data);
                        },
                        &(*plans)[table.name], error)) {
      return false;
    }
  }
  return true;
}

/// Days from 1970-01-01 of "YYYY-MM-DD"; false when it is none.
bool dayNumber(const std::string& day, std::int64_t* days) {
  std::int64_t hours = 0;
  if (day.size() != 10 || !hourOfTimestamp(day + " 00", &hours)) return false;
  *days = hours / 24;
  return true;
}

}  // namespace

bool readTransactionNames(const std::string& path, std::map<std::int64_t, std::string>* names,
                          std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read the identifier file " + path;
    return false;
  }
  std::string line;
  bool inSection = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (startsWith(line, "[START")) {
      inSection = startsWith(line, "[START TRANSACTION CODES]");
      continue;
    }
    std::size_t at = line.rfind('@');
    if (!inSection || at == std::string::npos || at == 0) continue;
    char* end = nullptr;
    long long number = std::strtoll(line.c_str() + at + 1, &end, 10);
    if (end != line.c_str() + at + 1 && *end == '\0') (*names)[number] = line.substr(0, at);
  }
  return true;
}

int runReport(int argc, char** argv) {
  ReportOptions options;
  std::string error;
  if (!readReportOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "zxreport: %s\n%s", error.c_str(), reportUsage());
    return kReportUsage;
  }
  if (options.help) {
    std::fputs(reportUsage(), stdout);
    return kReportDone;
  }
  ReportSettings settings;
  settings.top = static_cast<std::size_t>(options.top);
  if (!options.identifiersPath.empty() &&
      !readTransactionNames(options.identifiersPath, &settings.transactionNames, &error)) {
    return fail(kReportUsage, error);
  }
  std::unique_ptr<TableSource> source =
      options.postgres ? openPostgresSource(options.postgresConninfo, &error)
                       : openSqliteSource(options.sqlitePath, &error);
  if (!source) return fail(kReportDatabase, error);
  if (!source->beginRead()) return fail(kReportDatabase, source->error());
  std::vector<std::string> existing;
  if (!source->listTables(&existing)) return fail(kReportDatabase, source->error());
  std::vector<ChosenTable> tables;
  if (int status = chooseTables(options, existing, &tables)) return status;

  // One more connection per core reads a part of each table beside it.
  std::vector<std::unique_ptr<TableSource>> helpers;
  std::vector<TableSource*> sources = {source.get()};
  const unsigned cores = std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
  while (sources.size() < cores) {
    std::unique_ptr<TableSource> helper = source->another();
    if (!helper) break;
    sources.push_back(helper.get());
    helpers.push_back(std::move(helper));
  }
  const TimeRange range{options.from, options.to};
  RawReport raw;
  // Billing cells of many distinct users are the longest count: two
  // threads take a cell's users between them.
  BillingReport billing(options.measures, std::min(2u, cores));
  StreamingReport streaming;
  SmartFilterReport smart;
  // The summaries of the billing tables are counted on a helper connection
  // beside those of the raw tables; it is waited for before the first rows
  // are read (the scans use every connection) and before billing tables.
  std::map<std::string, SummaryPlan> billingPlans;
  std::string billingError;
  std::future<bool> billingCount;
  if (sources.size() > 1) {
    billingCount = std::async(std::launch::async, [&] {
      if (!countBillingSummaries(*sources[1], tables, range, &billing, &billingPlans,
                                 &billingError)) {
        return false;
      }
      billing.rank(settings.top);  // here rather than after the raw tables
      return true;
    });
  }
  auto billingCounted = [&] {
    return !billingCount.valid() || billingCount.get() || (error = billingError, false);
  };
  std::vector<std::string> names;
  for (const ChosenTable& table : tables) {
    std::vector<std::string> present;
    if (!source->listColumns(table.name, &present)) return fail(kReportDatabase, source->error());
    const bool timed = hasTimes(present);
    if (!timed && !(range.from.empty() && range.to.empty())) {
      std::fprintf(stderr, "zxreport: table %s has no column timestampid: left out of a report "
                           "over a range\n", table.name.c_str());
      continue;
    }
    std::vector<ScanColumn> columns;
    std::function<void(const ScanRow&)> take;
    // Raw and billing tables: loads that zxload summarised are counted from
    // their summaries where these answer the range, the rest from the rows.
    const TimeRange tableRange = timed ? range : TimeRange{};
    SummaryPlan plan;
    switch (table.kind) {
      case TableKind::kRaw:
        columns = raw.startTable(table.appliance, present);
        take = [&](const ScanRow& row) { raw.add(row); };
        if (!countSummaries(*source, table, "raw", tableRange,
                            [&](const SummaryCell& cell, std::string& data) {
                              std::int64_t day = 0;
                              bool dated = dayNumber(cell.day, &day);
                              return (dated || cell.day.empty()) &&
                                     raw.addCell(dated, day, std::move(data));
                            },
                            &plan, &error)) {
          return fail(kReportDatabase, error);
        }
        break;
      case TableKind::kBilling:
        columns = billing.startTable(present);
        take = [&](const ScanRow& row) { billing.add(row); };
        if (!billingCounted()) return fail(kReportDatabase, error);
        plan = billingPlans[table.name];
        break;
      case TableKind::kStreaming:
        columns = streaming.startTable(present);
        take = [&](const ScanRow& row) { streaming.add(row); };
        break;
      case TableKind::kSmartFilter:
        columns = smart.startTable(present);
        take = [&](const ScanRow& row) { smart.add(row); };
        break;
    }
    Progress progress(table.name);
    if (plan.readRows && !billingCounted()) return fail(kReportDatabase, error);
    if (plan.readRows &&
        !scanInBatches(sources, table.name, columns, tableRange, plan.rowFilter,
                       [&](const ScanRow& row) { take(row), progress.row(); }, &error)) {
      return fail(kReportDatabase, error);
    }
    names.push_back(table.name);
  }
  if (!billingCounted()) return fail(kReportDatabase, error);

  Report report;
  report.title = options.title;
  report.generatedAt = now();
  report.source = source->describe() + ", tables ";
  for (std::size_t k = 0; k < names.size(); ++k) report.source += (k ? ", " : "") + names[k];
  report.range = rangeText(options);
  const std::int64_t rows = raw.rows() + billing.rows() + streaming.rows() + smart.rows();
  if (rows == 0) report.emptyNote = "No rows in " + report.range + ".";
  raw.addPanels(settings, &report);
  billing.addPanel(settings, &report);
  streaming.addPanel(settings, &report);
  smart.addPanel(settings, &report);
  int status = writeOutputs(options, report);
  if (status != kReportDone) return status;
  if (rows == 0) {
    return fail(kReportEmptyRange, "no rows in " + report.range + "; " + options.htmlPath +
                                       " says so");
  }
  return kReportDone;
}
