#include "parser/column_table.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <numeric>

#include "common/run_log.h"
#include "common/text_file.h"

namespace {

/// Size of one read of the column data types file: 1,023 characters and
/// the terminating zero.
constexpr std::size_t kTypesLineBuffer = 1024;

/// White space as formatted input skips it.
bool isWhite(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' ||
         c == '\f';
}

/// Reads the fields of a column line the way "%s %s %d %s %s" does,
/// without ever writing past a field's limit.
class FieldScanner {
 public:
  explicit FieldScanner(std::string_view text) : text_(text) {}

  /// The next run of non-white characters; false at the end of the text.
  bool word(std::string_view* out) {
    skipWhite();
    std::size_t start = pos_;
    while (pos_ < text_.size() && !isWhite(text_[pos_])) ++pos_;
    if (pos_ == start) return false;
    *out = text_.substr(start, pos_ - start);
    return true;
  }

  /// A decimal integer with an optional sign; false when there are no
  /// digits. Values past the range of int are clamped.
  bool integer(int* out) {
    skipWhite();
    std::size_t p = pos_;
    bool negative = false;
    if (p < text_.size() && (text_[p] == '+' || text_[p] == '-')) {
      negative = text_[p] == '-';
      ++p;
    }
    std::size_t digitsStart = p;
    long long value = 0;
    constexpr long long kCap = 1LL << 40;
    while (p < text_.size() && text_[p] >= '0' && text_[p] <= '9') {
      if (value < kCap) value = value * 10 + (text_[p] - '0');
      ++p;
    }
    if (p == digitsStart) return false;
    pos_ = p;
    if (negative) value = -value;
    value = std::clamp<long long>(value, std::numeric_limits<int>::min(),
                                  std::numeric_limits<int>::max());
    *out = static_cast<int>(value);
    return true;
  }

 private:
  void skipWhite() {
    while (pos_ < text_.size() && isWhite(text_[pos_])) ++pos_;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

/// The rule kind a keyword names.
int ruleKindOf(std::string_view keyword) {
  if (keyword == "replace") return kRuleReplace;
  if (keyword == "esearch") return kRuleESearch;
  if (keyword == "exclude") return kRuleExclude;
  if (keyword == "site") return kRuleSite;
  if (keyword == "host") return kRuleHost;
  return kRuleNone;
}

/// Fills `column` from one column line (defaults for fields not read).
void readColumnLine(std::string_view line, ColumnDef& column) {
  column = ColumnDef();
  FieldScanner scanner(line);
  std::string_view logName;
  std::string_view typeName;
  std::string_view dbName;
  std::string_view rules;
  if (scanner.word(&logName)) {
    column.logName.assign(logName);
    if (scanner.word(&typeName)) {
      int flag = 0;
      if (scanner.integer(&flag)) {
        column.outputFlag = flag;
        if (scanner.word(&dbName)) {
          column.dbName.assign(dbName);
          if (scanner.word(&rules)) column.rulesText.assign(rules);
        }
      }
    }
  }
  column.sqlType = sqlTypeFromName(typeName);
  parseRules(column);
}

}  // namespace

int sqlTypeFromName(std::string_view typeName) {
  if (typeName == "SQLINTEGER") return kSqlInteger;
  if (typeName == "SQLFLOAT") return kSqlFloat;
  if (typeName == "SQLDOUBLE") return kSqlDouble;
  return kSqlText;
}

int compareIgnoringCase(std::string_view a, std::string_view b) {
  std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    unsigned char ca = static_cast<unsigned char>(a[i]);
    unsigned char cb = static_cast<unsigned char>(b[i]);
    if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca - 'A' + 'a');
    if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb - 'A' + 'a');
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

void parseRules(ColumnDef& column) {
  column.ruleCount = 0;
  std::string_view text = column.rulesText.view();
  // Index of the rule values go to; -1 before the first keyword and after
  // a keyword past the fifth, whose values are dropped with it.
  int current = -1;
  std::size_t pos = 0;
  while (true) {
    if (pos < text.size() && text[pos] == '"') ++pos;
    std::size_t start = pos;
    while (pos < text.size() && text[pos] != '=' && text[pos] != ':' &&
           text[pos] != ';' && text[pos] != '"' && text[pos] != '\n') {
      ++pos;
    }
    if (pos >= text.size() || text[pos] == '"' || text[pos] == '\n') return;
    std::string_view token = text.substr(start, pos - start);
    if (text[pos] == '=') {
      if (column.ruleCount < kMaxRules) {
        current = column.ruleCount++;
        FieldRule& rule = column.rules[current];
        rule = FieldRule();
        rule.kind = ruleKindOf(token);
      } else {
        current = -1;
      }
    } else if (current >= 0) {
      FieldRule& rule = column.rules[current];
      if (rule.valueCount < kMaxRuleValues) {
        rule.values[rule.valueCount++].assign(token);
      }
    }
    ++pos;
  }
}

void ColumnTable::clear() {
  for (ColumnDef& column : entries_) {
    column = ColumnDef();
    column.sqlType = 0;
  }
  count_ = 0;
  ignoredLines_ = 0;
}

int ColumnTable::loadColumnTypes(const std::string& path, const RunLog& log) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return -7;
  count_ = 0;
  ignoredLines_ = 0;
  char line[kTypesLineBuffer];
  long length;
  while ((length = readTextLine(file, line, sizeof line)) >= 0) {
    if (line[0] == '#') continue;
    if (count_ >= kMaxColumns) {
      ++ignoredLines_;
      continue;
    }
    readColumnLine(std::string_view(line, static_cast<std::size_t>(length)),
                   entries_[count_]);
    ++count_;
  }
  std::fclose(file);
  sortByLogName();
  if (ignoredLines_ > 0) {
    log.logFormat(5, "More than %d columns in %s: %ld lines ignored",
                  kMaxColumns, path.c_str(), ignoredLines_);
  }
  log.logCount(3, "HTTP & Streaming Fields Count = ", count_);
  return 0;
}

void ColumnTable::sortByLogName() {
  // Entries are large: sort their positions, then move each entry once,
  // following the cycles of the permutation.
  std::array<std::int16_t, kMaxColumns> order;
  std::iota(order.begin(), order.begin() + count_, std::int16_t{0});
  std::stable_sort(order.begin(), order.begin() + count_,
                   [this](std::int16_t a, std::int16_t b) {
                     return compareIgnoringCase(entries_[a].logName.view(),
                                                entries_[b].logName.view()) < 0;
                   });
  for (int start = 0; start < count_; ++start) {
    if (order[start] == start) continue;
    ColumnDef held = std::move(entries_[start]);
    int at = start;
    while (order[at] != start) {
      const int from = order[at];
      entries_[at] = std::move(entries_[from]);
      order[at] = static_cast<std::int16_t>(at);
      at = from;
    }
    entries_[at] = std::move(held);
    order[at] = static_cast<std::int16_t>(at);
  }
}

int ColumnTable::findColumn(std::string_view name) const {
  // Lower bound, so of several equal names the one first in the file wins.
  int low = 0;
  int high = count_;
  while (low < high) {
    int middle = low + (high - low) / 2;
    if (compareIgnoringCase(entries_[middle].logName.view(), name) < 0) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  if (low < count_ &&
      compareIgnoringCase(entries_[low].logName.view(), name) == 0) {
    return low;
  }
  return -1;
}
