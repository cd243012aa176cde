// The mount table reader: one mounted file system per line, with octal
// escapes in the device and directory.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "hostbridge/mount_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text = fuzz::asText(data, size);
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    mount_table::MountEntry entry;
    if (mount_table::parseMountLine(line, &entry)) {
      fuzz::require(!entry.type.empty(), "entry without a type");
      mount_table::isPseudoFileSystem(entry.type);
    }
    std::string decoded = mount_table::unescapeField(line);
    fuzz::require(decoded.size() <= line.size(), "decoding grew the field");
  }
  return 0;
}
