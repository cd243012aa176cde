#ifndef ZXSORT_RECORD_SORT_H_
#define ZXSORT_RECORD_SORT_H_

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "zxsort/column_layout.h"
#include "zxsort/data_record.h"

/// Compares two keys byte by byte with 'A'..'Z' taken as lower case; a
/// prefix is the smaller. Negative, zero or positive.
int compareKeys(std::string_view a, std::string_view b);

/// The first 8 bytes of `key` folded to lower case as a big-endian number:
/// when two prefixes differ, they order their keys as `compareKeys` does.
std::uint64_t keyPrefix(std::string_view key);

/// Ranges of at most this many entries are sorted by insertion.
constexpr int kInsertionCutoff = 13;

/// Sorts a[lo..hi] by insertion; an entry goes before the equal entries
/// that precede it. `compare(x, y)` is negative, zero or positive.
template <typename T, typename Compare>
void insertionSort(T* a, int lo, int hi, Compare& compare) {
  for (int r = lo + 1; r <= hi; ++r) {
    T item = std::move(a[r]);
    int k = r - 1;
    while (k >= lo && compare(a[k], item) >= 0) {
      a[k + 1] = std::move(a[k]);
      --k;
    }
    a[k + 1] = std::move(item);
  }
}

/// Partitions a[lo..hi] around its middle entry; returns the pivot's index.
template <typename T, typename Compare>
int partitionRange(T* a, int lo, int hi, Compare& compare) {
  int middle = lo + (hi - lo) / 2;
  T pivot = std::move(a[middle]);
  a[middle] = std::move(a[lo]);
  int i = lo;
  int j = hi;
  for (;;) {
    ++i;
    while (i < j && compare(pivot, a[i]) >= 0) ++i;
    while (j >= i && compare(a[j], pivot) >= 0) --j;
    if (i < j) {
      std::swap(a[i], a[j]);
      --j;
    } else {
      break;
    }
  }
  a[lo] = std::move(a[j]);
  a[j] = std::move(pivot);
  return j;
}

/// Quicksort of a[lo..hi] with the middle entry as pivot, insertion for
/// ranges of at most 13 entries and recursion on the smaller side only.
/// The order of equal entries is part of the contract: grouping keeps the
/// first of a run.
template <typename T, typename Compare>
void quickSort(T* a, int lo, int hi, Compare& compare) {
  while (hi - lo >= 1) {
    if (hi - lo <= kInsertionCutoff - 1) {
      insertionSort(a, lo, hi, compare);
      return;
    }
    int p = partitionRange(a, lo, hi, compare);
    if (p - lo <= hi - p) {
      quickSort(a, lo, p - 1, compare);
      lo = p + 1;
    } else {
      quickSort(a, p + 1, hi, compare);
      hi = p - 1;
    }
  }
}

/// Sorts the records ascending by key.
void sortRecords(std::vector<DataRecord>* records);

/// Merges every run of equal keys into its first record (averages in
/// hourly mode, measure aggregates in billing mode) and empties the other
/// entries. Merged texts go to `arena`. Returns the records left.
int groupRecords(std::vector<DataRecord>* records, const ColumnLayout& layout,
                 TextArena* arena);

#endif  // ZXSORT_RECORD_SORT_H_
