#ifndef ZXSORT_RANK_SORT_H_
#define ZXSORT_RANK_SORT_H_

#include <cstdint>

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

/// Sorts `entries[0..count-1]` by rank into exactly the order of the
/// record quicksort: middle entry as pivot, scans that pass every entry
/// equal to the pivot, insertion below `kInsertionCutoff` + 1 entries
/// (an entry goes before the equal entries that precede it). Once the
/// partitions turn lopsided (or at once when `lopsidedBudget` is 0) the
/// scans are answered by a min/max tree over the ranks, so that equal or
/// crafted keys cost O(log n) per stop instead of one step per entry.
/// A negative budget picks the default, a few times `count`.
void rankSort(std::uint64_t* entries, int count, long long lopsidedBudget = -1);

#endif  // ZXSORT_RANK_SORT_H_
