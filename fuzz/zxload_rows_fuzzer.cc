// The loader's row reader: data and sort file lines split into values by
// the file's own rules, with numbers (and their ranges) and time stamps
// checked. The first bytes choose the quoting and up to eight column types.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "zxload/row_values.h"

namespace {

LoadPlan planFrom(std::string_view* text) {
  LoadPlan plan;
  if (text->empty()) return plan;
  const unsigned char head = static_cast<unsigned char>(text->front());
  text->remove_prefix(1);
  plan.quotedText = (head & 0x80) != 0;
  const std::size_t count = 1 + (head & 0x07);
  for (std::size_t k = 0; k < count && !text->empty(); ++k) {
    const unsigned char kind = static_cast<unsigned char>(text->front()) % 4;
    text->remove_prefix(1);
    plan.columns.push_back({"c" + std::to_string(k), static_cast<ColumnType>(kind)});
  }
  return plan;
}

bool within(std::string_view part, std::string_view whole) {
  return part.empty() ||
         (part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text = fuzz::asText(data, size);
  const LoadPlan plan = planFrom(&text);
  if (plan.columns.empty()) return 0;
  RowSplitter splitter(plan);
  std::string error;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!splitter.split(line, &error)) {
      fuzz::require(!error.empty(), "a refused row without a reason");
      continue;
    }
    fuzz::require(splitter.values().size() == plan.columns.size(), "wrong number of values");
    for (std::size_t k = 0; k < plan.columns.size(); ++k) {
      const RowValue& value = splitter.values()[k];
      fuzz::require(within(value.text, line), "a value outside its line");
      if (value.null) continue;
      const ColumnType type = plan.columns[k].type;
      if (type == ColumnType::kInteger || type == ColumnType::kReal) {
        fuzz::require(isNumber(value.text), "a number that is not one");
        fuzz::require(numberRangeProblem(value.text, type) == nullptr,
                      "a number its column cannot hold");
      } else if (type == ColumnType::kTimestamp) {
        fuzz::require(isTimestamp(value.text), "a time stamp that is not one");
      }
    }
  }
  return 0;
}
