// What zxload's summary of a load costs a row: the files' rows are split
// into values as zxload splits them, once without and once with the
// summary pass that zxload runs beside its inserts (as for SQLite, and as
// for PostgreSQL with its text and time stamp forms), in alternating
// rounds over the same bytes held in memory; prints the time a row of
// each and the summary's size against the files'.
//
// Usage: bench_summary_cost ROUNDS DATATYPES FILE... (sort files of -k oracle)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "zxload/load_options.h"
#include "zxload/load_plan.h"
#include "zxload/load_summary.h"
#include "zxload/row_values.h"

namespace {

struct File {
  std::string path;
  std::string bytes;
  LoadPlan plan;
};

/// Splits every line of `file` (and counts it into a summary of `form`
/// when `summary`); the seconds it took, the summary's bytes in `*size`.
double pass(const File& file, bool summary, StoredForm form, std::size_t* size) {
  const auto start = std::chrono::steady_clock::now();
  RowSplitter splitter(file.plan);
  LoadSummary cells(file.plan, form);
  std::string error;
  std::size_t at = 0;
  while (at < file.bytes.size()) {
    std::size_t end = file.bytes.find('\n', at);
    std::string_view line(file.bytes.data() + at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!splitter.split(line, &error)) {
      std::fprintf(stderr, "%s: %s\n", file.path.c_str(), error.c_str());
      std::exit(1);
    }
    if (summary) cells.add(splitter.values());
    at = end + 1;
  }
  *size = 0;
  if (summary) {
    for (const SummaryCell& cell : cells.cells()) *size += cell.data.size();
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: bench_summary_cost ROUNDS DATATYPES FILE...\n");
    return 2;
  }
  const int rounds = std::atoi(argv[1]);
  LoadOptions options;
  options.kind = DbKind::kOracle;
  options.kindGiven = true;
  options.dataTypesPath = argv[2];
  std::vector<File> files;
  std::size_t rows = 0, bytes = 0;
  for (int k = 3; k < argc; ++k) {
    File file;
    file.path = argv[k];
    std::string error;
    if (!makeLoadPlan(file.path, options, &file.plan, &error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    std::ifstream in(file.path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    file.bytes = all.str();
    for (char c : file.bytes) rows += c == '\n';
    bytes += file.bytes.size();
    files.push_back(std::move(file));
  }
  const StoredForm forms[] = {StoredForm{}, StoredForm{true, false}};
  double split = 0, summed[2] = {0, 0};
  std::size_t size[2] = {0, 0};
  for (int r = 0; r < rounds; ++r) {
    for (const File& file : files) {
      std::size_t ignored;
      split += pass(file, false, StoredForm{}, &ignored);
      for (int f = 0; f < 2; ++f) {
        std::size_t cellBytes = 0;
        summed[f] += pass(file, true, forms[f], &cellBytes);
        if (r == 0) size[f] += cellBytes;
      }
    }
  }
  const double perRow = 1e9 / static_cast<double>(rows) / rounds;
  std::printf("%zu rows, %.1f MB in %zu files, %d rounds\n", rows, bytes / 1048576.0,
              files.size(), rounds);
  std::printf("splitting alone:             %7.1f ns a row\n", split * perRow);
  for (int f = 0; f < 2; ++f) {
    std::printf("summary pass (%-10s):   %7.1f ns a row more, %.1f MB of cells (%.1f %% of the files)\n",
                f == 0 ? "SQLite" : "PostgreSQL", (summed[f] - split) * perRow,
                size[f] / 1048576.0, 100.0 * size[f] / bytes);
  }
  return 0;
}
