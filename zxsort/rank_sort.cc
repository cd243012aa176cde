#include "zxsort/rank_sort.h"

#include <algorithm>
#include <climits>
#include <utility>
#include <vector>

namespace {

// Probes made entry by entry before a scan asks the tree.
constexpr int kDirectProbes = 8;

// The quicksort over rank entries with every scan answered by the tree.
// Ranges are independent once partitioned, so they are kept on a list
// and taken in any order.
class RankSorter {
 public:
  RankSorter(std::uint64_t* entries, int count) : a_(entries), n_(count) {}

  void run(const std::vector<std::pair<int, int>>& ranges) {
    buildTree();
    std::vector<std::pair<int, int>> pending(ranges);
    while (!pending.empty()) {
      auto [lo, hi] = pending.back();
      pending.pop_back();
      while (hi - lo >= 1) {
        if (hi - lo <= kInsertionCutoff - 1) {
          insertion(lo, hi);
          break;
        }
        const int p = partition(lo, hi);
        if (p - lo <= hi - p) {
          pending.emplace_back(p + 1, hi);
          hi = p - 1;
        } else {
          pending.emplace_back(lo, p - 1);
          lo = p + 1;
        }
      }
    }
  }

 private:
  int rankAt(int k) const { return static_cast<int>(a_[k] >> 32); }

  // Insertion: each entry goes before the equal entries that precede it.
  void insertion(int lo, int hi) {
    for (int r = lo + 1; r <= hi; ++r) {
      const std::uint64_t item = a_[r];
      const int rank = static_cast<int>(item >> 32);
      int k = r - 1;
      while (k >= lo && rankAt(k) >= rank) {
        a_[k + 1] = a_[k];
        --k;
      }
      a_[k + 1] = item;
    }
  }

  // Partition around the middle entry; returns the pivot's final index.
  int partition(int lo, int hi) {
    const int middle = lo + (hi - lo) / 2;
    const std::uint64_t pivot = a_[middle];
    const int p = static_cast<int>(pivot >> 32);
    a_[middle] = a_[lo];
    written_.assign(1, middle);
    repair(lo, hi);
    written_.clear();
    swappedHigh_.clear();
    int i = lo;
    int j = hi;
    for (;;) {
      ++i;
      if (i < j) i = firstAbove(i, j - 1, p);
      if (j >= i) j = lastBelow(i, j, p);
      if (i >= j) break;
      std::swap(a_[i], a_[j]);
      written_.push_back(i);
      swappedHigh_.push_back(j);
      --j;
    }
    a_[lo] = a_[j];
    a_[j] = pivot;
    // In ascending order: lo, the low swap positions, j, the high ones.
    written_.insert(written_.begin(), lo);
    written_.push_back(j);
    written_.insert(written_.end(), swappedHigh_.rbegin(), swappedHigh_.rend());
    repair(lo, hi);
    return j;
  }

  // Minimum and maximum rank under node v (leaves are the entries).
  int minOf(int v) const {
    if (v < size_) return min_[v];
    return v - size_ < n_ ? rankAt(v - size_) : INT_MAX;
  }
  int maxOf(int v) const {
    if (v < size_) return max_[v];
    return v - size_ < n_ ? rankAt(v - size_) : INT_MIN;
  }
  void refresh(int v) {
    min_[v] = std::min(minOf(2 * v), minOf(2 * v + 1));
    max_[v] = std::max(maxOf(2 * v), maxOf(2 * v + 1));
  }

  void buildTree() {
    size_ = 1;
    while (size_ < n_) size_ *= 2;
    min_.assign(static_cast<std::size_t>(size_), INT_MAX);
    max_.assign(static_cast<std::size_t>(size_), INT_MIN);
    for (int v = size_ - 1; v >= 1; --v) refresh(v);
  }

  // Recomputes the nodes above the positions in `written_` (ascending)
  // that lie wholly inside lo..hi. Nodes reaching outside the range are
  // left stale: every later query stays inside one part of the range.
  void repair(int lo, int hi) {
    level_.clear();
    for (int x : written_) level_.push_back(size_ + x);
    for (int height = 1; !level_.empty(); ++height) {
      std::size_t kept = 0;
      for (std::size_t k = 0; k < level_.size(); ++k) {
        const int v = level_[k] >> 1;
        if (kept > 0 && level_[kept - 1] == v) continue;
        const long long first = (static_cast<long long>(v) << height) - size_;
        const long long last = first + (1LL << height) - 1;
        if (first < lo || last > hi) continue;
        refresh(v);
        level_[kept++] = v;
      }
      level_.resize(kept);
    }
  }

  // The first index in l..r whose rank is above p, or r + 1.
  int firstAbove(int l, int r, int p) const {
    for (const int end = std::min(r, l + kDirectProbes - 1); l <= end; ++l) {
      if (rankAt(l) > p) return l;
    }
    if (l > r) return r + 1;
    int right[64];
    int count = 0;
    for (int a = l + size_, b = r + size_ + 1; a < b; a >>= 1, b >>= 1) {
      if (a & 1) {
        if (maxOf(a) > p) return descendAbove(a, p);
        ++a;
      }
      if (b & 1) right[count++] = --b;
    }
    while (count > 0) {
      const int v = right[--count];
      if (maxOf(v) > p) return descendAbove(v, p);
    }
    return r + 1;
  }

  // The last index in l..r whose rank is below p, or l - 1.
  int lastBelow(int l, int r, int p) const {
    for (const int end = std::max(l, r - kDirectProbes + 1); r >= end; --r) {
      if (rankAt(r) < p) return r;
    }
    if (r < l) return l - 1;
    int left[64];
    int count = 0;
    for (int a = l + size_, b = r + size_ + 1; a < b; a >>= 1, b >>= 1) {
      if (b & 1) {
        --b;
        if (minOf(b) < p) return descendBelow(b, p);
      }
      if (a & 1) left[count++] = a++;
    }
    while (count > 0) {
      const int v = left[--count];
      if (minOf(v) < p) return descendBelow(v, p);
    }
    return l - 1;
  }

  int descendAbove(int v, int p) const {
    while (v < size_) v = maxOf(2 * v) > p ? 2 * v : 2 * v + 1;
    return v - size_;
  }
  int descendBelow(int v, int p) const {
    while (v < size_) v = minOf(2 * v + 1) < p ? 2 * v + 1 : 2 * v;
    return v - size_;
  }

  std::uint64_t* a_;
  int n_;
  int size_ = 0;               // leaves of the tree, a power of two
  std::vector<int> min_, max_;  // internal nodes 1..size_-1
  std::vector<int> written_;   // positions changed by a partition
  std::vector<int> swappedHigh_;
  std::vector<int> level_;
};

}  // namespace

void rankSortRanges(std::uint64_t* entries, int count,
                    const std::vector<std::pair<int, int>>& ranges) {
  if (count < 2 || ranges.empty()) return;
  RankSorter(entries, count).run(ranges);
}

void rankSort(std::uint64_t* entries, int count, long long lopsidedBudget) {
  if (lopsidedBudget < 0) lopsidedBudget = lopsidedBudgetFor(count);
  auto byRank = [](std::uint64_t x, std::uint64_t y) {
    const std::uint32_t rx = static_cast<std::uint32_t>(x >> 32);
    const std::uint32_t ry = static_cast<std::uint32_t>(y >> 32);
    return rx < ry ? -1 : rx > ry ? 1 : 0;
  };
  std::vector<std::pair<int, int>> rest;
  if (!quickSortSteps(entries, count, byRank, lopsidedBudget, &rest, [](std::uint64_t) {})) {
    rankSortRanges(entries, count, rest);
  }
}
