#ifndef ZXREPORT_EXTRA_REPORT_H_
#define ZXREPORT_EXTRA_REPORT_H_

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "summary/billing_cell.h"
#include "zxreport/raw_report.h"
#include "zxreport/report_options.h"
#include "summary/string_table.h"

/// A user or a pair (user, interval) of the billing tables as ranked.
struct BillingEntry {
  std::string_view interval;   ///< pairs only
  std::string_view user;       ///< name, unit separator, client address
  std::int64_t intervals = 0;  ///< users only: how many intervals they have
  double measures[3] = {0, 0, 0};
};

/// One share of the billing tables: the users whose key hashes to it (see
/// `BillingReport`), per user and per user and interval, the three
/// measures combined over the user's rows by each measure's operation
/// (sum, minimum, maximum; an average measure as the mean of the rows'
/// averages).
class BillingShare {
 public:
  BillingShare(const MeasureSpec (&measures)[3], unsigned share, unsigned shares);
  /// The share a user key of hash `hash` (hashText) belongs to.
  static unsigned shareOf(std::uint64_t hash, unsigned shares) {
    return static_cast<unsigned>(((hash >> 32) * shares) >> 32);
  }
  /// Counts one row of user `key` (of this share; `hash` its hashText).
  void add(std::string_view key, std::uint64_t hash, std::string_view interval,
           const double (&values)[3]);
  /// Counts this share's users of a summary cell (summary/billing_cell.h);
  /// false when its data is damaged.
  bool addCell(std::string_view data);
  std::int64_t rows() const { return rows_; }
  /// Ranks the top `top` users and pairs of what is counted so far, ahead
  /// of `topUsers` and `topPairs` (on the thread that counted them);
  /// anything counted later makes them rank again.
  void rank(std::size_t top);
  /// The first `top` users: by the first measure, then by key.
  std::vector<BillingEntry> topUsers(std::size_t top) const;
  /// The first `top` pairs: by the first measure, interval, user key.
  std::vector<BillingEntry> topPairs(std::size_t top) const;

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
  std::vector<std::uint32_t> rankUsers(std::size_t top) const;
  std::vector<std::uint32_t> rankPairs(std::size_t top) const;

  MeasureSpec measures_[3];
  unsigned share_, shares_;
  StringTable users_, intervals_;
  std::deque<Combined> perUser_;  // grown without moving: no copy, no page touched twice
  std::vector<std::int64_t> userIntervals_;
  // Pairs (interval, user) in the order made. A summary cell appends the
  // pairs of an interval new to the share in one run, without looking
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
  std::int64_t rows_ = 0;
  /// The top users and pairs as `rank` found them, for `rankedTop_` and
  /// while `changes_` is still `rankedChanges_`.
  std::vector<std::uint32_t> topUsers_, topPairs_;
  std::size_t rankedTop_ = 0;
  std::uint64_t changes_ = 0, rankedChanges_ = ~0ULL;
};

/// The billing tables, counted in shares by user: a summary cell's users
/// are split between the shares, each taking its own on a thread of its
/// own, and the shares' top users and pairs are ranked together.
class BillingReport {
 public:
  /// `shares`: how many threads take a cell's users (at least one).
  BillingReport(const MeasureSpec (&measures)[3], unsigned shares);
  std::vector<ScanColumn> startTable(const std::vector<std::string>& present);
  void add(const ScanRow& row);
  /// Counts a summary cell (summary/billing_cell.h); false when its data
  /// is damaged.
  bool addCell(std::string_view data);
  std::int64_t rows() const;
  /// Ranks each share's top `top` users and pairs of what is counted so
  /// far (see BillingShare::rank), each share on a thread of its own.
  void rank(std::size_t top);
  void addPanel(const ReportSettings& settings, Report* report) const;

 private:
  /// Runs `work` on every share, beside one another when `together`;
  /// whether each returned true.
  bool onEveryShare(bool together, const std::function<bool(BillingShare&)>& work);

  MeasureSpec measures_[3];
  std::vector<std::unique_ptr<BillingShare>> shares_;
  ColumnSlots slots_;
  std::string key_;  // the user key of the row at hand
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
