#ifndef PARSER_PARSER_TYPES_H_
#define PARSER_PARSER_TYPES_H_

#include <string_view>

/// The database the load files are written for; decides quoting, the URL
/// length limit, the time-stamp form and which control files are written.
enum class DbKind : int { None = 0, Sybase = 1, Oracle = 2, MsSql = 3 };

/// The family of report tables a run loads; chosen from the name of the
/// column data types file.
enum class DataSet { Raw, SmartFilter, Streaming };

/// The database kind named by the -b value (exact, case-sensitive).
DbKind dbKindFromName(std::string_view name);

/// The data set selected by the column data types path (substring test on
/// the whole path: "smartfilter" first, then "streaming").
DataSet dataSetFromPath(std::string_view path);

#endif  // PARSER_PARSER_TYPES_H_
