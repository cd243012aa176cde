// A whole sorter run, hourly or billing: interval reading, sorting,
// grouping and writing. The first byte picks the mode, the interval and the
// measures; bit 7 set means the input holds the data types, ".zx3" and data
// files separated by "\n@@@\n", clear means the input is the data file of a
// fixed layout.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "zxsort/sort_run.h"

namespace {

constexpr std::array<int, 6> kIntervals = {1, 5, 15, 30, 60, 7};
constexpr std::array<const char*, 4> kOperations = {"10", "11", "12", "13"};

const std::string& fixedFile(const char* name) {
  static const std::string types =
      fuzz::sourceFile("tests/cases/zxsort/billing_quoted/datatypes.dat");
  static const std::string zx3 =
      fuzz::sourceFile("tests/cases/zxsort/billing_quoted/log.zx3");
  return std::string_view(name) == "types" ? types : zx3;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string base = fuzz::scratchPath("sort");
  static const std::string typesPath = fuzz::scratchPath("sort_types.dat");
  static const std::string runLogPath = fuzz::scratchPath("sort.out");
  std::string_view input = fuzz::asText(data, size);
  unsigned selector = fuzz::takeSelector(&input);
  if ((selector & 0x80) != 0) {
    auto parts = fuzz::splitParts(input, 3);
    fuzz::writeFile(typesPath, parts[0]);
    fuzz::writeFile(base + ".zx3", parts[1]);
    fuzz::writeFile(base + ".csv", parts[2]);
  } else {
    fuzz::writeFile(typesPath, fixedFile("types"));
    fuzz::writeFile(base + ".zx3", fixedFile("zx3"));
    fuzz::writeFile(base + ".csv", input);
  }
  fuzz::writeFile(runLogPath, "");

  const bool billing = (selector & 1) != 0;
  std::vector<std::string> args = {
      "-m", billing ? "1" : "0", "-i",
      std::to_string(kIntervals[(selector >> 1) % kIntervals.size()]),
      "-v", base, "-d", typesPath, "-l", runLogPath};
  if (billing) {
    const char* op = kOperations[(selector >> 4) % 4];
    args.insert(args.end(), {"-b1", std::string("bytes:") + op, "-b2", "bytes:11",
                             "-b3", std::string("duration:") + kOperations[(selector >> 5) % 4]});
  }
  int status = runSort(args);
  fuzz::require(status <= 0, "positive sorter status");
  return 0;
}
