#include "zxload/load_run.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "zxload/line_reader.h"
#ifdef ZXLOAD_WITH_POSTGRES
#include "zxload/postgres_target.h"
#endif
#include "zxload/row_values.h"
#include "zxload/sqlite_target.h"

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

/// Streams the rows of `file` into the target; on failure rolls back.
LoadStatus copyRows(const std::string& file, const LoadPlan& plan, const FileDigest& digest,
                    LoadRecord* record, LoadTarget* target) {
  LineReader reader(file);
  RowSplitter splitter(plan);
  std::string error;
  std::string_view line;
  auto where = [&] { return file + ":" + std::to_string(reader.lineNumber()) + ": "; };
  while (reader.next(&line)) {
    if (!splitter.split(line, &error)) {
      target->rollback();
      return report(kLoadMalformed, where() + error + "; nothing loaded");
    }
    if (!target->addRow(splitter.values())) {
      target->rollback();
      return report(kLoadDatabase, where() + target->error() + "; nothing loaded");
    }
  }
  if (!reader.ok()) {
    target->rollback();
    bool cut = reader.error().find("line ") == 0;
    return report(cut ? kLoadMalformed : kLoadInput,
                  file + ": " + reader.error() + "; nothing loaded");
  }
  if (!(reader.digest() == digest)) {
    target->rollback();
    return report(kLoadInput, file + ": the file changed while it was loaded; nothing loaded");
  }
  record->rows = reader.lineNumber();
  if (!target->commit(*record)) {
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
    if (!target->open(options.postgresConninfo)) {
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
  if (!target->open(options.sqlitePath)) {
    report(kLoadDatabase, target->error());
    return nullptr;
  }
  return target;
}

}  // namespace

LoadStatus loadFile(const std::string& file, const LoadOptions& options, LoadTarget* target) {
  std::string error;
  FileDigest digest;
  if (!digestFile(file, &digest, &error)) {
    return report(kLoadInput, file + ": cannot read: " + error);
  }
  LoadPlan plan;
  if (!makeLoadPlan(file, options, &plan, &error)) return report(kLoadInput, error);
  LoadRecord record{absolutePath(file), plan.table, digest.size, digest.hex(), 0};
  bool recorded = false;
  if (!target->begin(plan, record, &recorded)) {
    std::string message = target->error();
    target->rollback();
    return report(kLoadDatabase, file + ": " + message);
  }
  if (recorded) {
    target->rollback();
    std::printf("%s: already loaded into %s, nothing to do\n", file.c_str(), plan.table.c_str());
    return kLoadOk;
  }
  if (!target->startRows()) {
    std::string message = target->error();
    target->rollback();
    return report(kLoadDatabase, file + ": " + message);
  }
  LoadStatus status = copyRows(file, plan, digest, &record, target);
  if (status == kLoadOk) {
    std::printf("%s: %llu rows loaded into %s\n", file.c_str(),
                static_cast<unsigned long long>(record.rows), plan.table.c_str());
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
  std::unique_ptr<LoadTarget> target = openTarget(options);
  if (!target) return kLoadDatabase;
  for (const std::string& file : options.files) {
    LoadStatus status = loadFile(file, options, target.get());
    std::fflush(stdout);
    if (status != kLoadOk) return status;
  }
  return kLoadOk;
}
