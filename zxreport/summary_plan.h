#ifndef ZXREPORT_SUMMARY_PLAN_H_
#define ZXREPORT_SUMMARY_PLAN_H_

#include <cstdint>
#include <string>
#include <vector>

#include "zxreport/table_source.h"

/// What a table is read from: the summary cells of the loads they answer,
/// and the rows of every other load.
struct SummaryPlan {
  /// Cells to count, each with its parts in order (a cell is the rows of
  /// `parts[0]->load` on one day).
  std::vector<std::vector<const StoredCell*>> cells;
  /// Whether the table's rows are read as well, and which: "" for all,
  /// else a condition that leaves out the loads the summaries answer.
  bool readRows = true;
  std::string rowFilter;
};

/// Plans the reading of a table with the loads `loads` recorded for it
/// (`withoutId` when a record of an older zxload has no id) and the
/// summary cells `stored` of its data set: a load is answered by its cells
/// when each of them lies wholly inside `range` or wholly outside it, and
/// has the layout this zxreport reads; the rows of other loads are read.
/// The table's rows are not read at all when every load is answered.
SummaryPlan planSummaries(const std::vector<std::int64_t>& loads, bool withoutId,
                          const std::vector<StoredCell>& stored, const TimeRange& range);

#endif  // ZXREPORT_SUMMARY_PLAN_H_
