#include "zxsort/record_sort.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "zxsort/decimal.h"
#include "zxsort/rank_sort.h"

namespace {

struct LowerTable {
  unsigned char map[256];
  LowerTable() {
    for (int c = 0; c < 256; ++c) {
      map[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    }
  }
};

const LowerTable kLower;

// Appends "%.3f" of `value` to `out`.
void appendFixed3(std::string* out, double value) {
  char digits[400];
  int length = std::snprintf(digits, sizeof digits, "%.3f", value);
  if (length > 0) out->append(digits, static_cast<std::size_t>(length));
}

// Average of every numeric column over the run records[first..last].
void mergeNumbers(const std::vector<DataRecord>& records, int first, int last,
                  const ColumnLayout& layout, std::vector<double>* sums,
                  std::string* merged) {
  sums->assign(layout.numericPositions.size(), 0.0);
  int lastCount = 0;
  for (int r = first; r <= last; ++r) {
    lastCount = splitValues(records[r].numbers(), [sums](int k, std::string_view value) {
      if (k < static_cast<int>(sums->size())) (*sums)[k] += readDecimal(value);
    });
  }
  if (lastCount > static_cast<int>(sums->size())) lastCount = static_cast<int>(sums->size());
  const double size = last - first + 1;
  merged->clear();
  for (int k = 0; k < lastCount; ++k) {
    appendFixed3(merged, (*sums)[k] / size);
    if (isLastColumn(layout, k)) merged->append("\r\n");
    if (k < lastCount - 1) merged->push_back(',');
  }
}

// Aggregate of measure n (0..2) over the run, or false when the measure's
// operation leaves its text unchanged.
bool mergeMeasure(const std::vector<DataRecord>& records, int first, int last,
                  int operation, int n, double* result) {
  if (operation < kMeasureMinimum || operation > kMeasureSum) return false;
  double aggregate = 0.0;
  for (int r = first; r <= last; ++r) {
    std::string_view text = records[r].measure(n);
    double value = readDecimal(text.substr(0, text.find(',')));
    if (r == first) {
      aggregate = value;
    } else if (operation == kMeasureMinimum) {
      if (value < aggregate) aggregate = value;
    } else if (operation == kMeasureMaximum) {
      if (value > aggregate) aggregate = value;
    } else {
      aggregate += value;
    }
  }
  if (operation == kMeasureAverage) aggregate /= (last - first + 1);
  *result = aggregate;
  return true;
}

// Copies `record`'s key and attributes with new numbers and measures into
// the arena and points the record at the copy.
void replaceTexts(DataRecord* record, std::string_view numbers,
                  const std::string_view measures[3], TextArena* arena) {
  std::string_view key = record->key();
  std::string_view attributes = record->attributes();
  std::size_t total = key.size() + attributes.size() + numbers.size();
  for (int n = 0; n < 3; ++n) total += measures[n].size();
  char* text = arena->allocate(total);
  char* out = text;
  auto put = [&out](std::string_view part) {
    if (!part.empty()) std::memcpy(out, part.data(), part.size());
    out += part.size();
  };
  put(key);
  put(attributes);
  put(numbers);
  for (int n = 0; n < 3; ++n) put(measures[n]);
  record->text = text;
  record->numbersLength = static_cast<std::uint16_t>(numbers.size());
  for (int n = 0; n < 3; ++n) {
    record->measureLength[n] = static_cast<std::uint16_t>(measures[n].size());
  }
}

// Moves the records into the order of `entries` (entry k names the record
// that goes to position k), cycle by cycle; marks the entries it used.
void applyOrder(std::vector<std::uint64_t>* entries, std::vector<DataRecord>* records) {
  constexpr std::uint64_t kDone = ~std::uint64_t{0};
  std::vector<std::uint64_t>& order = *entries;
  std::vector<DataRecord>& list = *records;
  for (std::size_t start = 0; start < order.size(); ++start) {
    if (order[start] == kDone) continue;
    const DataRecord first = list[start];
    std::size_t k = start;
    for (;;) {
      const std::size_t from = entryIndex(order[k]);
      order[k] = kDone;
      if (from == start) {
        list[k] = first;
        break;
      }
      list[k] = list[from];
      k = from;
    }
  }
}

// A key's 16 bytes from some offset on (letters folded, zeros past its
// end) as two big-endian numbers.
struct KeyDigits {
  std::uint64_t high;
  std::uint64_t low;
  std::uint32_t index;   // of the record
  std::uint32_t length;  // of its key
};

bool digitsBefore(const KeyDigits& x, const KeyDigits& y) {
  return x.high != y.high ? x.high < y.high : x.low < y.low;
}

bool sameDigits(const KeyDigits& x, const KeyDigits& y) {
  return x.high == y.high && x.low == y.low;
}

// Gives every record the rank of its key among the interval's distinct
// keys (letters folded): a most-significant-first sort by 16 bytes at a
// time, so that comparisons are of numbers, never of texts.
struct KeyRanker {
  const std::vector<DataRecord>& list;
  std::uint64_t* entries;
  std::uint32_t nextRank = 0;

  // Ranks the keys of [begin, end), which agree on their first `offset` bytes.
  void rank(KeyDigits* begin, KeyDigits* end, std::size_t offset) {
    bool alike = true;
    for (KeyDigits* k = begin; k != end; ++k) {
      const std::string_view key = list[k->index].key();
      k->high = keyPrefix(key, offset);
      k->low = keyPrefix(key, offset + 8);
      alike = alike && sameDigits(*k, *begin);
    }
    if (!alike) std::sort(begin, end, digitsBefore);
    for (KeyDigits* run = begin; run != end;) {
      KeyDigits* runEnd = run + 1;
      std::uint32_t longest = run->length;
      while (runEnd != end && sameDigits(*runEnd, *run)) {
        longest = std::max(longest, runEnd->length);
        ++runEnd;
      }
      if (runEnd - run > 1 && longest > offset + 16) {
        rank(run, runEnd, offset + 16);
      } else {
        // Every key ends here: the same bytes, zeros after the shorter
        // ones; a key that is a prefix of another is the smaller.
        std::sort(run, runEnd, [](const KeyDigits& x, const KeyDigits& y) {
          return x.length < y.length;
        });
        for (KeyDigits* k = run; k != runEnd; ++k) {
          if (k != run && k->length != k[-1].length) ++nextRank;
          entries[k->index] = rankEntry(nextRank, k->index);
        }
        ++nextRank;
      }
      run = runEnd;
    }
  }
};

}  // namespace

int compareKeys(std::string_view a, std::string_view b) {
  const std::size_t common = a.size() < b.size() ? a.size() : b.size();
  const unsigned char* x = reinterpret_cast<const unsigned char*>(a.data());
  const unsigned char* y = reinterpret_cast<const unsigned char*>(b.data());
  std::size_t i = 0;
  // Skip the identical part eight bytes at a time; keys of one interval
  // often share long prefixes.
  while (i + 8 <= common) {
    std::uint64_t wordX, wordY;
    std::memcpy(&wordX, x + i, 8);
    std::memcpy(&wordY, y + i, 8);
    if (wordX != wordY) break;
    i += 8;
  }
  for (; i < common; ++i) {
    if (x[i] == y[i]) continue;
    int difference = kLower.map[x[i]] - kLower.map[y[i]];
    if (difference != 0) return difference;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::uint64_t keyPrefix(std::string_view key, std::size_t offset) {
  // Big-endian, so that comparing the numbers compares the bytes in order;
  // a key ending within the 8 bytes is padded with zeros, which orders it
  // before any longer key it is a prefix of. Equal prefixes decide nothing.
  std::uint64_t prefix = 0;
  for (std::size_t k = offset; k < offset + 8; ++k) {
    unsigned char byte = k < key.size() ? kLower.map[static_cast<unsigned char>(key[k])] : 0;
    prefix = (prefix << 8) | byte;
  }
  return prefix;
}

std::size_t sharedKeyBytes(std::string_view a, std::string_view b, std::size_t limit) {
  if (limit > a.size()) limit = a.size();
  if (limit > b.size()) limit = b.size();
  std::size_t k = 0;
  while (k < limit && kLower.map[static_cast<unsigned char>(a[k])] ==
                          kLower.map[static_cast<unsigned char>(b[k])]) {
    ++k;
  }
  return k;
}

void sortRecords(std::vector<DataRecord>* records) {
  std::vector<DataRecord>& list = *records;
  const int n = static_cast<int>(list.size());
  if (n < 2) return;
  // Step by step on the records themselves while partitions stay
  // balanced: the scans run through the array in order.
  // Keys of one interval often start alike: the prefixes are taken past
  // the bytes every key shares, where they tell keys apart.
  std::size_t shared = list[0].key().size();
  for (int k = 1; k < n && shared > 0; ++k) {
    shared = sharedKeyBytes(list[0].key(), list[k].key(), shared);
  }
  for (DataRecord& record : list) record.keyPrefix = keyPrefix(record.key(), shared);
  auto compare = [](const DataRecord& x, const DataRecord& y) {
    if (x.keyPrefix != y.keyPrefix) return x.keyPrefix < y.keyPrefix ? -1 : 1;
    return compareKeys(x.key(), y.key());
  };
  std::vector<std::pair<int, int>> rest;
  if (quickSortSteps(list.data(), n, compare, lopsidedBudgetFor(n), &rest, prefetchTexts)) {
    return;
  }
  // Equal or crafted keys: rank the keys and finish the ranges left with
  // the tree, which gives the same order.
  std::vector<std::uint64_t> entries(list.size());
  {
    std::vector<KeyDigits> keys(list.size());
    for (std::size_t k = 0; k < list.size(); ++k) {
      keys[k].index = static_cast<std::uint32_t>(k);
      keys[k].length = static_cast<std::uint32_t>(list[k].key().size());
    }
    KeyRanker ranker{list, entries.data()};
    ranker.rank(keys.data(), keys.data() + keys.size(), 0);
  }
  rankSortRanges(entries.data(), n, rest);
  applyOrder(&entries, &list);
}

int groupRecords(std::vector<DataRecord>* records, const ColumnLayout& layout,
                 TextArena* arena) {
  std::vector<DataRecord>& entries = *records;
  const int n = static_cast<int>(entries.size());
  int left = n;
  std::vector<double> sums;
  std::string merged;
  char measureTexts[3][400];
  int i = 0;
  while (i < n) {
    // Sorted records lie all over the texts: load a few ahead.
    if (i + 16 < n) prefetchTexts(entries[i + 16]);
    int g = 0;
    while (i + g + 1 < n &&
           compareKeys(entries[i].key(), entries[i + g + 1].key()) == 0) {
      ++g;
    }
    if (g == 0) {
      ++i;
      continue;
    }
    const int last = i + g;
    std::string_view measures[3];
    for (int m = 0; m < 3; ++m) measures[m] = entries[i].measureLength[m] ? entries[i].measure(m) : "";
    std::string_view numbers = entries[i].numbers();
    if (layout.mode == 0) {
      mergeNumbers(entries, i, last, layout, &sums, &merged);
      numbers = merged;
    } else {
      for (int m = 0; m < 3; ++m) {
        double value = 0.0;
        if (!mergeMeasure(entries, i, last, measureOperation(layout, m + 1), m, &value)) {
          continue;
        }
        int length = std::snprintf(measureTexts[m], sizeof measureTexts[m], "%.3f", value);
        measures[m] = std::string_view(measureTexts[m], length > 0 ? length : 0);
      }
    }
    replaceTexts(&entries[i], numbers, measures, arena);
    entries[i].count = g + 1;
    for (int r = i + 1; r <= last; ++r) entries[r].count = 0;
    left -= g;
    i += g + 1;
  }
  return left;
}
