#include "hostbridge/mount_table.h"

#include <algorithm>
#include <array>

namespace mount_table {
namespace {

/// Splits off the next blank-separated field of `rest`.
std::string_view nextField(std::string_view* rest) {
  const std::size_t start = rest->find_first_not_of(" \t");
  if (start == std::string_view::npos) {
    *rest = {};
    return {};
  }
  std::size_t end = rest->find_first_of(" \t", start);
  if (end == std::string_view::npos) end = rest->size();
  const std::string_view field = rest->substr(start, end - start);
  rest->remove_prefix(end);
  return field;
}

/// True for '0' to '7'.
bool isOctalDigit(char c) { return c >= '0' && c <= '7'; }

/// File-system types without stored user data.
constexpr std::array<std::string_view, 25> kPseudoTypes = {
    "autofs",    "binfmt_misc", "bpf",    "cgroup",     "cgroup2",
    "configfs",  "debugfs",     "devpts", "devtmpfs",   "efivarfs",
    "fusectl",   "hugetlbfs",   "mqueue", "nfsd",       "nsfs",
    "proc",      "pstore",      "ramfs",  "rpc_pipefs", "securityfs",
    "selinuxfs", "sysfs",       "tmpfs",  "tracefs",    "usbfs",
};

}  // namespace

std::string unescapeField(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() &&
        isOctalDigit(field[i + 1]) && isOctalDigit(field[i + 2]) &&
        isOctalDigit(field[i + 3])) {
      const int value = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                        (field[i + 3] - '0');
      out.push_back(static_cast<char>(value & 0xFF));
      i += 3;
    } else {
      out.push_back(field[i]);
    }
  }
  return out;
}

bool parseMountLine(std::string_view line, MountEntry* entry) {
  std::string_view rest = line;
  const std::string_view device = nextField(&rest);
  const std::string_view directory = nextField(&rest);
  const std::string_view type = nextField(&rest);
  if (type.empty()) return false;
  entry->device = unescapeField(device);
  entry->directory = unescapeField(directory);
  entry->type = std::string(type);
  return true;
}

bool isPseudoFileSystem(std::string_view type) {
  return std::find(kPseudoTypes.begin(), kPseudoTypes.end(), type) !=
         kPseudoTypes.end();
}

}  // namespace mount_table
