#include "parser/row_builder.h"

#include <cstdint>
#include <cstring>

#include "common/run_log.h"
#include "parser/field_source.h"
#include "parser/byte_search.h"
#include "parser/field_splitter.h"
#include "parser/identifier_tables.h"

namespace {

/// The field whose value tells whether a SmartFilter line is categorised.
constexpr std::string_view kCategoriesField = "x-smartfilter-categories";

/// The value a placeholder ("-" or empty) stands for in a column of this
/// type: "0" for numbers, "-" for an empty text; other values unchanged.
std::string_view placeholderRewrite(bool isText, std::string_view value) {
  if (!isText) {
    if (value.empty() || value == "-") return "0";
    return value;
  }
  return value.empty() ? std::string_view("-") : value;
}

std::string_view placeholderRewrite(const ColumnDef& column,
                                    std::string_view value) {
  return placeholderRewrite(column.isText(), value);
}

/// The value written for the line's first field: "-" stands for 0 unless
/// the value is quoted; an empty value is rewritten like at any position.
std::string_view firstPositionRewrite(bool isText, bool quoted,
                                      std::string_view value) {
  if (!quoted && value == "-") return "0";
  return placeholderRewrite(isText, value);
}

/// Replaces every `a` and `b` in the `length` characters at `text` by a
/// blank.
void blankOut(char* text, std::size_t length, char a, char b) {
  for (std::size_t i = 0; i < length; ++i) {
    if (text[i] == a || text[i] == b) text[i] = ' ';
  }
}

/// Writes `number` in decimal into `buffer` (at least 12 bytes); returns the
/// text.
std::string_view formatDecimal(int number, char* buffer) {
  char* end = buffer + 12;
  char* at = end;
  // Negative numbers are built from the negative side so INT_MIN fits.
  bool negative = number < 0;
  do {
    int digit = number % 10;
    *--at = static_cast<char>('0' + (negative ? -digit : digit));
    number /= 10;
  } while (number != 0);
  if (negative) *--at = '-';
  return std::string_view(at, static_cast<std::size_t>(end - at));
}

}  // namespace

bool needsQuotes(const ColumnDef& column, DbKind db) {
  return column.isText() && db != DbKind::Oracle && db != DbKind::MsSql;
}

bool isExcluded(const ColumnDef& column, std::string_view value) {
  for (int r = 0; r < column.ruleCount; ++r) {
    const FieldRule& rule = column.rules[r];
    if (rule.kind != kRuleExclude) continue;
    for (int v = 0; v < rule.valueCount; ++v) {
      if (value.find(rule.values[v].view()) != std::string_view::npos) {
        return true;
      }
    }
  }
  return false;
}

RowBuilder::RowBuilder(ColumnTable& table, const HeaderLayout& layout,
                       const IdentifierTables& ids, DbKind db, DataSet dataSet,
                       const RunLog& runLog)
    : table_(table),
      layout_(layout),
      ids_(ids),
      dataSet_(dataSet),
      runLog_(runLog),
      normaliser_(table, ids, db, runLog),
      splitRules_(layout.splitRules) {
  if (layout.ignoresTrailingFields) {
    fieldLimit_ = static_cast<int>(layout.headerFields.size());
    ignoresTrailing_ = true;
  }
  positions_.reserve(layout.headerFields.size());
  for (int column : layout.headerFields) {
    const ColumnDef& def = table.at(column);
    Position position;
    position.column = column;
    position.treatment = treatmentFor(def.logName.view());
    position.quoted = needsQuotes(def, db);
    position.isCategories = dataSet == DataSet::SmartFilter &&
                            def.logName.view() == kCategoriesField;
    position.outputFlag = def.outputFlag;
    position.isText = def.isText();
    position.hasRules = def.ruleCount > 0;
    positions_.push_back(position);
    if (position.quoted) quotesValues_ = true;
  }
  for (int slot = 0; slot < kDerivedCount; ++slot) {
    const int column = layout.derivedColumns[slot];
    if (column < 0) continue;
    const ColumnDef& def = table.at(column);
    Derived entry;
    entry.slot = slot;
    entry.column = column;
    entry.quoted = needsQuotes(def, db);
    entry.computed = slot == kRefCount || slot == kGroupId || slot == kAbortCode;
    entry.written = def.outputFlag == 1;
    entry.isText = def.isText();
    derived_.push_back(entry);
  }
}

inline void RowBuilder::writeValue(int column, std::string_view value,
                                   bool quoted, bool mayNeedBlanks) {
  if (rowHasValue_) row_.append(',');
  rowHasValue_ = true;
  if (quoted) row_.append('\'');
  const std::size_t start = row_.size();
  row_.appendValue(column, value);
  // The data file has no escaping: a comma inside a value, or a quote inside
  // a quoted value, would move every later value into the wrong column.
  // Such values are rare: the written copy is edited only when the value
  // holds one, so the row is not read back right after it was written.
  const char quote = quoted ? '\'' : ',';
  if (mayNeedBlanks && holdsEither(value, ',', quote)) {
    blankOut(row_.data() + start, value.size(), ',', quote);
  }
  if (quoted) row_.append('\'');
}

void RowBuilder::setFieldSource(FieldSource* source) {
  source_ = source;
  sourceValues_.assign(positions_.size(), std::string_view());
}

void RowBuilder::fieldError(int index, RunCounters& counters) {
  runLog_.logFormat(4, "Problem parsing log line :%lld Field: %d",
                    static_cast<long long>(counters.lineNumber()), index);
  ++counters.errorLines;
  // The field still holds its column, as an empty value, so the values
  // after it stay in their columns.
  if (static_cast<std::size_t>(index) < positions_.size()) {
    const Position& position = positions_[index];
    const ColumnDef& column = table_.at(position.column);
    if (column.outputFlag == 1) {
      writeValue(position.column, placeholderRewrite(column, ""), position.quoted, false);
    }
  }
}

inline void RowBuilder::convertField(int index, std::string_view value,
                                     bool mayNeedBlanks, RunCounters& counters,
                                     LineResult& result) {
  const Position& position = positions_[index];
  const int outputFlag = position.outputFlag;
  if (outputFlag == 0) return;
  if (position.hasRules && isExcluded(table_.at(position.column), value))
    result.excluded = true;
  // A field without treatment is written as split from the line; the
  // others are copied and normalised in place.
  if (position.treatment != FieldTreatment::kNone) {
    field_.assign(value);
    normaliser_.normaliseField(field_, position.column, position.treatment,
                               row_, counters.writtenLines);
    value = field_.view();
    mayNeedBlanks = true;
  }
  if (position.isCategories && value != "-") result.hasCategory = true;
  if (outputFlag == 2) return;
  std::string_view written =
      index == 0 ? firstPositionRewrite(position.isText, position.quoted, value)
                 : placeholderRewrite(position.isText, value);
  writeValue(position.column, written, position.quoted, mayNeedBlanks);
}

LineResult RowBuilder::convertLine(std::string_view line,
                                   RunCounters& counters) {
  LineResult result;
  row_.clear();
  rowHasValue_ = false;
  // The abort code is looked up from what this line sets, never from the
  // number written for the previous line.
  int abortColumn = layout_.derivedColumns[kAbortCode];
  if (abortColumn >= 0) table_.at(abortColumn).value.clear();
  if (source_ != nullptr) return convertFromSource(line, counters);

  const std::size_t positionCount = positions_.size();
  // Values taken unchanged from a line without commas (and quotes, where
  // values are quoted) need no blanking.
  const bool lineNeedsBlanks =
      line.find(',') != std::string_view::npos ||
      (quotesValues_ && line.find('\'') != std::string_view::npos);
  FieldSplitter splitter(line, splitRules_);
  FieldSpan field;
  int fieldCount = 0;
  while (splitter.next(&field)) {
    const int index = fieldCount++;
    if (field.length < 0 || field.length > static_cast<long>(kMaxFieldLength)) {
      if (static_cast<std::size_t>(index) >= positionCount && ignoresTrailing_) {
        fieldCount = index;
        break;
      }
      fieldError(index, counters);
      continue;
    }
    if (static_cast<std::size_t>(index) >= positionCount) {
      // Fields after the layout's: counted, or, where the layout ignores
      // them, not read at all, whatever they hold.
      if (!ignoresTrailing_) continue;
      fieldCount = index;
      break;
    }
    convertField(index, splitter.valueOf(field), lineNeedsBlanks, counters, result);
  }
  result.fieldCount = fieldCount;
  return result;
}

LineResult RowBuilder::convertFromSource(std::string_view line, RunCounters& counters) {
  LineResult result;
  int found = 0;
  SourceOutcome outcome = source_->read(line, sourceValues_.data(), &found);
  if (outcome != SourceOutcome::kComplete) {
    result.fieldCount = found;
    result.malformed = outcome == SourceOutcome::kMalformed;
    result.problem = source_->problem();
    return result;
  }
  const bool lineNeedsBlanks =
      source_->decodesValues() || line.find(',') != std::string_view::npos ||
      (quotesValues_ && line.find('\'') != std::string_view::npos);
  const int count = static_cast<int>(positions_.size());
  for (int index = 0; index < count; ++index) {
    std::string_view value = sourceValues_[index];
    if (value.size() > kMaxFieldLength) {
      fieldError(index, counters);
    } else {
      convertField(index, value, lineNeedsBlanks, counters, result);
    }
  }
  result.fieldCount = count;
  return result;
}

int RowBuilder::countFields(std::string_view line) const {
  if (source_ == nullptr) return ::countFields(line, splitRules_, fieldLimit_);
  // Read through the source: a line that ends before the layout does is
  // short; one that does not fit counts as one with a field too many.
  int found = 0;
  const int count = static_cast<int>(positions_.size());
  switch (source_->read(line, sourceValues_.data(), &found)) {
    case SourceOutcome::kComplete: return count;
    case SourceOutcome::kShort: return found;
    default: return count + 1;
  }
}

void RowBuilder::setDerivedValue(int slot, ColumnDef& column) {
  char number[12];
  switch (slot) {
    case kRefCount:
      column.value.assign("1");
      break;
    case kGroupId:
      if (dataSet_ == DataSet::Raw) {
        column.value.assign("-");
      } else {
        column.value.assign(formatDecimal(groupCounter_, number));
        groupCounter_ = groupCounter_ == kMaxGroupId ? 0 : groupCounter_ + 1;
      }
      break;
    case kAbortCode:
      column.value.assign(
          formatDecimal(ids_.abortCodeId(column.value.view()), number));
      break;
    default:
      break;
  }
}

void RowBuilder::appendDerivedColumns() {
  for (const Derived& derived : derived_) {
    if (!derived.computed && !derived.written) continue;
    ColumnDef& column = table_.at(derived.column);
    if (derived.computed) setDerivedValue(derived.slot, column);
    if (!derived.written) continue;
    std::string_view value = column.value.view();
    std::string_view rewritten = placeholderRewrite(derived.isText, value);
    if (rewritten.data() != value.data()) column.value.assign(rewritten);
    writeValue(derived.column, column.value.view(), derived.quoted, true);
  }
}

void RowBuilder::finishRow() {
  normaliser_.fillDateParts(layout_);
  appendDerivedColumns();
  row_.append("\r\n");
}
