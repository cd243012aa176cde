#include "summary/summary_table.h"

std::string summaryTableSql(const char* integer, const char* bytes) {
  const std::string table = kSummaryTable, number = integer;
  return "CREATE TABLE " + table + " (zxload_id " + number + " NOT NULL, data_set text NOT NULL," +
         " day text, first_time text, last_time text, null_times " + number + " NOT NULL," +
         " row_count " + number + " NOT NULL, format " + number + " NOT NULL, part " + number +
         " NOT NULL, data " + bytes + " NOT NULL); CREATE INDEX " + table + "_load ON " + table +
         " (zxload_id)";
}

std::string summaryInsertSql() {
  return std::string("INSERT INTO ") + kSummaryTable +
         " (zxload_id, data_set, day, first_time, last_time, null_times, row_count, format, part,"
         " data) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10)";
}

void placeCell(const SummaryCell& cell, const std::string& from, const std::string& to,
               bool* inside, bool* outside) {
  if (from.empty() && to.empty()) {
    *inside = true;
    *outside = false;
    return;
  }
  // Rows whose time stamp is NULL fall outside every range.
  const bool allIn = cell.hasTimes && (from.empty() || cell.firstTime >= from) &&
                     (to.empty() || cell.lastTime < to);
  const bool allOut = !cell.hasTimes || (!from.empty() && cell.lastTime < from) ||
                      (!to.empty() && cell.firstTime >= to);
  *inside = allIn && cell.nullTimes == 0;
  *outside = allOut;
}
