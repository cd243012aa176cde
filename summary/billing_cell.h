#ifndef SUMMARY_BILLING_CELL_H_
#define SUMMARY_BILLING_CELL_H_

#include <cstdint>
#include <string_view>

#include "summary/cell_codec.h"
#include "summary/counting.h"

// The data of a billing cell (CellWriter forms, in this order):
//   count rows
//   users:      count n, n x text (user name, "" for no value, then the
//               unit separator 0x1F, then the client address)
//   intervals:  count n, n x (text interval as the table holds it, count
//               pairs, pairs x (count user number, count rows, 3 measures))
// A measure of a pair of one row is its value; of more rows its minimum,
// maximum and sum (number of thousandths, real rest: see ExactSum). A value is
// `count` 2 x its zig-zag folded thousandths when it has at most three
// decimals, else `count` 1 and the real.

/// The three measures of the rows of a user in an interval, combined
/// every way the report may combine them.
struct BillingFigures {
  std::int64_t rows = 0;
  double minimum[3] = {0, 0, 0};
  double maximum[3] = {0, 0, 0};
  ExactSum sum[3];

  /// Adds one row's measures.
  void add(const double (&values)[3]);
  /// Adds the figures of other rows.
  void merge(const BillingFigures& other);
};

/// Takes a billing cell's figures in the order they are stored.
class BillingCellVisitor {
 public:
  virtual ~BillingCellVisitor() = default;
  virtual void rows(std::int64_t rows) = 0;
  /// A user key; users are numbered in the order they come.
  virtual void user(std::string_view key) = 0;
  /// A user key that `user` will be given a few keys later.
  virtual void upcomingUser(std::string_view /*key*/) {}
  virtual void interval(std::string_view text) = 0;
  /// A user of the last interval.
  virtual void pair(std::uint64_t user, const BillingFigures& figures) = 0;
};

/// Writes a pair's figures.
void writeBillingFigures(const BillingFigures& figures, CellWriter* out);

/// Reads the data of a billing cell; false when it is not one.
bool readBillingCell(std::string_view data, BillingCellVisitor* visitor);

#endif  // SUMMARY_BILLING_CELL_H_
