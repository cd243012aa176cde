#ifndef ZXSORT_RECORD_SORT_H_
#define ZXSORT_RECORD_SORT_H_

#include <cstdint>
#include <string_view>
#include <vector>

#include "zxsort/column_layout.h"
#include "zxsort/data_record.h"

/// Compares two keys byte by byte with 'A'..'Z' taken as lower case; a
/// prefix is the smaller. Negative, zero or positive.
int compareKeys(std::string_view a, std::string_view b);

/// The 8 bytes of `key` from `offset` on, folded to lower case, as a
/// big-endian number: when the prefixes of two keys that agree before
/// `offset` differ, they order the keys as `compareKeys` does.
std::uint64_t keyPrefix(std::string_view key, std::size_t offset = 0);


/// How many leading bytes (at most `limit`) two keys share, letters folded.
std::size_t sharedKeyBytes(std::string_view a, std::string_view b, std::size_t limit);

/// Sorts the records ascending by key, equal keys in the order of the
/// middle-pivot quicksort (`rankSort`): grouping keeps the first of a run.
void sortRecords(std::vector<DataRecord>* records);

/// Merges every run of equal keys into its first record (averages in
/// hourly mode, measure aggregates in billing mode) and empties the other
/// entries. Merged texts go to `arena`. Returns the records left.
int groupRecords(std::vector<DataRecord>* records, const ColumnLayout& layout,
                 TextArena* arena);

#endif  // ZXSORT_RECORD_SORT_H_
