#include "zxreport/ranking.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

/// The percentile by its definition: sort, then walk.
double byDefinition(std::vector<Weighted> values, int percent) {
  std::sort(values.begin(), values.end());
  std::int64_t total = 0, below = 0;
  for (const Weighted& v : values) total += v.second;
  for (const Weighted& v : values) {
    below += v.second;
    if (below * 100 >= percent * total) return v.first;
  }
  return values.back().first;
}

}  // namespace

TEST(Ranking, WeightedPercentileIsTheNearestRankOfTheLines) {
  // Rows of 1, 1 and 8 lines with 10, 20, 30: of the 10 lines, 5 reach 30.
  std::vector<Weighted> values = {{30, 8}, {10, 1}, {20, 1}};
  EXPECT_EQ(weightedPercentile(&values, 50), 30);
  EXPECT_EQ(weightedPercentile(&values, 20), 20);
  EXPECT_EQ(weightedPercentile(&values, 10), 10);
  std::vector<Weighted> none;
  EXPECT_TRUE(std::isnan(weightedPercentile(&none, 50)));
  std::mt19937 random(7);
  for (int round = 0; round < 50; ++round) {
    std::vector<Weighted> many;
    int n = 1 + static_cast<int>(random() % 3000);
    for (int i = 0; i < n; ++i) many.emplace_back(random() % 200 / 8.0, 1 + random() % 9);
    for (int percent : {1, 50, 95, 100}) {
      std::vector<Weighted> copy = many;
      ASSERT_EQ(weightedPercentile(&copy, percent), byDefinition(many, percent));
    }
  }
}

TEST(Ranking, TopOrdersByCountThenValueAndSkipsNoValue) {
  Ranking ranking;
  EXPECT_EQ(ranking.add("-", 5, 5), -1);
  EXPECT_EQ(ranking.add("", 5, 5), -1);
  ranking.add("b", 2, 100);
  ranking.add("a", 2, 1);
  ranking.add("c", 3, 0);
  ranking.add("b", 0, 50);
  std::vector<std::uint32_t> top = ranking.top(2, false);
  ASSERT_EQ(top.size(), 2u);
  EXPECT_EQ(ranking.name(top[0]), "c");
  EXPECT_EQ(ranking.name(top[1]), "a");
  EXPECT_EQ(ranking.name(ranking.top(1, true)[0]), "b");
  EXPECT_EQ(ranking.tally(ranking.top(1, true)[0]).bytes, 150);
}
