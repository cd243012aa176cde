#ifndef ZXREPORT_EXTRA_REPORT_H_
#define ZXREPORT_EXTRA_REPORT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "zxreport/raw_report.h"
#include "zxreport/report_options.h"
#include "zxreport/string_table.h"

/// The billing tables: per user (name and client address) and interval,
/// the three measures combined over the user's rows by each measure's
/// operation (sum, minimum, maximum; an average measure as the mean of the
/// rows' averages).
class BillingReport {
 public:
  explicit BillingReport(const MeasureSpec (&measures)[3]);
  std::vector<ScanColumn> startTable(const std::vector<std::string>& present);
  void add(const ScanRow& row);
  std::int64_t rows() const { return rows_; }
  void addPanel(const ReportSettings& settings, Report* report) const;

 private:
  struct Combined {
    double value[3] = {0, 0, 0};
    std::int64_t rows = 0;
  };
  void combine(Combined* into, const double (&values)[3]) const;
  double result(const Combined& combined, int k) const;

  MeasureSpec measures_[3];
  ColumnSlots slots_;
  StringTable users_, intervals_;
  std::vector<Combined> perUser_;
  std::vector<std::int64_t> userIntervals_;
  NumberIndex pairIndex_;           // (interval, user) -> index into pairs_
  std::vector<Combined> pairs_;
  std::string key_;                 // the user key of the row at hand
  std::int64_t rows_ = 0;
};

/// The streaming tables: players, play time and bandwidth.
class StreamingReport {
 public:
  std::vector<ScanColumn> startTable(const std::vector<std::string>& present);
  void add(const ScanRow& row);
  std::int64_t rows() const { return rows_; }
  void addPanel(const ReportSettings& settings, Report* report) const;

 private:
  struct Figures {
    std::int64_t sessions = 0, bytes = 0, rated = 0;
    double playTime = 0, bandwidth = 0;  // bandwidth: sum of rate x sessions
  };
  ColumnSlots slots_;
  StringTable players_, streams_;
  std::vector<Figures> perPlayer_, perStream_;
  Figures total_;
  std::int64_t rows_ = 0;
};

/// The SmartFilter tables: categories and results.
class SmartFilterReport {
 public:
  std::vector<ScanColumn> startTable(const std::vector<std::string>& present);
  void add(const ScanRow& row);
  std::int64_t rows() const { return rows_; }
  void addPanel(const ReportSettings& settings, Report* report) const;

 private:
  ColumnSlots slots_;
  Ranking categories_;
  CodeTally results_;
  std::int64_t requests_ = 0, rows_ = 0;
};

#endif  // ZXREPORT_EXTRA_REPORT_H_
