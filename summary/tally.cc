#include "summary/tally.h"

#include <algorithm>

std::int64_t Ranking::add(std::string_view value, std::int64_t requests, std::int64_t bytes) {
  if (isNoValue(value)) return -1;
  // Rows come sorted by their keys, so a value often repeats the last one.
  std::uint32_t id;
  if (last_ >= 0 && names_.at(static_cast<std::uint32_t>(last_)) == value) {
    id = static_cast<std::uint32_t>(last_);
  } else {
    id = names_.intern(value);
    last_ = id;
  }
  if (id == tallies_.size()) tallies_.emplace_back();
  tallies_[id].requests += requests;
  tallies_[id].bytes += bytes;
  return id;
}

std::vector<std::uint32_t> Ranking::top(std::size_t n, bool byBytes) const {
  std::vector<std::uint32_t> ids(size());
  for (std::uint32_t id = 0; id < size(); ++id) ids[id] = id;
  auto before = [&](std::uint32_t a, std::uint32_t b) {
    std::int64_t x = byBytes ? tallies_[a].bytes : tallies_[a].requests;
    std::int64_t y = byBytes ? tallies_[b].bytes : tallies_[b].requests;
    return x != y ? x > y : names_.at(a) < names_.at(b);
  };
  n = std::min(n, ids.size());
  std::partial_sort(ids.begin(), ids.begin() + static_cast<std::ptrdiff_t>(n), ids.end(), before);
  ids.resize(n);
  return ids;
}

std::vector<std::uint32_t> Ranking::all() const {
  std::vector<std::uint32_t> ids(size());
  for (std::uint32_t id = 0; id < size(); ++id) ids[id] = id;
  std::sort(ids.begin(), ids.end(),
            [&](std::uint32_t a, std::uint32_t b) { return names_.at(a) < names_.at(b); });
  return ids;
}
