#ifndef PARSER_LOAD_FILES_H_
#define PARSER_LOAD_FILES_H_

#include <string>

#include "parser/column_table.h"
#include "parser/header_layout.h"
#include "parser/parser_types.h"

class RunLog;

/// Writes the SQL*Loader control file of the data set's table. The input
/// is `dataPath`, or for `useSortedData` the hourly sort file (".srt" in
/// place of the data file's ".csv" suffix). Returns 0 or -8; a data path
/// without ".csv" leaves a file of comment lines only.
int writeOracleControlFile(const std::string& controlPath,
                           const std::string& dataPath,
                           const std::string& tableName, bool useSortedData,
                           const ColumnTable& table, const HeaderLayout& layout,
                           const RunLog& runLog);

/// Writes the bcp format file (version 7.0) of the declared columns.
/// Returns 0 or -8.
int writeBcpFormatFile(const std::string& controlPath, DataSet dataSet,
                       const ColumnTable& table, const HeaderLayout& layout,
                       const RunLog& runLog);

/// Writes the one-line column description file (".zx3") the sorter reads.
/// Returns 0 or -8.
int writeColumnDescriptionFile(const std::string& path,
                               const ColumnTable& table,
                               const HeaderLayout& layout,
                               const RunLog& runLog);

/// Writes the billing control file for `db`: SQL*Loader (Oracle), bcp
/// (MsSql) or the one-line description (Sybase, None). Returns 0 or -8.
int writeBillingControlFile(const std::string& billingControlPath,
                            const std::string& billingSortPath,
                            const std::string& billingTableName, DbKind db,
                            const RunLog& runLog);

#endif  // PARSER_LOAD_FILES_H_
