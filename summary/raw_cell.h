#ifndef SUMMARY_RAW_CELL_H_
#define SUMMARY_RAW_CELL_H_

#include <cstdint>
#include <string_view>

#include "summary/counting.h"

// The data of a raw cell (CellWriter forms, in this order):
//   totals:        count rows, number requests, number bytes, number classes x 6
//   status codes:  count n, n x (number code, number requests, number bytes)
//   transactions:  the same for transaction codes
//   values:        for each RawDimension in order: count n,
//                  n x (text value, number requests, number bytes)
//   hours:         count n, n x (count hour of the day, number requests,
//                  number bytes, number classes x 6, count clients,
//                  clients x count (index among the cell's client values),
//                  count times, times x (real time, number lines))
// A row counts `refcount` lines (1 when NULL), its bytes are bytecount x
// refcount rounded, its class comes from its status; values "" and "-"
// are left out; an hour's times hold each distinct response time with the
// lines of the rows that have it and a weight of 0 or more, and every row
// with a negative weight on its own.

/// The text columns of a raw table that the report ranks, in cell order.
enum RawDimension {
  kRawSites, kRawUrls, kRawFileTypes, kRawContentTypes, kRawUsers, kRawClients, kRawReferrers,
  kRawBrowsers, kRawSystems, kRawHierarchy, kRawDimensions
};

/// Figures of a group of rows.
struct RawTotals {
  std::int64_t rows = 0, requests = 0, bytes = 0;
  std::int64_t classes[kStatusClasses] = {0, 0, 0, 0, 0, 0};
};

/// Takes a raw cell's figures in the order they are stored.
class RawCellVisitor {
 public:
  virtual ~RawCellVisitor() = default;
  virtual void totals(const RawTotals& totals) = 0;
  virtual void statusCode(std::int64_t code, std::int64_t requests, std::int64_t bytes) = 0;
  virtual void transactionCode(std::int64_t code, std::int64_t requests, std::int64_t bytes) = 0;
  virtual void value(RawDimension dimension, std::string_view text, std::int64_t requests,
                     std::int64_t bytes) = 0;
  /// A value that `value` will be given a few values later.
  virtual void upcomingValue(RawDimension /*dimension*/, std::string_view /*text*/) {}
  /// Whether `value` takes the values of `dimension` (others are passed
  /// over unread).
  virtual bool wants(RawDimension /*dimension*/) const { return true; }
  /// Whether the hours are read; when not, reading ends after the values
  /// without checking the rest of the cell.
  virtual bool wantsHours() const { return true; }
  /// An hour (`totals.rows` is not kept: 0).
  virtual void hour(int hourOfDay, const RawTotals& totals) = 0;
  /// A client of the last hour: the number of its value among the cell's
  /// clients, in the order they came.
  virtual void hourClient(std::uint64_t client) = 0;
  /// A response time of the last hour and the lines it stands for.
  virtual void hourTime(double time, std::int64_t lines) = 0;
};

/// Reads the data of a raw cell; false when it is not one (short, too
/// long, an hour past 23, a client number past the clients).
bool readRawCell(std::string_view data, RawCellVisitor* visitor);

#endif  // SUMMARY_RAW_CELL_H_
