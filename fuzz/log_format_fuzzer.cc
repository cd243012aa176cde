// Format definitions from outside: an -f value or a server's configuration
// file, compiled and bound to the columns, then log lines read by it (a
// source that reads lines alone reads each also in place, after padding,
// as the thread reading ahead does, with the same outcome). The
// first byte picks the kind (Apache or nginx format, Apache or nginx
// configuration file, JSON key mapping) and the database; the input up to
// the first part break is the definition, the rest one log line a line.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/platform.h"
#include "common/run_log.h"
#include "fuzz/fuzz_support.h"
#include "parser/column_table.h"
#include "parser/header.h"
#include "parser/identifier_tables.h"
#include "parser/line_loop.h"
#include "parser/log_format.h"
#include "parser/row_builder.h"

namespace {

struct Fixture {
  ColumnTable table;
  IdentifierTables ids;
  std::string configPath;
};

Fixture& fixture() {
  static Fixture* loaded = [] {
    platform::setTimeZone("Europe/Berlin");
    auto* f = new Fixture;
    std::string path = fuzz::scratchPath("log_format_types");
    fuzz::writeFile(path, fuzz::sourceFile("config/datatypes.dat"));
    f->table.clear();
    if (f->table.loadColumnTypes(path, RunLog("")) != 0) std::abort();
    fuzz::writeFile(fuzz::scratchPath("log_format_types.id"),
                    fuzz::sourceFile("config/datatypes.dat.id"));
    f->ids.load(fuzz::scratchPath("log_format_types.id"));
    f->configPath = fuzz::scratchPath("log_format.conf");
    return f;
  }();
  return *loaded;
}

/// The -f value for the definition `text` of kind `kind`.
std::string optionValue(unsigned kind, std::string_view text, const std::string& config) {
  switch (kind % 5) {
    case 0: return "apache:" + std::string(text);
    case 1: return "nginx:" + std::string(text);
    case 2: return "apache-conf:" + config + ":fuzz";
    case 3: return "nginx-conf:" + config + ":fuzz";
    default: return "json:" + std::string(text);
  }
}

/// Reads `line` by copy and in place after kLinePadding blanks; aborts when
/// the outcomes, problems or values differ.
void requireSameInPlace(FieldSource& source, std::string_view line, std::size_t positions) {
  std::vector<std::string_view> values(positions);
  int found = 0;
  const SourceOutcome outcome = source.read(line, values.data(), &found);
  const std::string problem(source.problem());
  std::vector<std::string> copied(values.begin(), values.end());
  std::string padded(line);
  padded.append(kLinePadding, ' ');
  int foundInPlace = 0;
  const SourceOutcome inPlace = source.readPadded(
      std::string_view(padded.data(), line.size()), values.data(), &foundInPlace);
  fuzz::require(inPlace == outcome && foundInPlace == found && source.problem() == problem,
                "a line read in place ends otherwise than its copy");
  for (std::size_t p = 0; p < positions; ++p) {
    fuzz::require(values[p] == copied[p], "a value read in place differs from its copy's");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const RunLog quiet("");
  static auto* table = new ColumnTable;
  Fixture& f = fixture();
  std::string_view input = fuzz::asText(data, size);
  const unsigned selector = fuzz::takeSelector(&input);
  std::vector<std::string_view> parts = fuzz::splitParts(input, 2);
  if (parts[0].size() > kMaxLogFormatLength) return 0;
  // Configuration kinds read the definition as the file's content.
  if (selector % 5 == 2 || selector % 5 == 3) fuzz::writeFile(f.configPath, parts[0]);
  const std::string value = optionValue(selector, parts[0], f.configPath);
  *table = f.table;
  const DbKind db = static_cast<DbKind>((selector / 5) % 4);

  LogFormatChoice choice;
  std::string error;
  if (!parseLogFormatOption(value, &choice, &error)) return 0;
  HeaderLayout layout;
  std::unique_ptr<FieldSource> source = buildLogFormat(choice, *table, layout, quiet, &error);
  if (source == nullptr) {
    fuzz::require(!error.empty(), "a definition refused without a reason");
    return 0;
  }
  fuzz::require(!layout.headerFields.empty(), "a layout that loads nothing");
  buildDerivedColumns(*table, layout, quiet);
  checkDuplicateColumns(*table, layout, quiet);
  const std::size_t declared = static_cast<std::size_t>(countDeclaredColumns(*table, layout));

  auto builder = std::make_unique<RowBuilder>(*table, layout, f.ids, db, DataSet::Raw, quiet);
  builder->setFieldSource(source.get());
  RunCounters counters;
  std::string_view lines = parts[1];
  while (!lines.empty()) {
    std::size_t end = lines.find('\n');
    end = end == std::string_view::npos ? lines.size() : end + 1;
    std::string_view line = lines.substr(0, std::min(end, kMaxLineLength));
    lines.remove_prefix(end);
    if (source->readsLinesAlone()) requireSameInPlace(*source, line, layout.headerFields.size());
    LineResult result = builder->convertLine(line, counters);
    if (result.malformed ||
        static_cast<std::size_t>(result.fieldCount) != layout.headerFields.size()) {
      fuzz::require(!result.problem.empty(), "a line refused without a reason");
      continue;
    }
    if (result.excluded) continue;
    builder->finishRow();
    fuzz::requireRow(builder->row(), declared);
  }
  return 0;
}
