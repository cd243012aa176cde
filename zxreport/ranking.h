#ifndef ZXREPORT_RANKING_H_
#define ZXREPORT_RANKING_H_

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "zxreport/report_model.h"
#include "zxreport/string_table.h"

/// Requests and bytes counted for one value.
struct Tally {
  std::int64_t requests = 0;
  std::int64_t bytes = 0;
};

/// `value` rounded to a whole number, halves away from zero (as SQLite's
/// round() does); values past 2^62 are clamped.
inline std::int64_t wholeNumber(double value) {
  constexpr double kLimit = 4611686018427387904.0;  // 2^62
  if (!(value < kLimit)) return value != value ? 0 : static_cast<std::int64_t>(kLimit);
  if (!(value > -kLimit)) return -static_cast<std::int64_t>(kLimit);
  return value >= 0 ? static_cast<std::int64_t>(value + 0.5) : -static_cast<std::int64_t>(-value + 0.5);
}

/// Whether a stored value stands for no value: empty or "-".
bool isNoValue(std::string_view value);

/// The values of one column with their tallies.
class Ranking {
 public:
  /// Adds to the tally of `value`; its number, or -1 (nothing added) when
  /// the value is none.
  std::int64_t add(std::string_view value, std::int64_t requests, std::int64_t bytes);
  /// The numbers of the `n` values with the most requests (or bytes); ties
  /// go to the smaller value, byte by byte.
  std::vector<std::uint32_t> top(std::size_t n, bool byBytes) const;
  /// Every number, in the order of the values' text.
  std::vector<std::uint32_t> all() const;
  std::string_view name(std::uint32_t id) const { return names_.at(id); }
  const Tally& tally(std::uint32_t id) const { return tallies_[id]; }
  std::uint32_t size() const { return names_.size(); }
  bool empty() const { return size() == 0; }

 private:
  StringTable names_;
  std::vector<Tally> tallies_;
  std::int64_t last_ = -1;  // the value added last
};

/// Tallies of whole-number codes (status, transaction codes): few
/// distinct values, looked up without text.
class CodeTally {
 public:
  void add(std::int64_t code, std::int64_t requests, std::int64_t bytes) {
    Tally& tally = codes_[code];
    tally.requests += requests;
    tally.bytes += bytes;
  }
  bool empty() const { return codes_.empty(); }
  /// The codes as a ranking of their decimal text, each named by `name`
  /// when it returns text.
  template <typename Name>
  Ranking ranking(Name name) const {
    Ranking out;
    for (const auto& [code, tally] : codes_) out.add(name(code), tally.requests, tally.bytes);
    return out;
  }

 private:
  std::map<std::int64_t, Tally> codes_;
};

/// A value and the number of lines it stands for.
using Weighted = std::pair<double, std::int64_t>;

/// The weighted nearest-rank percentile `percent` (1 to 100) of `values`,
/// which it reorders: the smallest value v for which the lines at or below v
/// are at least `percent` % of all lines. NaN when there are no lines.
double weightedPercentile(std::vector<Weighted>* values, int percent);

/// `part` as a percentage of `whole` (0 when `whole` is 0).
double share(std::int64_t part, std::int64_t whole);

/// A column of a table.
Column column(const char* key, const char* name);

/// A table of the top values of `ranking`: value, requests, share of
/// `totalRequests`, and with `withBytes` bytes and share of `totalBytes`.
Table rankingTable(const std::string& id, const std::string& caption, const char* heading,
                   const Ranking& ranking, const std::vector<std::uint32_t>& ids,
                   std::int64_t totalRequests, std::int64_t totalBytes, bool withBytes);

/// Horizontal bars of column `valueColumn` of `table` (first column as names).
Chart barsOf(const Table& table, std::size_t valueColumn, const std::string& caption);

#endif  // ZXREPORT_RANKING_H_
