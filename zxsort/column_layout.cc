#include "zxsort/column_layout.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

namespace {

const char* const kAttributeNames[] = {
    "contenttype", "timestampid", "dt_hour",  "dt_dayofweek", "dt_month",
    "dt_quarter",  "dt_year",     "refcount", "groupid"};

const char* const kBillingKeyNames[] = {"userip", "username", "url", "method",
                                        "logformat"};

template <std::size_t N>
bool isOneOf(std::string_view name, const char* const (&names)[N]) {
  for (const char* candidate : names) {
    if (name == candidate) return true;
  }
  return false;
}

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' ||
         c == '\r';
}

// Reads one line, line end included; false at the end of the file. Of a
// line longer than `limit` only the first limit + 1 bytes are kept (so the
// caller sees that it is too long) and the rest is consumed unstored.
bool readLine(std::FILE* file, std::size_t limit, std::string* line) {
  line->clear();
  int c;
  while ((c = std::getc(file)) != EOF) {
    if (line->size() <= limit) line->push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  return !line->empty();
}

// The fields of a data types line read as "%s %s %d %s %s" reads them.
struct DataTypesFields {
  int count = 0;
  std::string_view typeName;
  int flag = 0;
  std::string_view name;
};

// Next run of non-blank characters from `*i`, blanks before it skipped.
bool nextWord(std::string_view line, std::size_t* i, std::string_view* word) {
  while (*i < line.size() && isSpace(line[*i])) ++*i;
  std::size_t start = *i;
  while (*i < line.size() && !isSpace(line[*i])) ++*i;
  *word = line.substr(start, *i - start);
  return *i > start;
}

DataTypesFields scanDataTypesLine(std::string_view line) {
  DataTypesFields fields;
  std::size_t i = 0;
  std::string_view word;
  if (!nextWord(line, &i, &word)) return fields;
  fields.count = 1;
  if (!nextWord(line, &i, &fields.typeName)) return fields;
  fields.count = 2;
  while (i < line.size() && isSpace(line[i])) ++i;
  std::size_t start = i;
  if (i < line.size() && (line[i] == '+' || line[i] == '-')) ++i;
  std::size_t digitsStart = i;
  while (i < line.size() && line[i] >= '0' && line[i] <= '9') ++i;
  if (i == digitsStart) return fields;
  if (!readLeadingInt(std::string(line.substr(start, i - start)), &fields.flag)) {
    return fields;
  }
  fields.count = 3;
  if (!nextWord(line, &i, &fields.name)) return fields;
  fields.count = 4;
  return fields;
}

int findColumn(const ColumnLayout& layout, std::string_view name) {
  for (std::size_t k = 0; k < layout.table.size(); ++k) {
    if (layout.table[k].name == name) return static_cast<int>(k);
  }
  return -1;
}

// Derives the per-position roles and position lists from the class lists.
void resolvePositions(ColumnLayout* layout) {
  const int count = layout->columnCount;
  const bool hourly = layout->mode == 0;
  layout->roles.assign(count, hourly ? kRoleKey : kRoleDrop);
  layout->measuresAt.assign(count, 0);
  for (int n = 0; n < 3; ++n) {
    const MeasureColumn& carrier = layout->measureColumns[n];
    if (carrier.column < 0) continue;
    int p = layout->table[carrier.column].position;
    if (p < 0 || p >= count) continue;
    layout->measuresAt[p] |= static_cast<std::uint8_t>(1u << n);
    if (layout->roles[p] == kRoleDrop) layout->roles[p] = kRoleMeasure;
  }
  for (int c : layout->keyColumns) {
    int p = layout->table[c].position;
    if (p >= 0 && p < count) layout->roles[p] = kRoleKey;
  }
  for (int c : layout->numericColumns) {
    int p = layout->table[c].position;
    if (p >= 0 && p < count) layout->roles[p] = kRoleNumeric;
  }
  for (int c : layout->attributeColumns) {
    int p = layout->table[c].position;
    if (p >= 0 && p < count) layout->roles[p] = kRoleAttribute;
  }
  layout->keyPositions.clear();
  layout->attributePositions.clear();
  layout->numericPositions.clear();
  for (int p = 0; p < count; ++p) {
    if (layout->roles[p] == kRoleKey) layout->keyPositions.push_back(p);
    if (layout->roles[p] == kRoleAttribute) layout->attributePositions.push_back(p);
    if (layout->roles[p] == kRoleNumeric) layout->numericPositions.push_back(p);
  }
  layout->hourPosition = -1;
  layout->refcountPosition = -1;
  for (int c : layout->attributeColumns) {
    const ColumnInfo& column = layout->table[c];
    if (layout->hourPosition < 0 && column.name == "dt_hour") {
      layout->hourPosition = column.position;
    }
    if (layout->refcountPosition < 0 && column.name == "refcount") {
      layout->refcountPosition = column.position;
    }
  }
}

// Sets the first interval's start from the first data line.
void readFirstStart(std::FILE* data, ColumnLayout* layout) {
  std::string line;
  int c;
  while (line.size() < kMaxLineLength && (c = std::getc(data)) != EOF) {
    line.push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  const bool hourly = layout->interval == 60;
  int deciding = hourly ? layout->hourPosition : layout->timestampPosition;
  if (line.empty() || deciding < 0) return;
  std::string_view value;
  bool found = false;
  splitValues(line, [&](int index, std::string_view v) {
    if (index == deciding) {
      value = v;
      found = true;
    }
  });
  if (!found) return;
  if (hourly) {
    layout->currentStart = hourOf(value);
  } else {
    layout->currentStart = intervalStartOf(minuteOf(value), layout->interval);
    layout->currentDateHour = std::string(dateHourOf(value));
  }
}

const char* className(PositionRole role) {
  switch (role) {
    case kRoleKey: return "key";
    case kRoleAttribute: return "attribute";
    default: return "numeric";
  }
}

}  // namespace

void classifyColumn(ColumnInfo* column, std::string_view typeName, int mode,
                    const BillingMeasure measures[3], bool found[3]) {
  if (mode == 0) {
    if (typeName == "SQLFLOAT") {
      column->columnClass = kNumericClass;
    } else if (isOneOf(column->name, kAttributeNames)) {
      column->columnClass = kAttributeClass;
    } else {
      column->columnClass = kKeyClass;
    }
    return;
  }
  column->measureCount = 0;
  for (int k = 0; k < 3; ++k) {
    if (column->name != measures[k].columnName) continue;
    column->measureOps[column->measureCount] = measures[k].operation;
    column->measureNumbers[column->measureCount] = k + 1;
    ++column->measureCount;
    found[k] = true;
  }
  if (column->measureCount > 0) {
    column->columnClass = column->measureOps[0];
  } else if (isOneOf(column->name, kBillingKeyNames)) {
    column->columnClass = kKeyClass;
  } else {
    column->columnClass = kAttributeClass;
  }
}

DataTypesResult readDataTypes(std::FILE* file, const BillingMeasure measures[3],
                              ColumnLayout* layout) {
  DataTypesResult result;
  layout->table.clear();
  layout->table.reserve(kMaxUsedColumns);
  bool found[3] = {false, false, false};
  std::string line;
  int lineNumber = 0;
  while (readLine(file, kMaxLineLength, &line)) {
    ++lineNumber;
    if (line.size() > kMaxLineLength) {
      result.status = kLayoutTooLarge;
      result.message = "Error: dataType file line " + std::to_string(lineNumber) +
                       " longer than 3321 characters";
      return result;
    }
    if (line[0] == '#') continue;
    DataTypesFields fields = scanDataTypesLine(line);
    if (fields.count < 4 || fields.flag != 1) continue;
    if (fields.name.size() > kMaxColumnName) {
      result.status = kLayoutTooLarge;
      result.message = "Error: dataType file column name longer than 47 characters at line " +
                       std::to_string(lineNumber);
      return result;
    }
    if (static_cast<int>(layout->table.size()) >= kMaxUsedColumns) {
      result.status = kLayoutTooLarge;
      result.message = "Error: more than 512 used columns in dataType file";
      return result;
    }
    ColumnInfo column;
    column.name = std::string(fields.name);
    classifyColumn(&column, fields.typeName, layout->mode, measures, found);
    layout->table.push_back(std::move(column));
  }
  if (layout->table.size() < 256) layout->table.shrink_to_fit();
  if (layout->mode == 1 && !(found[0] && found[1] && found[2])) {
    result.status = -10;
    return result;
  }
  result.status = static_cast<int>(layout->table.size());
  return result;
}

HeaderResult readColumnHeader(std::FILE* zx3, std::FILE* data,
                              ColumnLayout* layout) {
  HeaderResult result;
  std::string line;
  int position = 0;
  while (readLine(zx3, kMaxZx3LineLength, &line)) {
    std::size_t n = line.size();
    if (n > kMaxZx3LineLength) {
      result.status = kLayoutTooLarge;
      result.message = "Error: zx3 file line longer than " +
                       std::to_string(kMaxZx3LineLength) + " characters";
      return result;
    }
    if (n > 2 && line[n - 2] == '\r' && line[n - 1] == '\n') line.resize(n - 2);
    int status = 0;
    splitValues(line, [&](int, std::string_view name) {
      if (status != 0) return;
      if (position >= kMaxUsedColumns) {
        status = kLayoutTooLarge;
        result.message = "Error: more than 512 columns in zx3 file";
        return;
      }
      if (name == "timestampid") layout->timestampPosition = position;
      if (name == "groupid") layout->groupIdPosition = position;
      int c = findColumn(*layout, name);
      if (c < 0) {
        std::printf("ERROR: ZX3 field name not found: %.*s",
                    static_cast<int>(name.size()), name.data());
        std::fflush(stdout);
        status = -7;
        return;
      }
      ColumnInfo& column = layout->table[c];
      column.position = position;
      std::vector<int>* list = nullptr;
      if (column.columnClass == kKeyClass) list = &layout->keyColumns;
      if (column.columnClass == kAttributeClass) list = &layout->attributeColumns;
      if (column.columnClass == kNumericClass) list = &layout->numericColumns;
      if (list != nullptr) {
        if (static_cast<int>(list->size()) >= kMaxClassColumns) {
          status = kLayoutTooLarge;
          result.message = std::string("Error: more than 64 ") +
                           className(list == &layout->keyColumns ? kRoleKey
                                     : list == &layout->attributeColumns
                                         ? kRoleAttribute
                                         : kRoleNumeric) +
                           " columns in zx3 file";
          return;
        }
        list->push_back(c);
      }
      for (int m = 0; m < column.measureCount; ++m) {
        int number = column.measureNumbers[m];
        if (number < 1 || number > 3) continue;
        layout->measureColumns[number - 1].column = c;
        layout->measureColumns[number - 1].index = m;
      }
      ++position;
    });
    if (status != 0) {
      result.status = status;
      return result;
    }
    layout->columnCount = position;
  }
  resolvePositions(layout);
  readFirstStart(data, layout);
  return result;
}

int measureOperation(const ColumnLayout& layout, int n) {
  if (n < 1 || n > 3) return -1;
  const MeasureColumn& carrier = layout.measureColumns[n - 1];
  if (carrier.column < 0) return -1;
  return layout.table[carrier.column].measureOps[carrier.index];
}

bool isLastColumn(const ColumnLayout& layout, int k) {
  if (k < 0 || k >= static_cast<int>(layout.numericColumns.size())) return false;
  return layout.table[layout.numericColumns[k]].position + 1 == layout.columnCount;
}

int minuteOf(std::string_view timestamp) {
  // The second blank-separated word is the time of day.
  std::size_t i = 0;
  while (i < timestamp.size() && timestamp[i] == ' ') ++i;
  while (i < timestamp.size() && timestamp[i] != ' ') ++i;
  while (i < timestamp.size() && timestamp[i] == ' ') ++i;
  std::size_t end = i;
  while (end < timestamp.size() && timestamp[end] != ' ' && end - i < 15) ++end;
  std::string_view time = timestamp.substr(i, end - i);
  // The second colon-separated part is the minute.
  std::size_t j = 0;
  while (j < time.size() && time[j] == ':') ++j;
  while (j < time.size() && time[j] != ':') ++j;
  while (j < time.size() && time[j] == ':') ++j;
  if (j >= time.size()) return 0;
  int minute = 0;
  for (int digits = 0; j < time.size() && time[j] >= '0' && time[j] <= '9' && digits < 9;
       ++j, ++digits) {
    minute = minute * 10 + (time[j] - '0');
  }
  return minute;
}

std::string_view dateHourOf(std::string_view timestamp) {
  std::size_t blank = timestamp.find(' ');
  if (blank == std::string_view::npos) return timestamp;
  std::size_t colon = timestamp.find(':', blank);
  if (colon == std::string_view::npos) return timestamp;
  return timestamp.substr(0, colon);
}

int hourOf(std::string_view value) {
  std::size_t i = 0;
  if (i < value.size() && value[i] == '\'') ++i;
  while (i < value.size() && isSpace(value[i])) ++i;
  bool negative = false;
  if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
    negative = value[i] == '-';
    ++i;
  }
  // Saturates instead of overflowing: any hour past the int range is as
  // far from 0 to 23 as INT_MAX is.
  long long hour = 0;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    hour = std::min<long long>(hour * 10 + (value[i] - '0'), INT_MAX);
  }
  return static_cast<int>(negative ? -hour : hour);
}

int intervalStartOf(int minute, int interval) {
  if (interval == 1) return minute;
  return minute - minute % 5;
}
