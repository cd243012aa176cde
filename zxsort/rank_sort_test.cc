#include "zxsort/rank_sort.h"

#include <random>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

// The record quicksort step by step, one comparison per entry scanned: the
// reference the tree-assisted sort must match entry for entry.
int rankOf(std::uint64_t entry) { return static_cast<int>(entry >> 32); }

void literalInsertion(std::uint64_t* a, int lo, int hi) {
  for (int r = lo + 1; r <= hi; ++r) {
    std::uint64_t item = a[r];
    int k = r - 1;
    while (k >= lo && rankOf(a[k]) >= rankOf(item)) {
      a[k + 1] = a[k];
      --k;
    }
    a[k + 1] = item;
  }
}

int literalPartition(std::uint64_t* a, int lo, int hi) {
  int middle = lo + (hi - lo) / 2;
  std::uint64_t pivot = a[middle];
  a[middle] = a[lo];
  int i = lo;
  int j = hi;
  for (;;) {
    ++i;
    while (i < j && rankOf(pivot) >= rankOf(a[i])) ++i;
    while (j >= i && rankOf(a[j]) >= rankOf(pivot)) --j;
    if (i < j) {
      std::swap(a[i], a[j]);
      --j;
    } else {
      break;
    }
  }
  a[lo] = a[j];
  a[j] = pivot;
  return j;
}

void literalQuickSort(std::uint64_t* a, int lo, int hi) {
  while (hi - lo >= 1) {
    if (hi - lo <= 12) {
      literalInsertion(a, lo, hi);
      return;
    }
    int p = literalPartition(a, lo, hi);
    if (p - lo <= hi - p) {
      literalQuickSort(a, lo, p - 1);
      lo = p + 1;
    } else {
      literalQuickSort(a, p + 1, hi);
      hi = p - 1;
    }
  }
}

std::vector<std::uint64_t> entriesOf(const std::vector<int>& ranks) {
  std::vector<std::uint64_t> entries;
  for (std::size_t k = 0; k < ranks.size(); ++k) {
    entries.push_back(rankEntry(static_cast<std::uint32_t>(ranks[k]),
                                static_cast<std::uint32_t>(k)));
  }
  return entries;
}

// Sorts `ranks` with the reference and with `rankSort` under each budget
// (tree at once, tree after some lopsided work, default) and compares.
void expectSameOrder(const std::vector<int>& ranks, const char* what) {
  std::vector<std::uint64_t> expected = entriesOf(ranks);
  if (!expected.empty()) literalQuickSort(expected.data(), 0, static_cast<int>(expected.size()) - 1);
  for (long long budget : {0LL, 40LL, -1LL}) {
    std::vector<std::uint64_t> got = entriesOf(ranks);
    rankSort(got.data(), static_cast<int>(got.size()), budget);
    ASSERT_EQ(expected, got) << what << ", " << ranks.size() << " entries, budget " << budget;
  }
}

TEST(RankSort, MatchesTheStepByStepSortOnRandomRanks) {
  std::mt19937 random(15);
  for (int round = 0; round < 600; ++round) {
    const int count = static_cast<int>(random() % (round < 400 ? 60 : 3000));
    // Few distinct ranks most of the time: long runs of equal keys.
    const int distinct = 1 + static_cast<int>(random() % (round % 3 == 0 ? 3 : round % 3 == 1 ? 20 : 100000));
    std::vector<int> ranks(static_cast<std::size_t>(count));
    for (int& r : ranks) r = static_cast<int>(random() % distinct);
    expectSameOrder(ranks, "random");
  }
}

TEST(RankSort, MatchesTheStepByStepSortOnShapedInput) {
  for (int count : {2, 13, 14, 15, 100, 1000, 4097}) {
    std::vector<int> equal(count, 7), ascending, descending, organ, sawtooth;
    for (int k = 0; k < count; ++k) {
      ascending.push_back(k);
      descending.push_back(count - k);
      organ.push_back(k < count / 2 ? k : count - k);
      sawtooth.push_back(k % 5);
    }
    expectSameOrder(equal, "equal");
    expectSameOrder(ascending, "ascending");
    expectSameOrder(descending, "descending");
    expectSameOrder(organ, "organ pipe");
    expectSameOrder(sawtooth, "sawtooth");
  }
}

TEST(RankSort, EqualRanksDoNotGoQuadratic) {
  // Step by step, 300,000 equal ranks take some 4.5 * 10^10 comparisons;
  // with the tree each scan is one query.
  std::vector<std::uint64_t> entries = entriesOf(std::vector<int>(300000, 3));
  rankSort(entries.data(), static_cast<int>(entries.size()));
  std::vector<bool> seen(entries.size());
  for (std::uint64_t entry : entries) seen[entryIndex(entry)] = true;
  EXPECT_EQ(std::vector<bool>(entries.size(), true), seen);
}

}  // namespace
