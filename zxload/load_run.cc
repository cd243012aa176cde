#include "zxload/load_run.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "zxload/line_reader.h"
#ifdef ZXLOAD_WITH_POSTGRES
#include "zxload/postgres_target.h"
#endif
#include "zxload/progress.h"
#include "zxload/row_values.h"
#include "zxload/sqlite_target.h"
#include "zxload/table_name.h"

namespace {

/// Prints "zxload: " and `message` on standard error; returns `status`.
LoadStatus report(LoadStatus status, const std::string& message) {
  std::fprintf(stderr, "zxload: %s\n", message.c_str());
  return status;
}

/// The absolute form of `path` (itself when it cannot be resolved).
std::string absolutePath(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return path;
  std::string out = resolved;
  std::free(resolved);
  return out;
}

/// Streams the rows of `reader` into the target, counting them into
/// `summary`, and commits; on failure rolls back. With `expected` (read
/// before) the bytes must not have changed; without, the digest of the
/// bytes read completes the record and `already` tells that they turned
/// out to be loaded before.
LoadStatus copyRows(const std::string& file, const LoadPlan& plan, const FileDigest* expected,
                    LineReader* reader, LoadRecord* record, LoadSummary* summary,
                    LoadTarget* target, bool* already) {
  RowSplitter splitter(plan);
  Progress progress(file, Progress::terminal());
  std::string error;
  std::string_view line;
  auto where = [&] { return file + ":" + std::to_string(reader->lineNumber()) + ": "; };
  while (reader->next(&line)) {
    if (!splitter.split(line, &error)) {
      target->rollback();
      return report(kLoadMalformed, where() + error + "; nothing loaded");
    }
    if (!target->addRow(splitter.values())) {
      target->rollback();
      return report(kLoadDatabase, where() + target->error() + "; nothing loaded");
    }
    summary->add(splitter.values());
    progress.update(reader->lineNumber());
  }
  if (!reader->ok()) {
    target->rollback();
    bool cut = reader->error().find("line ") == 0;
    return report(cut ? kLoadMalformed : kLoadInput,
                  file + ": " + reader->error() + "; nothing loaded");
  }
  const FileDigest read = reader->digest();
  if (expected != nullptr && !(read == *expected)) {
    target->rollback();
    return report(kLoadInput, file + ": the file changed while it was loaded; nothing loaded");
  }
  record->size = read.size;
  record->checksum = read.hex();
  record->rows = reader->lineNumber();
  if (summary->enabled()) summary->endRows();  // its cells are made beside the last rows' copy
  bool recorded = false;
  if (!target->endRows() || (expected == nullptr && !target->isRecorded(*record, &recorded))) {
    target->rollback();
    return report(kLoadDatabase, file + ": " + target->error() + "; nothing loaded");
  }
  if (recorded) {  // it grew or shrank into a loaded file's size meanwhile
    target->rollback();
    *already = true;
    return kLoadOk;
  }
  if ((summary->enabled() && !target->writeSummary(record->id, summary->cells())) ||
      !target->commit(*record)) {
    target->rollback();
    return report(kLoadDatabase, file + ": " + target->error() + "; nothing loaded");
  }
  return kLoadOk;
}

/// Opens the target the options name.
std::unique_ptr<LoadTarget> openTarget(const LoadOptions& options) {
  if (options.postgres) {
#ifdef ZXLOAD_WITH_POSTGRES
    auto target = std::make_unique<PostgresTarget>();
    if (!target->open(options.postgresConninfo, options.waitSeconds)) {
      report(kLoadDatabase, target->error());
      return nullptr;
    }
    return target;
#else
    report(kLoadDatabase, "this zxload was built without PostgreSQL (libpq)");
    return nullptr;
#endif
  }
  auto target = std::make_unique<SqliteTarget>();
  if (!target->open(options.sqlitePath, options.waitSeconds, options.list,
                    options.rollbackJournal)) {
    report(kLoadDatabase, target->error());
    return nullptr;
  }
  return target;
}

/// Removes the earlier loads of the record's source and data set; the
/// lines that say so go to `replaced`. Loads of an older zxload cannot be
/// removed: their rows carry no load id.
LoadStatus replaceEarlier(const std::string& file, const LoadHistory& history,
                          LoadTarget* target, std::vector<std::string>* replaced) {
  for (const LoadRecord& earlier : history.earlier) {
    if (earlier.hasId) continue;
    return report(kLoadOlderLoad,
                  file + ": would replace the load of " + earlier.source + " into " +
                      displayName(earlier.schema, earlier.table) + " of " + earlier.loadedAt +
                      " UTC, made by an older zxload whose rows carry no load id and cannot be"
                      " told from other rows; nothing loaded (delete those rows and that record"
                      " of " + kLoadsTable + " by hand, or give --keep to keep both)");
  }
  for (const LoadRecord& earlier : history.earlier) {
    std::uint64_t rows = 0;
    if (!target->removeLoad(earlier, &rows)) {
      return report(kLoadDatabase, file + ": " + target->error() + "; nothing loaded");
    }
    replaced->push_back(file + ": replaced " + std::to_string(rows) + " rows loaded from " +
                        earlier.source + " on " + earlier.loadedAt + " UTC");
  }
  return kLoadOk;
}

/// A field of a listed load: tab, line feed, carriage return and backslash
/// escaped, so that every load stays on one line.
std::string listField(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

/// Prints every load recorded, one a line.
LoadStatus listLoads(LoadTarget* target) {
  std::vector<LoadRecord> loads;
  if (!target->listLoads(&loads)) return report(kLoadDatabase, target->error());
  for (const LoadRecord& load : loads) {
    std::printf("%s\t%s\t%s\t%s\t%llu\t%llu\t%s\t%s\t%s\n",
                load.hasId ? std::to_string(load.id).c_str() : "-", load.loadedAt.c_str(),
                listField(displayName(load.schema, load.table)).c_str(), load.dataSet.c_str(),
                static_cast<unsigned long long>(load.rows),
                static_cast<unsigned long long>(load.size), load.checksum.c_str(),
                listField(load.source).c_str(), listField(load.fileName).c_str());
  }
  return kLoadOk;
}

}  // namespace

LoadStatus loadFile(const std::string& file, const LoadOptions& options, LoadTarget* target) {
  std::string error;
  LineReader reader(file);
  std::uint64_t size = 0;
  if (!reader.size(&size)) return report(kLoadInput, file + ": cannot read: " + reader.error());
  LoadPlan plan;
  if (!makeLoadPlan(file, options, &plan, &error)) return report(kLoadInput, error);
  LoadRecord record;
  record.fileName = absolutePath(file);
  record.source = options.source.empty() ? record.fileName : options.source;
  record.dataSet = plan.dataSet;
  record.size = size;
  LoadHistory history;
  bool recorded = false;
  if (!target->begin(plan, &record, &history) || !target->isRecorded(record, &recorded)) {
    std::string message = target->error();
    target->rollback();
    return report(kLoadDatabase, file + ": " + message);
  }
  const std::string table = displayName(record.schema, record.table);
  auto alreadyLoaded = [&] {
    std::printf("%s: already loaded into %s, nothing to do\n", file.c_str(), table.c_str());
    return kLoadOk;
  };
  // The file is read once, its checksum taken on the way, unless a load of
  // its size is recorded: then its checksum first, which may spare the load.
  FileDigest digest;
  if (recorded) {
    if (!digestFile(file, &digest, &error)) {
      target->rollback();
      return report(kLoadInput, file + ": cannot read: " + error);
    }
    record.size = digest.size;
    record.checksum = digest.hex();
    if (!target->isRecorded(record, &recorded)) {
      std::string message = target->error();
      target->rollback();
      return report(kLoadDatabase, file + ": " + message);
    }
    if (recorded) {
      target->rollback();
      return alreadyLoaded();
    }
  }
  std::vector<std::string> replaced;
  LoadStatus status = options.keep ? kLoadOk : replaceEarlier(file, history, target, &replaced);
  // The summary counts the values as the table will hold them, when their
  // columns are declared as zxload declares them.
  LoadSummary summary(plan, target->storedForm());
  ColumnTypes types;
  if (status == kLoadOk && summary.enabled()) {
    if (target->columnTypes(&types)) summary.checkTable(types);
    else status = report(kLoadDatabase, file + ": " + target->error());
  }
  if (status == kLoadOk && !target->startRows()) {
    status = report(kLoadDatabase, file + ": " + target->error());
  }
  if (status != kLoadOk) {
    target->rollback();
    return status;
  }
  bool already = false;
  status = copyRows(file, plan, record.checksum.empty() ? nullptr : &digest, &reader, &record,
                    &summary, target, &already);
  if (already) return alreadyLoaded();
  if (status == kLoadOk) {
    for (const std::string& line : replaced) std::printf("%s\n", line.c_str());
    std::printf("%s: %llu rows loaded into %s\n", file.c_str(),
                static_cast<unsigned long long>(record.rows), table.c_str());
  }
  return status;
}

int runLoad(int argc, char** argv) {
  LoadOptions options;
  std::string error;
  if (!readLoadOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "zxload: %s\n%s", error.c_str(), loadUsage());
    return kLoadUsage;
  }
  if (options.help) {
    std::fputs(loadHelp(), stdout);
    return kLoadOk;
  }
  std::unique_ptr<LoadTarget> target = openTarget(options);
  if (!target) return kLoadDatabase;
  if (options.list) return listLoads(target.get());
  for (const std::string& file : options.files) {
    LoadStatus status = loadFile(file, options, target.get());
    std::fflush(stdout);
    if (status != kLoadOk) return status;
  }
  return kLoadOk;
}
