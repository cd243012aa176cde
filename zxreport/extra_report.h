#ifndef ZXREPORT_EXTRA_REPORT_H_
#define ZXREPORT_EXTRA_REPORT_H_

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "summary/billing_cell.h"
#include "zxreport/raw_report.h"
#include "zxreport/report_options.h"
#include "summary/string_table.h"

/// The billing tables: per user (name and client address) and interval,
/// the three measures combined over the user's rows by each measure's
/// operation (sum, minimum, maximum; an average measure as the mean of the
/// rows' averages).
class BillingReport {
 public:
  explicit BillingReport(const MeasureSpec (&measures)[3]);
  std::vector<ScanColumn> startTable(const std::vector<std::string>& present);
  void add(const ScanRow& row);
  /// Counts a summary cell (summary/billing_cell.h); false when its data
  /// is damaged.
  bool addCell(std::string_view data);
  std::int64_t rows() const { return rows_; }
  /// Ranks the top `top` users and pairs of what is counted so far, ahead
  /// of `addPanel` (on the thread that counted them); anything counted
  /// later makes `addPanel` rank again.
  void rank(std::size_t top);
  void addPanel(const ReportSettings& settings, Report* report) const;

 private:
  /// Measures combined by each measure's operation: the minimum or
  /// maximum in `value`, or a sum (of values or of averages) as exact
  /// thousandths and the rest in `value` (see ExactSum).
  struct Combined {
    double value[3] = {0, 0, 0};
    std::int64_t thousandths[3] = {0, 0, 0};
    std::int64_t rows = 0;
  };
  class CellTaker;

  /// Combines one row's measures (`sums`: each as a sum of its own).
  void combine(Combined* into, const double (&values)[3], const ExactSum (&sums)[3]) const;
  /// Combines the figures of other rows into `into`.
  void merge(Combined* into, const BillingFigures& figures) const;
  /// Measure `k` of `combined` as a sum.
  static ExactSum sumOf(const Combined& combined, int k) {
    return ExactSum::of(combined.thousandths[k], combined.value[k]);
  }
  static void setSum(Combined* combined, int k, const ExactSum& sum) {
    combined->thousandths[k] = sum.thousandths();
    combined->value[k] = sum.other();
  }
  /// Counts the rows of user `user` in interval `interval` (numbers of
  /// users_ and intervals_).
  Combined& pairOf(std::uint32_t interval, std::uint32_t user);
  /// A new pair, counted among its user's intervals (with `inRun` in the
  /// run of its interval's first cell, else among its other pairs, and
  /// indexed when the interval is); its number.
  std::uint32_t newPair(std::uint32_t interval, std::uint32_t user, bool inRun);
  /// Marks the pairs of `interval` by user, for a cell that adds to them.
  void markInterval(std::uint32_t interval);
  /// Indexes the pairs of `interval` when they are not yet.
  void indexInterval(std::uint32_t interval);
  double result(const Combined& combined, int k) const;

  MeasureSpec measures_[3];
  ColumnSlots slots_;
  StringTable users_, intervals_;
  std::deque<Combined> perUser_;  // grown without moving: no copy, no page touched twice
  std::vector<std::int64_t> userIntervals_;
  // Pairs (interval, user) in the order made. A summary cell appends the
  // pairs of an interval new to the report in one run, without looking
  // them up; an interval's pairs are indexed when its rows come from a
  // second place (another cell, or rows).
  struct IntervalPairs {
    std::uint32_t begin = 0, end = 0;  // its pairs made by the cell that brought it
    std::vector<std::uint32_t> more;   // its other pairs
    bool indexed = false;
  };
  /// The pair a user has in the interval a cell is at.
  struct Mark {
    std::uint64_t interval = 0;  // the marking it belongs to (0: none)
    std::uint32_t pair = 0;
  };
  std::vector<std::uint64_t> pairKeys_;  // interval << 32 | user
  std::deque<Combined> pairs_;
  std::vector<IntervalPairs> intervalPairs_;  // by interval number
  NumberIndex pairIndex_;                     // keys of the indexed intervals' pairs
  std::vector<std::uint32_t> indexedPair_;    // pairIndex_ number -> pair number
  std::vector<Mark> marks_;                   // by user number
  std::uint64_t marking_ = 0;
  std::string key_;                 // the user key of the row at hand
  std::int64_t rows_ = 0;
  /// The top users and pairs as `rank` found them, for `rankedTop_` and
  /// while `changes_` is still `rankedChanges_`.
  std::vector<std::uint32_t> topUsers_, topPairs_;
  std::size_t rankedTop_ = 0;
  std::uint64_t changes_ = 0, rankedChanges_ = ~0ULL;

  std::vector<std::uint32_t> topUsers(std::size_t top) const;
  std::vector<std::uint32_t> topPairs(std::size_t top) const;
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
