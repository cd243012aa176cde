#include "zxsort/sort_run.h"

#include <cstdio>
#include <ctime>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "common/platform.h"
#include "common/run_log.h"
#include "zxsort/column_layout.h"
#include "zxsort/interval_reader.h"
#include "zxsort/read_ahead.h"
#include "zxsort/memory_check.h"
#include "zxsort/record_sort.h"
#include "zxsort/record_writer.h"
#include "zxsort/sort_options.h"

namespace {

// The files of one run, closed together whatever way the run ends.
struct RunFiles {
  std::FILE* zx3 = nullptr;
  std::FILE* data = nullptr;
  std::FILE* sort = nullptr;
  std::FILE* dataTypes = nullptr;

  ~RunFiles() {
    for (std::FILE* file : {zx3, data, sort, dataTypes}) {
      if (file != nullptr) std::fclose(file);
    }
  }
};

// Opens the four files in their order; 0 or the status of the first failure.
int openFiles(const SortOptions& options, const RunLog& log, RunFiles* files) {
  const std::string& base = options.basePath;
  files->zx3 = std::fopen((base + ".zx3").c_str(), "rb");
  if (files->zx3 == nullptr) {
    log.logLine(5, "Error opening zx3 file:");
    return -5;
  }
  files->data = std::fopen((base + ".csv").c_str(), "rb");
  if (files->data == nullptr) {
    log.logLine(5, "Error opening csv file:");
    return -4;
  }
  files->sort = std::fopen((base + (options.mode == 0 ? ".srt" : ".bsrt")).c_str(), "wb");
  if (files->sort == nullptr) {
    log.logLine(5, "Error opening output file:");
    return -2;
  }
  files->dataTypes = std::fopen(options.dataTypesPath.c_str(), "rb");
  if (files->dataTypes == nullptr) {
    log.logLine(5, "Error opening dataType file:");
    return -6;
  }
  return 0;
}

// Loads the data types and the header into `layout`, then rewinds the data
// file; 0 or the run's status.
int loadLayout(RunFiles* files, const SortOptions& options, const RunLog& log,
               ColumnLayout* layout) {
  DataTypesResult types = readDataTypes(files->dataTypes, options.measures, layout);
  if (types.status == -10) {
    log.logCount(5, "Error: invalid billing measure datatype ", -10);
    return -10;
  }
  if (types.status < 0) {
    log.logLine(5, types.message);
    return types.status;
  }
  log.logLine(2, options.mode == 0 ? "Running Hourly Mode" : "Running Billing Mode");
  HeaderResult header = readColumnHeader(files->zx3, files->data, layout);
  if (header.status == -7) return -7;  // the name went to standard output
  if (header.status != 0) {
    log.logLine(5, header.message);
    return header.status;
  }
  std::rewind(files->data);
  return 0;
}

// Records ahead of the one being written whose texts are loaded early.
constexpr std::size_t kPrefetchDistance = 8;

// Reads, sorts, groups and writes every interval; 0 or -1.
int sortIntervals(RunFiles* files, ColumnLayout* layout, const RunLog& log,
                  unsigned int tick, std::int64_t* skipped) {
  ReadAhead reader(files->data, *layout, &log, tick,
                   ReadAhead::worthThreading(std::thread::hardware_concurrency()));
  RecordWriter writer(files->sort, layout);
  IntervalRecords interval;
  std::vector<HeldLogLine> heldLines;
  float reduction = 0.0f;
  while (!reader.exhausted()) {
    const int start = layout->currentStart;
    log.logCount(2, "Starting read for hour: ", start);
    const bool read = reader.next(&interval, layout, &heldLines);
    for (const HeldLogLine& line : heldLines) log.logLine(line.level, line.text);
    if (!read) {
      log.logLine(5, "readInterval() returning NULL, memory allocation problem");
      logMemoryStatus(log);
      *skipped = reader.skippedLines();
      return -1;
    }
    const int count = layout->recordCount;
    log.logCount(2, "finish read, records read: ", count);
    log.logLine(2, "start quicksort... ");
    sortRecords(&interval.records);
    log.logLine(2, "finished quicksort ");
    log.logLine(2, "start grouping records... ");
    int left = groupRecords(&interval.records, *layout, &interval.arena);
    if (count > 0) {
      reduction = static_cast<float>(count - left) / static_cast<float>(count) * 100.0f;
    }
    log.logFormat(2, "finished, new record count: %d reduction: %.2f%%: ", left,
                  static_cast<double>(reduction));
    log.logLine(2, "start rebuilding records and writing to file... ");
    const std::vector<DataRecord>& sorted = interval.records;
    for (std::size_t k = 0; k < sorted.size(); ++k) {
      // Sorted records lie all over the texts: load a few ahead.
      if (k + kPrefetchDistance < sorted.size()) prefetchTexts(sorted[k + kPrefetchDistance]);
      if (sorted[k].present()) writer.writeRecord(sorted[k], start);
    }
    log.logLine(2, "finished rebuilding records and writing to file... ");
    layout->recordCount = 0;
  }
  *skipped = reader.skippedLines();
  return 0;
}

}  // namespace

int runSort(const std::vector<std::string>& args) {
  SortOptions options;
  RunLog log("zxsort");
  OptionsResult parsed = parseSortArguments(args, &options);
  log.setPath(options.runLogPath);
  // Without a run log nothing else could say why the run fails: name what
  // is missing on standard error. Status and files stay as they would be.
  std::string missing = missingRequiredOption(options);
  if (!missing.empty()) std::fprintf(stderr, "zxsort: %s\n%s", missing.c_str(), sortUsageText());
  if (parsed.status != 0) {
    if (!parsed.message.empty()) log.logCount(5, parsed.message + " ", parsed.status);
    return parsed.status;
  }
  std::string invalid;
  if (int status = checkModeAndInterval(&options, &invalid); status != 0) {
    log.logCount(5, invalid, status);
    return status;
  }
  // Large writes: the sort file is written once, front to back. The buffer
  // is declared first so that it outlives the file that uses it; it is not
  // zeroed, so a small run touches only the pages it writes.
  constexpr std::size_t kSortBufferSize = 1 << 20;
  std::unique_ptr<char[]> sortBuffer(new char[kSortBufferSize]);
  RunFiles files;
  if (int status = openFiles(options, log, &files); status != 0) return status;
  std::setvbuf(files.sort, sortBuffer.get(), _IOFBF, kSortBufferSize);

  ColumnLayout layout;
  layout.mode = options.mode;
  layout.interval = options.interval;
  try {
    layout.table.reserve(kMaxUsedColumns);
  } catch (const std::bad_alloc&) {
    log.logCount(5, "Error: insufficient memory: ", -1);
    return -1;
  }
  logMemoryStatus(log);
  const std::time_t startTime = std::time(nullptr);

  if (int status = loadLayout(&files, options, log, &layout); status != 0) return status;

  std::int64_t skipped = 0;
  int status = sortIntervals(&files, &layout, log, platform::tickCount(), &skipped);
  if (skipped > 0) log.logCount(4, "Skipped lines: ", skipped);
  if (status != 0) return status;

  layout.table.clear();
  const double seconds = std::difftime(std::time(nullptr), startTime);
  log.logFormat(2, "Duration (sec) =  %.2f or (%.2f mins): ", seconds,
                seconds * 0.016666666666666666);
  log.logLine(2, "zxsort complete, returning 0 ");
  return 0;
}
