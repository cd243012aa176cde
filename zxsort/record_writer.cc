#include "zxsort/record_writer.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

bool isLittleEndian() {
  const std::uint16_t one = 1;
  unsigned char first;
  std::memcpy(&first, &one, 1);
  return first == 1;
}

std::uint64_t swapBytes(std::uint64_t word) {
  std::uint64_t result = 0;
  for (int k = 0; k < 8; ++k) result = (result << 8) | ((word >> (8 * k)) & 0xff);
  return result;
}

// Index of the lowest set bit of a non-zero word.
int lowestSetBit(std::uint64_t word) { return __builtin_ctzll(word); }

constexpr std::size_t kBillingColumns = 10;

// Billing slot of a key column by its name, or -1.
int billingSlot(std::string_view name) {
  if (name == "userip") return 2;
  if (name == "username") return 3;
  if (name == "url") return 4;
  if (name == "method") return 5;
  if (name == "logformat") return 6;
  return -1;
}

// `stamp` up to `keep` characters followed by `tail`, in `buffer`.
std::string_view splice(std::string_view stamp, std::size_t keep,
                        std::string_view tail, char* buffer) {
  std::memcpy(buffer, stamp.data(), keep);
  std::memcpy(buffer + keep, tail.data(), tail.size());
  return std::string_view(buffer, keep + tail.size());
}

// Formats `number` in decimal into `buffer`, with `before` and `after` around it.
std::string_view formatNumber(long number, const char* before, const char* after,
                              char* buffer, std::size_t size) {
  int length = std::snprintf(buffer, size, "%s%ld%s", before, number, after);
  return std::string_view(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
}

// Index of the first comma at or after `i` in `text`, or its size; eight
// bytes at a time.
std::size_t findComma(std::string_view text, std::size_t i) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
  constexpr std::uint64_t kCommas = kOnes * ',';
  const char* data = text.data();
  const std::size_t size = text.size();
  while (i + 8 <= size) {
    std::uint64_t word;
    std::memcpy(&word, data + i, 8);
    if (!isLittleEndian()) word = swapBytes(word);
    const std::uint64_t x = word ^ kCommas;
    const std::uint64_t found = (x - kOnes) & ~x & kHighs;
    if (found != 0) return i + static_cast<std::size_t>(lowestSetBit(found) / 8);
    i += 8;
  }
  while (i < size && data[i] != ',') ++i;
  return i;
}

// Calls visit(k, value) for the k-th comma-separated value of `text`; a
// run of commas separates like one. Commas are looked for eight bytes at
// a time.
template <typename Visit>
void forEachValue(std::string_view text, Visit&& visit) {
  const std::size_t size = text.size();
  std::size_t i = 0;
  int index = 0;
  while (i < size) {
    while (i < size && text[i] == ',') ++i;
    if (i >= size) break;
    const std::size_t start = i;
    i = findComma(text, i);
    visit(index++, text.substr(start, i - start));
  }
}

}  // namespace

std::string_view cutToHour(std::string_view stamp, char* buffer) {
  if (!stamp.empty() && stamp[0] == '\'') {
    if (stamp.size() < 15) return stamp;
    return splice(stamp, 15, "00:00.000'", buffer);
  }
  if (stamp.size() > 19) return splice(stamp, 14, "00:00.000", buffer);
  if (stamp.size() < 14) return stamp;
  return splice(stamp, 14, "00:00", buffer);
}

std::string_view setToMinute(std::string_view stamp, const char minute[2], char* buffer) {
  char tail[16];
  tail[0] = minute[0];
  tail[1] = minute[1];
  if (!stamp.empty() && stamp[0] == '\'') {
    if (stamp.size() < 15) return stamp;
    std::memcpy(tail + 2, ":00.000'", 8);
    return splice(stamp, 15, std::string_view(tail, 10), buffer);
  }
  if (stamp.size() < 14) return stamp;
  if (stamp.size() > 19) {
    std::memcpy(tail + 2, ":00.000", 7);
    return splice(stamp, 14, std::string_view(tail, 9), buffer);
  }
  std::memcpy(tail + 2, ":00", 3);
  return splice(stamp, 14, std::string_view(tail, 5), buffer);
}

RecordWriter::RecordWriter(std::FILE* out, const ColumnLayout* layout)
    : out_(out), layout_(layout) {
  slots_.resize(layout->mode == 0 ? static_cast<std::size_t>(layout->columnCount)
                                  : kBillingColumns);
  if (layout->mode == 0) planHourlyLine();
  for (int p : layout->keyPositions) {
    int slot = -1;
    for (int c : layout->keyColumns) {
      if (layout->table[c].position == p) slot = billingSlot(layout->table[c].name);
    }
    keySlots_.push_back(slot);
  }
}

RecordWriter::~RecordWriter() { flush(); }

void RecordWriter::flush() {
  if (pending_ > 0 && out_ != nullptr) std::fwrite(buffer_.data(), 1, pending_, out_);
  pending_ = 0;
}

void RecordWriter::writeRecord(const DataRecord& record, int start) {
  if (layout_->mode == 0) {
    rebuildRecord(record, &line_);
  } else {
    rebuildBillingRecord(record, start, &line_);
  }
  if (pending_ + line_.size() > buffer_.size()) {
    flush();
    if (line_.size() > buffer_.size()) {
      std::fwrite(line_.data(), 1, line_.size(), out_);
      return;
    }
  }
  std::memcpy(buffer_.data() + pending_, line_.data(), line_.size());
  pending_ += line_.size();
}

std::string_view RecordWriter::groupIdText(bool quoted) {
  const int id = layout_->groupId;
  if (id != groupIdOf_) {
    groupIdOf_ = id;
    groupIdPlain_ = std::to_string(id);
    groupIdQuoted_ = "'" + groupIdPlain_ + "'";
  }
  return quoted ? groupIdQuoted_ : groupIdPlain_;
}

void RecordWriter::planHourlyLine() {
  const ColumnLayout& layout = *layout_;
  std::vector<Segment> sources(static_cast<std::size_t>(layout.columnCount),
                               Segment{kNoSource, 0, 0, 0});
  auto mark = [&sources](const std::vector<int>& positions, int source) {
    for (std::size_t k = 0; k < positions.size(); ++k) {
      const int p = positions[k];
      if (p >= 0 && p < static_cast<int>(sources.size())) {
        sources[p] = Segment{source, static_cast<int>(k), static_cast<int>(k), p};
      }
    }
  };
  mark(layout.keyPositions, kFromKey);
  mark(layout.numericPositions, kFromNumbers);
  mark(layout.attributePositions, kFromAttribute);
  for (const Segment& next : sources) {
    const bool joins = !plan_.empty() && next.source != kFromAttribute &&
                       next.source != kNoSource && plan_.back().source == next.source &&
                       plan_.back().last + 1 == next.first;
    if (joins) {
      plan_.back().last = next.first;
    } else {
      plan_.push_back(next);
    }
  }
}

void RecordWriter::placeAttributes(const DataRecord& record, char* stamp, char* refcount) {
  const ColumnLayout& layout = *layout_;
  const int columns = layout.columnCount;
  bool quoted = false;
  forEachValue(record.attributes(), [&](int k, std::string_view value) {
    if (k >= static_cast<int>(layout.attributePositions.size())) return;
    const int p = layout.attributePositions[k];
    if (p == layout.refcountPosition && record.count != 1) {
      // The count ends the line when refcount is the last column; elsewhere
      // a line break would split the line.
      value = formatNumber(record.count, "", p == columns - 1 ? "\r\n" : "", refcount, 32);
    }
    if (p == layout.timestampPosition) {
      slots_[p] = cutToHour(value, stamp);
      if (!value.empty() && value[0] == '\'') quoted = true;
    } else if (p == layout.groupIdPosition) {
      slots_[p] = groupIdText(quoted);
    } else {
      slots_[p] = value;
    }
  });
}

// Copies `value` to `out`; returns the end of the copy.
char* put(char* out, std::string_view value) {
  if (!value.empty()) std::memcpy(out, value.data(), value.size());
  return out + value.size();
}

// Ends the line with a line break unless its last value brought one.
void endLine(char* out, std::string* line) {
  if (out == line->data() || out[-1] != '\n') {
    *out++ = '\r';
    *out++ = '\n';
  }
  line->resize(static_cast<std::size_t>(out - line->data()));
}

bool RecordWriter::rebuildBySegments(const DataRecord& record, std::string* line) {
  for (const Segment& segment : plan_) {
    if (segment.source == kFromAttribute) slots_[segment.position] = std::string_view();
  }
  char stamp[32];
  char refcount[32];
  placeAttributes(record, stamp, refcount);
  const std::string_view texts[2] = {record.key(), record.numbers()};
  std::size_t cursor[2] = {0, 0};
  std::size_t total = texts[0].size() + texts[1].size() + plan_.size() + 2;
  for (const Segment& segment : plan_) {
    if (segment.source == kFromAttribute) total += slots_[segment.position].size();
  }
  line->resize(total);
  char* out = line->data();
  for (std::size_t s = 0; s < plan_.size(); ++s) {
    const Segment& segment = plan_[s];
    if (s > 0) *out++ = ',';
    if (segment.source == kFromAttribute) {
      out = put(out, slots_[segment.position]);
      continue;
    }
    if (segment.source == kNoSource) continue;
    // Values first..last of the text lie back to back, one comma apart,
    // as the reader or the grouping wrote them; anything else (an empty
    // or missing value) takes the general way.
    const std::string_view text = texts[segment.source];
    const std::size_t start = cursor[segment.source];
    std::size_t end = start;
    for (int k = segment.first; k <= segment.last; ++k) {
      if (k > segment.first) ++end;
      if (end >= text.size() || text[end] == ',') return false;
      end = findComma(text, end);
    }
    out = put(out, text.substr(start, end - start));
    cursor[segment.source] = end + 1;
  }
  endLine(out, line);
  return true;
}

void RecordWriter::rebuildRecord(const DataRecord& record, std::string* line) {
  if (!plan_.empty() && rebuildBySegments(record, line)) return;
  const ColumnLayout& layout = *layout_;
  const int columns = layout.columnCount;
  for (auto& slot : slots_) slot = std::string_view();
  auto place = [this](const std::vector<int>& positions) {
    return [this, &positions](int k, std::string_view value) {
      if (k < static_cast<int>(positions.size())) slots_[positions[k]] = value;
    };
  };
  forEachValue(record.key(), place(layout.keyPositions));
  forEachValue(record.numbers(), place(layout.numericPositions));
  char stamp[32];
  char refcount[32];
  placeAttributes(record, stamp, refcount);
  std::size_t total = static_cast<std::size_t>(columns) + 2;
  for (int p = 0; p < columns; ++p) total += slots_[p].size();
  line->resize(total);
  char* out = line->data();
  for (int p = 0; p < columns; ++p) {
    if (p > 0) *out++ = ',';
    out = put(out, slots_[p]);
  }
  // Every line of the sort file ends with a line break, also when the last
  // column's value was rewritten without one.
  endLine(out, line);
}

void RecordWriter::rebuildBillingRecord(const DataRecord& record, int start,
                                        std::string* line) {
  const ColumnLayout& layout = *layout_;
  for (auto& slot : slots_) slot = std::string_view();
  char minute[8] = "00";
  if (layout.interval != 60) {
    std::snprintf(minute, sizeof minute, start < 10 ? "0%d" : "%d", start);
  }
  char stamp[32];
  bool quoted = false;
  bool stampSeen = false;
  forEachValue(record.attributes(), [&](int k, std::string_view value) {
    if (stampSeen || k >= static_cast<int>(layout.attributePositions.size())) return;
    const int p = layout.attributePositions[k];
    if (p == layout.timestampPosition) {
      slots_[0] = setToMinute(value, minute, stamp);
      quoted = !value.empty() && value[0] == '\'';
      stampSeen = true;
    }
  });
  slots_[1] = groupIdText(false);
  forEachValue(record.key(), [&](int k, std::string_view value) {
    if (k < static_cast<int>(keySlots_.size()) && keySlots_[k] >= 0) slots_[keySlots_[k]] = value;
  });
  const std::string_view missing = quoted ? "'-'" : "-";
  for (int s = 0; s <= 5; ++s) {
    if (s != 1 && slots_[s].empty()) slots_[s] = missing;
  }
  if (slots_[6].empty()) slots_[6] = "0";
  for (int n = 0; n < 3; ++n) slots_[7 + n] = record.measure(n);
  line->clear();
  for (std::size_t s = 0; s < kBillingColumns; ++s) {
    if (s > 0) line->push_back(',');
    line->append(slots_[s]);
  }
  line->append("\r\n");
}
