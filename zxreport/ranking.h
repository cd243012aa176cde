#ifndef ZXREPORT_RANKING_H_
#define ZXREPORT_RANKING_H_

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "zxreport/report_model.h"
#include "summary/tally.h"

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
