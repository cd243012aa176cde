// The identifier file: sections of "name@number" lines.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "parser/identifier_tables.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string file = fuzz::scratchPath("datatypes.dat.id");
  static const std::string typesPath = fuzz::scratchPath("datatypes.dat");
  std::string_view text = fuzz::asText(data, size);
  fuzz::writeFile(file, text);
  IdentifierTables ids;
  ids.load(typesPath);
  // Look up every name the file holds, and a few that it may not.
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    std::string_view name = line.substr(0, line.find('@'));
    ids.logTypeId(name);
    ids.actionId(name);
    ids.abortCodeId(name);
    ids.transactionId(name);
    start = end + 1;
  }
  ids.logTypeId("");
  ids.actionId("play");
  return 0;
}
