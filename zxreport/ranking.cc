#include "zxreport/ranking.h"

#include <algorithm>
#include <cmath>

double weightedPercentile(std::vector<Weighted>* values, int percent) {
  std::int64_t total = 0;
  bool negative = false;
  for (const Weighted& value : *values) {
    total += value.second;
    negative = negative || value.second < 0;
  }
  if (total <= 0) return std::nan("");
  // The first value, in sorted order, at which the lines so far reach
  // `needed`: found by selection, without sorting everything, while no
  // weight is negative (then the lines so far only grow; a negative
  // weight, which only a damaged refcount gives, takes a full sort).
  const std::int64_t needed = (static_cast<std::int64_t>(percent) * total + 99) / 100;
  auto lo = values->begin(), hi = values->end();
  std::int64_t below = 0;
  while (!negative && hi - lo > 16) {
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
