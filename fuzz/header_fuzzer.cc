// Header reading: the log's own format lines, built-in formats, the
// field-count formats and the streaming variants. The first byte picks the
// format name and the column data types file; the rest is the log.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/run_log.h"
#include "fuzz/fuzz_support.h"
#include "parser/column_table.h"
#include "parser/header.h"
#include "parser/log_reader.h"

namespace {

constexpr std::array<std::string_view, 8> kFormatNames = {
    "", "real", "webaccess", "squid", "common", "straccess", "extended", "unknown"};
constexpr std::array<std::string_view, 3> kTypesFiles = {
    "config/datatypes.dat", "config/streaming_datatypes.dat",
    "config/smartfilter_datatypes.dat"};

const ColumnTable& baseTable(unsigned index) {
  static ColumnTable* tables = [] {
    auto* loaded = new ColumnTable[kTypesFiles.size()];
    for (std::size_t i = 0; i < kTypesFiles.size(); ++i) {
      std::string path = fuzz::scratchPath("header_types_" + std::to_string(i));
      fuzz::writeFile(path, fuzz::sourceFile(kTypesFiles[i]));
      loaded[i].clear();
      if (loaded[i].loadColumnTypes(path, RunLog("")) != 0) std::abort();
    }
    return loaded;
  }();
  return tables[index % kTypesFiles.size()];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string logPath = fuzz::scratchPath("header.log");
  static const RunLog quiet("");
  static auto* table = new ColumnTable;
  std::string_view input = fuzz::asText(data, size);
  unsigned selector = fuzz::takeSelector(&input);
  fuzz::writeFile(logPath, input);
  *table = baseTable(selector / kFormatNames.size());

  LogReader reader;
  if (!reader.open(logPath)) std::abort();
  HeaderLayout layout;
  std::string_view name = kFormatNames[selector % kFormatNames.size()];
  if (readHeader(reader, name, *table, layout, quiet) == 0) {
    fuzz::require(!layout.headerFields.empty() &&
                      layout.headerFields.size() <= kMaxColumns,
                  "header field count");
    for (int index : layout.headerFields) {
      fuzz::require(index >= 0 && index < table->count(), "field column index");
    }
    buildDerivedColumns(*table, layout, quiet);
    checkDuplicateColumns(*table, layout, quiet);
    countDeclaredColumns(*table, layout);
  }
  // The single-line readers on the input as it stands.
  HeaderLayout lineLayout;
  parseFieldsLine(input, *table, lineLayout, quiet);
  std::string logType;
  detectLogType(input, logType);
  streamingVariantText(static_cast<int>(selector % 32));
  return 0;
}
