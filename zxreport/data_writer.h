#ifndef ZXREPORT_DATA_WRITER_H_
#define ZXREPORT_DATA_WRITER_H_

#include <string>

#include "zxreport/report_model.h"

/// The figures of `report` as JSON: title, source, range, and per panel its
/// tables with column keys and rows (numbers as numbers, text as strings,
/// no value as null). Line breaks are CR LF.
std::string reportJson(const Report& report);

/// One table as CSV: a line of column keys, then the rows; text cells as
/// `csvCell` writes them, numbers bare. Line breaks are CR LF.
std::string tableCsv(const Table& table);

/// A cell's value as plain text for data files ("" for no value).
std::string plainNumber(const Cell& cell);

#endif  // ZXREPORT_DATA_WRITER_H_
