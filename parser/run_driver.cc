#include "parser/run_driver.h"

#include <cstdio>
#include <ctime>
#include <memory>
#include <new>

#include "common/run_log.h"
#include "parser/column_table.h"
#include "parser/header.h"
#include "parser/header_layout.h"
#include "parser/identifier_tables.h"
#include "parser/line_loop.h"
#include "parser/load_files.h"
#include "parser/log_format.h"
#include "parser/log_reader.h"
#include "parser/output_file.h"
#include "parser/row_builder.h"
#include "parser/values_ahead.h"

namespace {

/// Logs the six settings lines of a run.
void logSettings(const RunOptions& options, const OutputNames& names,
                 const RunLog& runLog) {
  DataSet dataSet = options.dataSet();
  runLog.logFormat(2, "log_file_name = %s", options.logPath.c_str());
  runLog.logFormat(2, "data_file_name = %s", options.dataTypesPath.c_str());
  runLog.logFormat(2, "using_smartfilter = %d",
                   dataSet == DataSet::SmartFilter ? 1 : 0);
  runLog.logFormat(2, "using_strextended = %d",
                   dataSet == DataSet::Streaming ? 1 : 0);
  runLog.logFormat(2, "data_base = %s", options.dbName.c_str());
  runLog.logFormat(2, "appliance_table = %s", names.applianceTable.c_str());
}

/// Writes the control, column description and billing control files.
void writeTrailingFiles(const RunOptions& options, const OutputNames& names,
                        const ColumnTable& table, const HeaderLayout& layout,
                        const RunLog& runLog) {
  DbKind db = options.dbKind();
  DataSet dataSet = options.dataSet();
  if (db == DbKind::Oracle) {
    writeOracleControlFile(names.control, names.data, names.dataTable,
                           dataSet == DataSet::Raw, table, layout, runLog);
  } else if (db == DbKind::MsSql) {
    writeBcpFormatFile(names.control, dataSet, table, layout, runLog);
  }
  writeColumnDescriptionFile(names.columnDescription, table, layout, runLog);
  writeBillingControlFile(names.billingControl, names.billingSort,
                          names.billingTable, db, runLog);
}

/// Logs that the log's data is corrupt or truncated.
void logReadFailure(const RunOptions& options, const LogReader& reader,
                    const RunLog& runLog) {
  runLog.logFormat(5, "Could not read log file %s: %s",
                   options.logPath.c_str(), reader.error().c_str());
}

/// Sets the log type column and the derived columns once the header is
/// known.
void prepareLayout(ColumnTable& table, HeaderLayout& layout,
                   const IdentifierTables& ids, const RunLog& runLog) {
  buildDerivedColumns(table, layout, runLog);
  int logType = table.findColumn("zx-logtype");
  if (logType >= 0) {
    table.at(logType).value.assign(
        std::to_string(ids.logTypeId(layout.logTypeName)));
  }
  checkDuplicateColumns(table, layout, runLog);
}

/// Builds the layout of -f; kRunInvalidHeader (with the reason in the run
/// log and on standard error) when the definition cannot be used.
int readLogFormat(const RunOptions& options, const ColumnTable& table,
                  HeaderLayout& layout, std::unique_ptr<FieldSource>* source,
                  const RunLog& runLog) {
  LogFormatChoice choice;
  std::string error;
  runLog.logFormat(2, "Log format = %s", options.logFormat.c_str());
  if (parseLogFormatOption(options.logFormat, &choice, &error)) {
    *source = buildLogFormat(choice, table, layout, runLog, &error);
  }
  if (*source != nullptr) return 0;
  std::fprintf(stderr, "parser: log format: %s\n", error.c_str());
  runLog.logFormat(5, "Invalid log format: %s", error.c_str());
  runLog.logFormat(5, "Invalid log file header in %s", options.logPath.c_str());
  return kRunInvalidHeader;
}

/// Reads the log's header (or the -f layout) and prepares the derived
/// columns. Returns 0, kRunInvalidHeader, or kRunLogCorrupt when the log
/// could not be read.
int readLayout(LogReader& reader, const RunOptions& options, ColumnTable& table,
               const IdentifierTables& ids, HeaderLayout& layout,
               std::unique_ptr<FieldSource>* source, const RunLog& runLog) {
  if (!options.logFormat.empty()) {
    int status = readLogFormat(options, table, layout, source, runLog);
    if (status != 0) return status;
  } else if (readHeader(reader, options.logFormatName, table, layout, runLog) != 0) {
    if (reader.failed()) {
      logReadFailure(options, reader, runLog);
      return kRunLogCorrupt;
    }
    runLog.logFormat(5, "Invalid log file header in %s",
                     options.logPath.c_str());
    return kRunInvalidHeader;
  }
  runLog.logCount(3, "Header Field Count = ",
                  static_cast<std::int64_t>(layout.headerFields.size()));
  prepareLayout(table, layout, ids, runLog);
  return 0;
}

/// Converts the lines after the header, then writes the trailing files and
/// the statistics. Returns the run's exit status.
int convertLog(LogReader& reader, const RunOptions& options,
               const OutputNames& names, ColumnTable& table,
               const IdentifierTables& ids, const HeaderLayout& layout,
               FieldSource* source, const RunThreads& threads, std::time_t start,
               const RunLog& runLog) {
  DataSet dataSet = options.dataSet();
  auto builder = std::make_unique<RowBuilder>(table, layout, ids,
                                              options.dbKind(), dataSet, runLog);
  std::unique_ptr<ValuesAhead> ahead;
  if (source != nullptr && source->readsLinesAlone() && threads.valuesAhead) {
    ahead = std::make_unique<ValuesAhead>(reader, *source, layout.headerFields.size());
    if (!ahead->start()) ahead.reset();
  }
  if (ahead != nullptr) {
    builder->setFieldSource(ahead.get());
  } else if (source != nullptr) {
    builder->setFieldSource(source);
  }
  LazyFile dataFile(names.data);
  LazyFile errorFile(names.errorLines);
  LoopSettings settings;
  settings.headerLine = layout.headerLine;
  settings.headerFieldCount = layout.headerFields.size();
  settings.dataSet = dataSet;
  settings.maxErrors = options.maxErrors;
  auto loop = std::make_unique<LineLoop>(*builder, settings, dataFile,
                                         errorFile, runLog);
  int status = ahead != nullptr ? loop->run(*ahead) : loop->run(reader);
  // The reader is this thread's again; lines read ahead of a stop are dropped.
  ahead.reset();
  if (status == kDataFileFailed && dataFile.isOpen()) {
    runLog.logFormat(5, "Could not write data file %s", names.data.c_str());
  }
  if (status != 0) return status;
  bool corrupt = reader.failed();
  reader.close();
  if (corrupt) logReadFailure(options, reader, runLog);

  writeTrailingFiles(options, names, table, layout, runLog);
  if (!dataFile.close()) {
    runLog.logFormat(5, "Could not write data file %s", names.data.c_str());
    return kRunDataFileFailed;
  }
  errorFile.close();

  const RunCounters& counters = loop->counters();
  if (counters.writtenLines > 0) {
    logStatistics(runLog, counters,
                  static_cast<std::int64_t>(std::time(nullptr) - start));
  }
  if (corrupt) return kRunLogCorrupt;
  if (counters.writtenLines == 0) {
    runLog.logFormat(4, "No records in log file %s", options.logPath.c_str());
    return kRunNoRecords;
  }
  return kRunOk;
}

}  // namespace

void logStatistics(const RunLog& runLog, const RunCounters& counters,
                   std::int64_t seconds) {
  const RunCounters& c = counters;
  runLog.logReal(3, "Duration (sec) = ", static_cast<double>(seconds));
  runLog.logCount(3, "Line Count = ", c.linesRead);
  runLog.logCount(3, "Total Bytes = ", c.totalBytes);
  runLog.logCount(3, "Avg Bytes Per Line = ",
                  c.linesRead == 0 ? 0 : c.totalBytes / c.linesRead);
  runLog.logCount(3, "Longest Line = ", c.longestLine);
  runLog.logCount(3, "Number of Error Lines = ", c.errorLines);
  runLog.logCount(3, "Number of Successful Lines = ", c.writtenLines);
  if (seconds > 0) {
    runLog.logCount(3, "Bytes Per Second = ", c.totalBytes / seconds);
    runLog.logCount(3, "Lines Per Second = ", c.writtenLines / seconds);
  }
  double percent = c.writtenLines == 0
                       ? 0.0
                       : static_cast<double>(c.errorLines) /
                             static_cast<double>(c.writtenLines) * 100.0;
  runLog.logReal(3, "Percent of Error/Successful = ", percent);
  runLog.logCount(3, "Number of Blank Lines = ", c.blankLines);
}

int runParser(const RunOptions& options, const RunLog& runLog, const RunThreads& threads) {
  std::unique_ptr<ColumnTable> table(new (std::nothrow) ColumnTable);
  if (!table) {
    runLog.logLine(5, "Not enough RAM.  Failed memory allocation of datatypes.");
    return kRunNoMemory;
  }
  table->clear();

  OutputNames names = makeOutputNames(options);
  logSettings(options, names, runLog);

  int status = table->loadColumnTypes(options.dataTypesPath, runLog);
  if (status != 0) return status;
  IdentifierTables ids;
  ids.load(options.dataTypesPath + ".id");

  std::time_t start = std::time(nullptr);
  LogReader reader;
  if (!reader.open(options.logPath)) {
    runLog.logFormat(5, "Could not open log file %s", options.logPath.c_str());
    return kRunLogNotOpened;
  }
  runLog.logFormat(2, "Filename = %s", options.logPath.c_str());

  HeaderLayout layout;
  std::unique_ptr<FieldSource> source;
  status = readLayout(reader, options, *table, ids, layout, &source, runLog);
  if (status != 0) return status;
  return convertLog(reader, options, names, *table, ids, layout, source.get(), threads,
                    start, runLog);
}
