#include "zxreport/ranking.h"

#include <algorithm>
#include <cmath>

bool isNoValue(std::string_view value) { return value.empty() || value == "-"; }

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

double weightedPercentile(std::vector<Weighted>* values, int percent) {
  std::int64_t total = 0;
  for (const Weighted& value : *values) total += value.second;
  if (total <= 0) return std::nan("");
  // The first value, in sorted order, at which the lines so far reach
  // `needed`: found by selection, without sorting everything.
  const std::int64_t needed = (static_cast<std::int64_t>(percent) * total + 99) / 100;
  auto lo = values->begin(), hi = values->end();
  std::int64_t below = 0;
  while (hi - lo > 16) {
    auto mid = lo + (hi - lo) / 2;
    std::nth_element(lo, mid, hi);
    std::int64_t left = 0;
    for (auto it = lo; it != mid; ++it) left += it->second;
    if (below + left >= needed) {
      hi = mid;
    } else if (below + left + mid->second >= needed) {
      return mid->first;
    } else {
      below += left + mid->second;
      lo = mid + 1;
    }
  }
  std::sort(lo, hi);
  for (auto it = lo; it != hi; ++it) {
    below += it->second;
    if (below >= needed) return it->first;
  }
  return (hi - 1)->first;
}

double share(std::int64_t part, std::int64_t whole) {
  return whole == 0 ? 0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole);
}

Column column(const char* key, const char* name) { return Column{name, key}; }

Table rankingTable(const std::string& id, const std::string& caption, const char* heading,
                   const Ranking& ranking, const std::vector<std::uint32_t>& ids,
                   std::int64_t totalRequests, std::int64_t totalBytes, bool withBytes) {
  Table table;
  table.id = id;
  table.caption = caption;
  table.columns = {column("value", heading), column("requests", "Requests"),
                   column("requests_share", "% of requests")};
  if (withBytes) {
    table.columns.push_back(column("bytes", "Bytes"));
    table.columns.push_back(column("bytes_share", "% of bytes"));
  }
  for (std::uint32_t value : ids) {
    const Tally& tally = ranking.tally(value);
    std::vector<Cell> row = {Cell::ofText(std::string(ranking.name(value))),
                             Cell::ofInteger(tally.requests),
                             Cell::ofPercent(share(tally.requests, totalRequests))};
    if (withBytes) {
      row.push_back(Cell::ofInteger(tally.bytes));
      row.push_back(Cell::ofPercent(share(tally.bytes, totalBytes)));
    }
    table.rows.push_back(std::move(row));
  }
  return table;
}

Chart barsOf(const Table& table, std::size_t valueColumn, const std::string& caption) {
  Chart chart;
  chart.kind = Chart::Kind::kBars;
  chart.caption = caption;
  Chart::Series series{table.columns[valueColumn].name, {}};
  for (const std::vector<Cell>& row : table.rows) {
    chart.labels.push_back(row[0].text);
    const Cell& cell = row[valueColumn];
    series.values.push_back(cell.format == CellFormat::kInteger ? static_cast<double>(cell.integer)
                                                                : cell.real);
  }
  chart.series.push_back(std::move(series));
  return chart;
}
