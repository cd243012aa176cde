#ifndef PARSER_HEADER_LAYOUT_H_
#define PARSER_HEADER_LAYOUT_H_

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "parser/column_table.h"
#include "parser/field_splitter.h"

/// Number of derived columns appended to every row.
constexpr int kDerivedCount = 17;

/// Slots of the derived columns, in the order they are appended to rows.
enum DerivedSlot : int {
  kHostedSite,
  kSiteName,
  kAbortCode,
  kPlayer,
  kLogType,
  kStatusCode,
  kTimestamp,
  kOs,
  kFileType,
  kServerDesc,
  kHour,
  kDayOfWeek,
  kMonth,
  kQuarter,
  kYear,
  kGroupId,
  kRefCount,
};

/// Log field names of the derived columns, by slot.
inline constexpr std::array<std::string_view, kDerivedCount> kDerivedNames = {
    "zx-hostedsite", "zx-sitename",  "zx-abortcode", "zx-player",
    "zx-logtype",    "zx-statuscode", "zx-timestamp", "zx-os",
    "zx-filetype",   "zx-serverdesc", "zx-hour",      "zx-dayofweek",
    "zx-month",      "zx-quarter",   "zx-year",      "zx-groupid",
    "zx-refcount"};

/// What the log's header says: which column each field of a line maps to,
/// the derived columns, the format text and the kind of log.
struct HeaderLayout {
  /// Column index of every field of a line, in line order (at most 512).
  std::vector<int> headerFields;
  /// Column index of every derived column by slot; -1 when the column data
  /// types file lacks it (the column is then skipped everywhere).
  std::array<int, kDerivedCount> derivedColumns;
  /// The format line that defined the layout (template text for built-in
  /// formats), compared with later format lines.
  std::string headerLine;
  /// The kind of log ("http", "streaming", ...), empty when unknown.
  std::string logTypeName;
  /// How the fields of a data line are cut.
  SplitRules splitRules;
  /// Fields after the last header field are read and ignored, so a line
  /// with more fields is converted (the combined layout, which servers
  /// often extend at its end).
  bool ignoresTrailingFields = false;
  /// Columns whose fields are read and never loaded: another field of the
  /// line fills the same database column (the ident field of the common and
  /// combined layouts, next to the user field).
  std::vector<int> unloadedColumns;

  HeaderLayout() { derivedColumns.fill(-1); }
};

/// Calls `visit(columnIndex)` for every declared column (output flag 1) in
/// row order: header positions first, then derived columns; missing derived
/// columns are skipped.
template <typename Visit>
void forEachDeclaredColumn(const ColumnTable& table, const HeaderLayout& layout,
                           Visit visit) {
  for (int index : layout.headerFields) {
    if (index >= 0 && table.at(index).outputFlag == 1) visit(index);
  }
  for (int index : layout.derivedColumns) {
    if (index >= 0 && table.at(index).outputFlag == 1) visit(index);
  }
}

/// Number of declared columns: the columns every row holds and every load
/// file declares.
inline int countDeclaredColumns(const ColumnTable& table,
                                const HeaderLayout& layout) {
  int count = 0;
  forEachDeclaredColumn(table, layout, [&count](int) { ++count; });
  return count;
}

#endif  // PARSER_HEADER_LAYOUT_H_
