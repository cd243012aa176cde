#include "zxreport/summary_plan.h"

#include <algorithm>
#include <map>

SummaryPlan planSummaries(const std::vector<std::int64_t>& loads, bool withoutId,
                          const std::vector<StoredCell>& stored, const TimeRange& range) {
  // The cells of each load, each cell's parts together and in order.
  std::map<std::int64_t, std::vector<std::vector<const StoredCell*>>> byLoad;
  std::vector<const StoredCell*> sorted;
  for (const StoredCell& cell : stored) sorted.push_back(&cell);
  std::sort(sorted.begin(), sorted.end(), [](const StoredCell* a, const StoredCell* b) {
    if (a->load != b->load) return a->load < b->load;
    if (a->cell.day != b->cell.day) return a->cell.day < b->cell.day;
    return a->part < b->part;
  });
  for (const StoredCell* cell : sorted) {
    auto& cells = byLoad[cell->load];
    if (cells.empty() || cells.back()[0]->cell.day != cell->cell.day) cells.emplace_back();
    cells.back().push_back(cell);
  }
  SummaryPlan plan;
  std::vector<std::int64_t> answered;
  for (auto& [load, cells] : byLoad) {
    if (std::find(loads.begin(), loads.end(), load) == loads.end()) continue;
    bool answers = true;
    std::vector<std::vector<const StoredCell*>> inside;
    for (const auto& parts : cells) {
      for (std::size_t k = 0; k < parts.size(); ++k) {
        answers = answers && parts[k]->format == kSummaryFormat &&
                  parts[k]->part == static_cast<std::int64_t>(k);
      }
      bool in = false, out = false;
      placeCell(parts[0]->cell, range.from, range.to, &in, &out);
      answers = answers && (in || out);
      if (in) inside.push_back(parts);
    }
    if (!answers) continue;
    answered.push_back(load);
    plan.cells.insert(plan.cells.end(), inside.begin(), inside.end());
  }
  if (answered.empty()) return plan;
  plan.readRows = withoutId || answered.size() < loads.size();
  plan.rowFilter = "(zxload_id IS NULL OR zxload_id NOT IN (";
  for (std::size_t k = 0; k < answered.size(); ++k) {
    plan.rowFilter += (k ? ", " : "") + std::to_string(answered[k]);
  }
  plan.rowFilter += "))";
  return plan;
}
