#include "parser/identifier_tables.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <limits>
#include <string>
#include <unordered_map>

#include "common/text_file.h"

namespace {

/// Name of the identifier file, looked for beside the column data types file.
constexpr std::string_view kIdentifierFileName = "datatypes.dat.id";
/// Bytes of one line read (a line holds at most 999 characters; a longer
/// one is read as several lines).
constexpr std::size_t kLineBufferSize = 1000;
/// Longest name an entry may have; lines with longer names are skipped.
constexpr std::size_t kMaxIdentifierName = 499;
/// Sections of the file that have tables.
constexpr int kSectionCount = 9;

constexpr int kLogTypeSection = 1;
constexpr int kActionSection = 2;
constexpr int kAbortCodeSection = 3;
constexpr int kTransactionSection = 4;

/// Hashes names so that lookups by string_view need no temporary string.
struct NameHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view name) const {
    return std::hash<std::string_view>()(name);
  }
};

using NameTable =
    std::unordered_map<std::string, int, NameHash, std::equal_to<>>;

/// A parsed identifier line: the name before the first '@' and the number
/// after it.
struct IdentifierLine {
  std::string_view name;
  int number = 0;
};

bool isFormatSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' ||
         c == '\r';
}

/// Reads "name@number": a non-empty name up to the first '@', then a
/// decimal integer with optional white space and sign before it. False for
/// a line that yields no name or no number, a name longer than 499
/// characters or a number outside the 32-bit range.
bool parseIdentifierLine(std::string_view line, IdentifierLine* parsed) {
  std::size_t at = line.find('@');
  if (at == std::string_view::npos || at == 0 || at > kMaxIdentifierName) {
    return false;
  }
  std::size_t position = at + 1;
  while (position < line.size() && isFormatSpace(line[position])) ++position;
  bool negative = false;
  if (position < line.size() &&
      (line[position] == '-' || line[position] == '+')) {
    negative = line[position] == '-';
    ++position;
  }
  std::int64_t magnitude = 0;
  std::size_t digits = 0;
  const std::int64_t limit =
      negative ? -static_cast<std::int64_t>(std::numeric_limits<int>::min())
               : std::numeric_limits<int>::max();
  while (position < line.size() && line[position] >= '0' &&
         line[position] <= '9') {
    magnitude = magnitude * 10 + (line[position] - '0');
    if (magnitude > limit) return false;
    ++position;
    ++digits;
  }
  if (digits == 0) return false;
  parsed->name = line.substr(0, at);
  parsed->number = static_cast<int>(negative ? -magnitude : magnitude);
  return true;
}

}  // namespace

struct IdentifierTables::Tables {
  std::array<NameTable, kSectionCount> sections;

  int find(int section, std::string_view name) const {
    const NameTable& table = sections[section - 1];
    auto found = table.find(name);
    return found == table.end() ? 0 : found->second;
  }
};

IdentifierTables::IdentifierTables() : tables_(new Tables) {}

IdentifierTables::~IdentifierTables() { delete tables_; }

void IdentifierTables::load(const std::string& path) {
  std::size_t slash = path.find_last_of("/\\");
  std::string filePath =
      slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  filePath.append(kIdentifierFileName);

  std::FILE* file = std::fopen(filePath.c_str(), "rb");
  if (file == nullptr) return;
  char buffer[kLineBufferSize];
  int section = 0;
  long length;
  while ((length = readTextLine(file, buffer, sizeof buffer)) >= 0) {
    std::string_view line(buffer, static_cast<std::size_t>(length));
    IdentifierLine parsed;
    if (!parseIdentifierLine(line, &parsed)) continue;
    if (line.find("[START") != std::string_view::npos) {
      section = parsed.number;
      continue;
    }
    if (section < 1 || section > kSectionCount) continue;
    NameTable& table = tables_->sections[section - 1];
    auto found = table.find(parsed.name);
    if (found != table.end()) {
      found->second = parsed.number;
    } else {
      table.emplace(std::string(parsed.name), parsed.number);
    }
  }
  std::fclose(file);
}

int IdentifierTables::logTypeId(std::string_view name) const {
  return tables_->find(kLogTypeSection, name);
}

int IdentifierTables::actionId(std::string_view name) const {
  return tables_->find(kActionSection, name);
}

int IdentifierTables::abortCodeId(std::string_view name) const {
  return tables_->find(kAbortCodeSection, name);
}

int IdentifierTables::transactionId(std::string_view name) const {
  return tables_->find(kTransactionSection, name);
}
