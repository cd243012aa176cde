#ifndef SUMMARY_SUMMARY_TABLE_H_
#define SUMMARY_SUMMARY_TABLE_H_

#include <cstdint>
#include <string>
#include <string_view>

/// The table in which zxload keeps, beside every load of a raw or billing
/// table, the figures zxreport needs: one row per cell (the load's rows of
/// one day, and one cell for its rows without an hour), keyed by the load's
/// id so that a load replaced takes its cells with it.
inline constexpr const char* kSummaryTable = "zxload_summary";

/// Layout of the cells' data; a reader uses only cells of the layout it
/// knows and reads the rows of other loads.
inline constexpr int kSummaryFormat = 1;

/// A cell's data is stored in parts of at most this many bytes (rows
/// numbered by `part`), so that no value grows past what a database takes.
inline constexpr std::size_t kSummaryPartBytes = 16u << 20;

/// Calls `write(part, bytes)` for each part of `data` in order, parts of
/// `partBytes` (at most kSummaryPartBytes); one empty part for no data.
/// Stops at the first call that returns false, and returns what it did.
template <typename Write>
bool forEachSummaryPart(std::string_view data, std::size_t partBytes, Write write) {
  std::int64_t part = 0;
  for (std::size_t at = 0; at == 0 || at < data.size(); at += partBytes, ++part) {
    if (!write(part, data.substr(at, partBytes))) return false;
  }
  return true;
}

/// One cell of a load.
struct SummaryCell {
  std::string dataSet;    ///< raw or billing
  std::string day;        ///< "YYYY-MM-DD" of its rows; empty for rows without an hour
  std::string firstTime;  ///< smallest time stamp as the table holds it ("" when none)
  std::string lastTime;   ///< largest one
  bool hasTimes = false;  ///< whether any row has a time stamp that is not NULL
  std::int64_t nullTimes = 0;  ///< rows whose time stamp is NULL
  std::int64_t rows = 0;
  std::string data;       ///< the figures (raw_cell.h, billing_cell.h)
};

/// The statements that create the summary table and its index: `integer`
/// is the database's 64-bit integer type, `bytes` its binary type.
std::string summaryTableSql(const char* integer, const char* bytes);

/// The columns of a summary row, in the order of the INSERT of
/// `summaryInsertSql` ($1 ... $10).
std::string summaryInsertSql();

/// Whether a range of time stamps keeps every row of a cell (`*inside`),
/// or none (`*outside`); neither when it cuts through it. `from` and `to`
/// are "YYYY-MM-DD HH:MM:SS" (from included, to left out), empty for an
/// open end; time stamps compare as text, which orders them as time.
void placeCell(const SummaryCell& cell, const std::string& from, const std::string& to,
               bool* inside, bool* outside);

#endif  // SUMMARY_SUMMARY_TABLE_H_
