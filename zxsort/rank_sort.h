#ifndef ZXSORT_RANK_SORT_H_
#define ZXSORT_RANK_SORT_H_

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

/// An entry of `rankSort`: the key's rank in the high 32 bits, the record's
/// index in the low 32 bits.
inline std::uint64_t rankEntry(std::uint32_t rank, std::uint32_t index) {
  return (std::uint64_t{rank} << 32) | index;
}

/// The record index of a `rankSort` entry.
inline std::uint32_t entryIndex(std::uint64_t entry) {
  return static_cast<std::uint32_t>(entry);
}

/// Ranges of at most this many entries are finished by insertion.
constexpr int kInsertionCutoff = 13;

/// Entries of at most this much lopsided partition work per entry (plus
/// `kLopsidedSlack`) are sorted step by step.
constexpr long long kLopsidedPerEntry = 4;
/// Lopsided work always allowed.
constexpr long long kLopsidedSlack = 4096;

/// The record quicksort step by step on a[0..count-1]: middle entry as
/// pivot, scans that pass every entry equal to the pivot, insertion below
/// `kInsertionCutoff` + 1 entries (an entry goes before the equal entries
/// that precede it), the smaller side first. `compare(x, y)` is negative,
/// zero or positive. Partitions whose smaller side is under 1/16 of the
/// range count as lopsided work; once that reaches `budget`, it stops and
/// leaves in `rest` the ranges still to sort (each to be finished as if
/// sorted by these steps) and returns false. `lookAhead(x)` is called for
/// entries a few places ahead of the scans (to load what `compare` reads).
template <typename T, typename Compare, typename LookAhead>
bool quickSortSteps(T* a, int count, Compare compare, long long budget,
                    std::vector<std::pair<int, int>>* rest, LookAhead lookAhead) {
  constexpr int kAhead = 8;
  std::vector<std::pair<int, int>>& pending = *rest;
  pending.clear();
  if (count > 1) pending.emplace_back(0, count - 1);
  long long lopsided = 0;
  while (!pending.empty()) {
    auto [lo, hi] = pending.back();
    pending.pop_back();
    while (hi - lo >= 1) {
      if (hi - lo <= kInsertionCutoff - 1) {
        for (int r = lo + 1; r <= hi; ++r) {
          T item = a[r];
          int k = r - 1;
          while (k >= lo && compare(a[k], item) >= 0) {
            a[k + 1] = a[k];
            --k;
          }
          a[k + 1] = item;
        }
        break;
      }
      if (lopsided >= budget) {
        pending.emplace_back(lo, hi);
        return false;
      }
      const int middle = lo + (hi - lo) / 2;
      const T pivot = a[middle];
      a[middle] = a[lo];
      int i = lo;
      int j = hi;
      for (;;) {
        ++i;
        while (i < j && compare(pivot, a[i]) >= 0) {
          ++i;
          if (i + kAhead < j) lookAhead(a[i + kAhead]);
        }
        while (j >= i && compare(a[j], pivot) >= 0) {
          --j;
          if (j - kAhead > i) lookAhead(a[j - kAhead]);
        }
        if (i >= j) break;
        std::swap(a[i], a[j]);
        --j;
      }
      a[lo] = a[j];
      a[j] = pivot;
      const int size = hi - lo + 1;
      if (std::min(j - lo, hi - j) < size / 16) lopsided += size;
      // Ranges are independent once partitioned: keep the larger one for
      // later so that the list stays short.
      if (j - lo <= hi - j) {
        pending.emplace_back(j + 1, hi);
        hi = j - 1;
      } else {
        pending.emplace_back(lo, j - 1);
        lo = j + 1;
      }
    }
  }
  return true;
}

/// Sorts the ranges of `entries` (by rank) into exactly the order of
/// `quickSortSteps`, a min/max tree over the ranks answering each scan of
/// a partition with O(log n) work instead of one step per entry passed.
void rankSortRanges(std::uint64_t* entries, int count,
                    const std::vector<std::pair<int, int>>& ranges);

/// `quickSortSteps` over rank entries, finished by `rankSortRanges` once
/// lopsided work reaches `lopsidedBudget` (at once when 0; a negative
/// budget picks the default).
void rankSort(std::uint64_t* entries, int count, long long lopsidedBudget = -1);

/// The default lopsided-work budget for `count` entries.
inline long long lopsidedBudgetFor(int count) {
  return kLopsidedPerEntry * count + kLopsidedSlack;
}

#endif  // ZXSORT_RANK_SORT_H_
