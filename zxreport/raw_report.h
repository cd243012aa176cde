#ifndef ZXREPORT_RAW_REPORT_H_
#define ZXREPORT_RAW_REPORT_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "summary/raw_cell.h"
#include "zxreport/ranking.h"
#include "zxreport/report_model.h"
#include "zxreport/side_counter.h"
#include "zxreport/table_source.h"

/// What every part of the report is built with.
struct ReportSettings {
  std::size_t top = 10;
  std::map<std::int64_t, std::string> transactionNames;  ///< code -> name
};

/// A transaction code as shown: its name and number ("TCP_HIT (1)"), or
/// the number alone when the identifier file does not name it.
std::string codeName(std::int64_t code, const ReportSettings& settings);

/// The panels of the raw tables. A row stands for `refcount` log lines (one
/// when the column is NULL or absent) whose numeric columns hold averages:
/// requests add up the counts, bytes add up bytecount x refcount rounded
/// per row (half away from zero), response-time percentiles weigh each
/// row's average by its count.
class RawReport {
 public:
  RawReport();
  /// The columns to read from a table that has `present`; call before its
  /// rows, with the appliance it belongs to.
  std::vector<ScanColumn> startTable(const std::string& appliance,
                                      const std::vector<std::string>& present);
  /// Counts one row of the table started last.
  void add(const ScanRow& row);
  /// Counts a summary cell of the table started last (summary/raw_cell.h):
  /// rows of the day `day` (days from 1970-01-01), or with `timed` false
  /// rows without an hour. False when its data is damaged. Its URLs are
  /// counted on a thread of their own while the next cell is read.
  bool addCell(bool timed, std::int64_t day, std::string data);
  /// Rows counted so far.
  std::int64_t rows() const { return rows_; }
  /// Appends the panels (those whose columns hold something).
  void addPanels(const ReportSettings& settings, Report* report);

 private:
  /// Figures of one hour.
  struct Hour {
    std::int64_t requests = 0, bytes = 0;
    NumberSet clients;  // of the hour: small, so it stays in the cache
    std::int64_t classes[6] = {0, 0, 0, 0, 0, 0};  // 1xx..5xx, other
    std::vector<Weighted> times;
  };
  /// Figures of one appliance.
  struct Appliance {
    std::string name;
    std::int64_t rows = 0, requests = 0, bytes = 0, failed = 0, clients = 0, users = 0;
  };

  class CellTaker;
  class UrlTaker;

  /// Waits until the URLs of every cell are counted.
  void finishCells();

  /// The hour `hours`, made when new.
  Hour& hourAt(std::int64_t hours);
  /// The ranking of a dimension of summary cells.
  Ranking& ranking(RawDimension dimension);
  void addOverview(const ReportSettings& settings, Report* report);
  void addTraffic(Report* report);
  void addRankings(const ReportSettings& settings, Report* report);
  void addStatus(const ReportSettings& settings, Report* report);
  void addResponseTimes(Report* report);
  void addCache(const ReportSettings& settings, Report* report);
  /// Buckets of the time series: hours, or days when the range is long.
  bool byDay() const;

  ColumnSlots slots_;
  std::vector<Appliance> appliances_;
  std::map<std::int64_t, Hour> hours_;
  std::map<std::int64_t, NumberSet> dayClients_;
  Hour* lastHour_ = nullptr;
  std::int64_t lastHourNumber_ = 0;
  std::int64_t lastClient_ = -1, lastClientHour_ = 0;
  std::string lastStamp_;  // the first 13 characters of the last time stamp read
  std::int64_t lastStampHours_ = 0;
  GroupMembers applianceClients_, applianceUsers_;
  NumberSet* lastDayClients_ = nullptr;
  std::int64_t lastDay_ = 0;
  std::int64_t rows_ = 0, requests_ = 0, bytes_ = 0, untimed_ = 0;
  std::int64_t classes_[6] = {0, 0, 0, 0, 0, 0};
  CodeTally statusCodes_, transactionCodes_;
  Ranking sites_, urls_, fileTypes_, contentTypes_, users_, clients_, referrers_, browsers_,
      systems_, hierarchy_;
  std::unique_ptr<SideCounter> urlCounter_;  // last: it ends before what it counts into
};

#endif  // ZXREPORT_RAW_REPORT_H_
