#ifndef SUMMARY_TALLY_H_
#define SUMMARY_TALLY_H_

#include <cstdint>
#include <map>
#include <string_view>
#include <vector>

#include "summary/counting.h"
#include "summary/string_table.h"

/// Requests and bytes counted for one value.
struct Tally {
  std::int64_t requests = 0;
  std::int64_t bytes = 0;
};

/// The values of one column with their tallies.
class Ranking {
 public:
  /// Adds to the tally of `value`; its number, or -1 (nothing added) when
  /// the value is none.
  std::int64_t add(std::string_view value, std::int64_t requests, std::int64_t bytes);
  /// Starts fetching what adding `value` will look at, when the values are
  /// too many to stay in the cache.
  void prefetch(std::string_view value) const {
    if (names_.outgrowsCache()) names_.prefetch(value);
  }
  /// The numbers of the `n` values with the most requests (or bytes); ties
  /// go to the smaller value, byte by byte.
  std::vector<std::uint32_t> top(std::size_t n, bool byBytes) const;
  /// Every number, in the order of the values' text.
  std::vector<std::uint32_t> all() const;
  std::string_view name(std::uint32_t id) const { return names_.at(id); }
  const Tally& tally(std::uint32_t id) const { return tallies_[id]; }
  std::uint32_t size() const { return names_.size(); }
  /// The bytes of every value's text together.
  std::size_t textBytes() const { return names_.bytes(); }
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
  /// The codes and their tallies, in the order of the codes.
  const std::map<std::int64_t, Tally>& codes() const { return codes_; }
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

#endif  // SUMMARY_TALLY_H_
