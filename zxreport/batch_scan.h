#ifndef ZXREPORT_BATCH_SCAN_H_
#define ZXREPORT_BATCH_SCAN_H_

#include <string>
#include <vector>

#include "zxreport/table_source.h"

/// Reads `table` in as many parts as there are `sources` (connections that
/// see the same state of the database), each on a thread of its own that
/// copies rows into batches, while `sink` takes the rows on the calling
/// thread: the databases' work and the counting overlap. Only rows that
/// meet `filter` are read, when it is not empty. False with `error` set
/// when a part failed.
bool scanInBatches(const std::vector<TableSource*>& sources, const std::string& table,
                   const std::vector<ScanColumn>& columns, const TimeRange& range,
                   const std::string& filter, const RowSink& sink, std::string* error);

#endif  // ZXREPORT_BATCH_SCAN_H_
