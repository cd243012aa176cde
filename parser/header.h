#ifndef PARSER_HEADER_H_
#define PARSER_HEADER_H_

#include <string>
#include <string_view>

#include "parser/column_table.h"
#include "parser/header_layout.h"

class LogReader;
class RunLog;

/// Learns the log's format: from its own header lines (no format name), from
/// a built-in template, or for "real" from the field count of the first
/// line. Sets headerFields, headerLine and logTypeName. Returns 0, or -4
/// when the header cannot be read or recognised.
int readHeader(LogReader& log, std::string_view logFormatName,
               const ColumnTable& table, HeaderLayout& layout,
               const RunLog& runLog);

/// Reads a format line ("#Fields: ..." or "format=..."): maps every field
/// name to its column (unknown names to "zx-unknown", with a message) and,
/// when accepted, sets headerFields and headerLine. Returns 0, -4 when the
/// line is not a format line (or names more than 512 fields), or -6 when a
/// name has no column and "zx-unknown" does not exist; the layout is
/// unchanged unless 0 is returned.
int parseFieldsLine(std::string_view line, const ColumnTable& table,
                    HeaderLayout& layout, const RunLog& runLog);

/// Sets `logTypeName` from the kind of log a header line names; leaves it
/// unchanged when the line names none.
void detectLogType(std::string_view line, std::string& logTypeName);

/// A built-in format: the header text it stands for, the kind of log and
/// how its lines are read.
struct BuiltInTemplate {
  std::string_view formatText;
  std::string_view logTypeName;
  SplitRules splitRules = {};
  bool ignoresTrailingFields = false;
  /// A field read and not loaded when another field of the layout fills
  /// its database column; empty for none.
  std::string_view unloadedField = {};
};

/// The built-in format named `name` (exact comparison); both texts empty
/// for an unknown name, and for "real", whose text depends on the log.
BuiltInTemplate builtInTemplate(std::string_view name);

/// Sets up `layout` from the built-in format `format`: its fields (as
/// parseFieldsLine), kind of log and reading rules. Returns 0 or -4.
int useBuiltInTemplate(const BuiltInTemplate& format, const ColumnTable& table,
                       HeaderLayout& layout, const RunLog& runLog);

/// The format text of the streaming-server variant whose field count is
/// `fieldCount`, or an empty text when no variant has that count.
std::string streamingVariantText(int fieldCount);

/// Reads the first line of the log and returns the streaming-server format
/// text that matches its field count; false when the log is empty or no
/// variant has that count. The line is consumed.
bool detectStreamingVariant(LogReader& log, std::string* formatText);

/// Fills layout.derivedColumns with the indexes of the 17 derived columns
/// (-1 for one the column table lacks, reported once at level 4).
void buildDerivedColumns(const ColumnTable& table, HeaderLayout& layout,
                         const RunLog& runLog);

/// Switches off the layout's unloaded columns, then columns that would be
/// written twice, which it logs.
void checkDuplicateColumns(ColumnTable& table, const HeaderLayout& layout,
                           const RunLog& runLog);

#endif  // PARSER_HEADER_H_
