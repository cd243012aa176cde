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

/// Fills layout.derivedColumns with the indexes of the 17 derived columns
/// (-1 for one the column table lacks, reported once at level 4).
void buildDerivedColumns(const ColumnTable& table, HeaderLayout& layout,
                         const RunLog& runLog);

/// Switches off columns that would be written twice and logs them.
void checkDuplicateColumns(ColumnTable& table, const HeaderLayout& layout,
                           const RunLog& runLog);

#endif  // PARSER_HEADER_H_
