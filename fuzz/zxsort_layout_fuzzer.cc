// The sorter's column layout: the column data types file and the column
// description file (".zx3") with the first data line. The input holds the
// three files separated by "\n@@@\n"; its first byte picks the mode and
// the billing measures.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "zxsort/column_layout.h"
#include "zxsort/sort_options.h"

namespace {

// A stream reading `text` (a copy kept alive by the caller).
std::FILE* openText(std::string& text) {
  if (text.empty()) return std::fopen("/dev/null", "rb");
  return fmemopen(text.data(), text.size(), "rb");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input = fuzz::asText(data, size);
  unsigned selector = fuzz::takeSelector(&input);
  auto parts = fuzz::splitParts(input, 3);
  std::string types(parts[0]), zx3(parts[1]), firstLine(parts[2]);

  BillingMeasure measures[3];
  const char* names[3] = {"bytes", "duration", "timetaken"};
  for (int n = 0; n < 3; ++n) {
    if ((selector >> (n + 1) & 1) == 0) continue;
    measures[n].columnName = names[n];
    measures[n].operation = kMeasureMinimum + static_cast<int>((selector >> 4) + n) % 4;
  }
  ColumnLayout layout;
  layout.mode = static_cast<int>(selector & 1);
  layout.interval = (selector & 0x80) != 0 ? 1 : 15;

  std::FILE* typesFile = openText(types);
  DataTypesResult loaded = readDataTypes(typesFile, measures, &layout);
  std::fclose(typesFile);
  if (loaded.status < 0) return 0;
  fuzz::require(layout.table.size() <= kMaxUsedColumns, "too many used columns");

  std::FILE* zx3File = openText(zx3);
  std::FILE* dataFile = openText(firstLine);
  HeaderResult header = readColumnHeader(zx3File, dataFile, &layout);
  std::fclose(zx3File);
  std::fclose(dataFile);
  if (header.status != 0) return 0;
  for (int n = 1; n <= 3; ++n) measureOperation(layout, n);
  for (std::size_t k = 0; k < layout.numericColumns.size(); ++k) {
    isLastColumn(layout, static_cast<int>(k));
  }
  minuteOf(firstLine);
  dateHourOf(firstLine);
  hourOf(firstLine);
  return 0;
}
