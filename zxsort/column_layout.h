#ifndef ZXSORT_COLUMN_LAYOUT_H_
#define ZXSORT_COLUMN_LAYOUT_H_

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "zxsort/sort_options.h"

/// Most used columns the data types file may define.
constexpr int kMaxUsedColumns = 512;
/// Most columns of one class (key, attribute or numeric).
constexpr int kMaxClassColumns = 64;
/// Longest line of the data types file and of the data file, line end included.
constexpr std::size_t kMaxLineLength = 3321;
/// Longest database column name.
constexpr std::size_t kMaxColumnName = 47;
/// Longest line of the column description file: 512 longest names, their
/// commas and the line end.
constexpr std::size_t kMaxZx3LineLength =
    kMaxUsedColumns * (kMaxColumnName + 1) + 1;

/// Status of a run refused because its layout is past the model's limits.
constexpr int kLayoutTooLarge = -11;

/// Classes of a column; measures use their operation code (10 to 13).
enum ColumnClass { kKeyClass = 0, kAttributeClass = 1, kNumericClass = 2 };

/// What the reader does with the value at one position of a data line.
enum PositionRole : std::uint8_t {
  kRoleKey,
  kRoleAttribute,
  kRoleNumeric,
  kRoleMeasure,
  kRoleDrop,
};

/// One used column of the data types file.
struct ColumnInfo {
  int position = -1;           ///< position in the header, -1 until read
  int columnClass = kKeyClass; ///< class, or the first measure's operation
  std::string name;            ///< database column name
  int measureOps[3] = {0, 0, 0};      ///< operation of each measure carried
  int measureNumbers[3] = {0, 0, 0};  ///< number 1..3 of each measure carried
  int measureCount = 0;        ///< measures carried
};

/// The column that carries one billing measure.
struct MeasureColumn {
  int column = -1;  ///< index into the column table, -1 when none
  int index = 0;    ///< index into that column's measure arrays
};

/// Everything the reader, grouping and writer know about a data line.
struct ColumnLayout {
  int mode = 0;       ///< 0 hourly, 1 billing
  int interval = 60;  ///< interval length in minutes
  std::vector<ColumnInfo> table;  ///< used columns in data types order
  std::vector<int> keyColumns;        ///< key columns (table indexes) in header order
  std::vector<int> attributeColumns;  ///< attribute columns in header order
  std::vector<int> numericColumns;    ///< numeric columns in header order
  MeasureColumn measureColumns[3];    ///< carrier of measures 1..3
  int columnCount = 0;       ///< values in a usable data line
  int currentStart = 0;      ///< start hour or minute; -1 once the data is exhausted
  std::string currentDateHour;  ///< date and hour of the interval being read; empty when unknown
  int recordCount = 0;       ///< records of the current interval
  int timestampPosition = -1;  ///< position of "timestampid"
  int groupIdPosition = -1;    ///< position of "groupid"
  int hourPosition = -1;       ///< position of the attribute "dt_hour"
  int refcountPosition = -1;   ///< position of the attribute "refcount"
  int groupId = 0;             ///< group identifier of the interval being read

  std::vector<PositionRole> roles;   ///< role of every position
  std::vector<int> keyPositions;     ///< positions routed to the key, in order
  std::vector<int> attributePositions;  ///< positions of attribute columns, in order
  std::vector<int> numericPositions;    ///< positions of numeric columns, in order
  std::vector<std::uint8_t> measuresAt;  ///< per position: bit n-1 set when it carries measure n
};

/// Result of loading the data types.
struct DataTypesResult {
  int status = 0;       ///< columns loaded, -10 for a missing measure, or kLayoutTooLarge
  std::string message;  ///< run-log text for kLayoutTooLarge
};

/// Gives `column` its class from `typeName` and the mode; in billing mode
/// records the measures that name it and marks them in `found`.
void classifyColumn(ColumnInfo* column, std::string_view typeName, int mode,
                    const BillingMeasure measures[3], bool found[3]);

/// Loads the used columns (flag 1) of the data types file into `layout->table`.
DataTypesResult readDataTypes(std::FILE* file, const BillingMeasure measures[3],
                              ColumnLayout* layout);

/// Result of reading the header.
struct HeaderResult {
  int status = 0;       ///< 0, -7 for an unknown column, or kLayoutTooLarge
  std::string message;  ///< run-log text for kLayoutTooLarge
};

/// Reads the column description file into `layout` (printing the unknown
/// name on standard output for -7) and sets the first interval's start from
/// the first line of `data`. The caller rewinds `data` afterwards.
HeaderResult readColumnHeader(std::FILE* zx3, std::FILE* data,
                              ColumnLayout* layout);

/// Operation code of measure `n` (1..3), or -1 when no header column carries it.
int measureOperation(const ColumnLayout& layout, int n);

/// True when the k-th numeric column is the last column of the line.
bool isLastColumn(const ColumnLayout& layout, int k);

/// Minute of a time stamp ("2001-12-17 15:23:45" gives 23); 0 when unreadable.
int minuteOf(std::string_view timestamp);

/// Date and hour of a time stamp: the text up to the first colon after
/// its first blank ("2001-12-17 15:23:45" gives "2001-12-17 15").
std::string_view dateHourOf(std::string_view timestamp);

/// Hour value of "dt_hour" read as a decimal integer (after one leading
/// single quote: white space, a sign, digits); 0 when there are no digits,
/// saturated at the int range.
int hourOf(std::string_view value);

/// Start of the interval holding minute `minute`: the minute itself for an
/// interval of 1, else the minute rounded down to a multiple of 5.
int intervalStartOf(int minute, int interval);

/// Splits `line` at commas, a run of commas being one separator, calling
/// `visit(index, value)` for each value; returns the number of values.
template <typename Visit>
int splitValues(std::string_view line, Visit&& visit) {
  int index = 0;
  std::size_t i = 0;
  const std::size_t size = line.size();
  while (i < size) {
    while (i < size && line[i] == ',') ++i;
    if (i >= size) break;
    std::size_t start = i;
    while (i < size && line[i] != ',') ++i;
    visit(index, std::string_view(line.data() + start, i - start));
    ++index;
  }
  return index;
}

#endif  // ZXSORT_COLUMN_LAYOUT_H_
