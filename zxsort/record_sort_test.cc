#include "zxsort/record_sort.h"

#include <algorithm>
#include <random>
#include <string>

#include <gtest/gtest.h>

namespace {

// Records whose texts live in one arena, built from (key, attributes,
// numbers, measure) tuples.
struct Records {
  TextArena arena;
  std::vector<DataRecord> list;

  void add(const std::string& key, const std::string& attributes = "",
           const std::string& numbers = "", const std::string& measure = "") {
    std::string all = key + attributes + numbers + measure + measure + measure;
    char* text = arena.allocate(all.size());
    all.copy(text, all.size());
    DataRecord r;
    r.text = text;
    r.keyLength = static_cast<std::uint16_t>(key.size());
    r.attributesLength = static_cast<std::uint16_t>(attributes.size());
    r.numbersLength = static_cast<std::uint16_t>(numbers.size());
    for (auto& length : r.measureLength) length = static_cast<std::uint16_t>(measure.size());
    list.push_back(r);
  }
  std::vector<std::string> keys() const {
    std::vector<std::string> result;
    for (const DataRecord& r : list) result.emplace_back(r.key());
    return result;
  }
};

ColumnLayout hourlyLayout(int numeric, bool lastIsNumeric) {
  ColumnLayout layout;
  layout.mode = 0;
  layout.columnCount = numeric + 1;
  for (int k = 0; k < numeric; ++k) {
    ColumnInfo c;
    c.columnClass = kNumericClass;
    c.position = lastIsNumeric ? k + 1 : k;
    layout.table.push_back(c);
    layout.numericColumns.push_back(k);
    layout.numericPositions.push_back(c.position);
  }
  return layout;
}

ColumnLayout billingLayout(int op1, int op2, int op3) {
  ColumnLayout layout;
  layout.mode = 1;
  ColumnInfo c;
  c.columnClass = op1;
  c.measureCount = 3;
  int ops[3] = {op1, op2, op3};
  for (int n = 0; n < 3; ++n) {
    c.measureOps[n] = ops[n];
    c.measureNumbers[n] = n + 1;
    layout.measureColumns[n].column = 0;
    layout.measureColumns[n].index = n;
  }
  layout.table.push_back(c);
  return layout;
}

TEST(RecordSort, KeyComparisonFoldsLettersOnly) {
  EXPECT_EQ(0, compareKeys("ABC,", "abc,"));
  EXPECT_LT(compareKeys("a_,", "aa,"), 0);  // '_' (95) sorts before any letter
  EXPECT_LT(compareKeys("Z_,", "z`,"), 0);
  EXPECT_LT(compareKeys("a,", "a-b,"), 0);  // the comma sorts before '-'
  EXPECT_LT(compareKeys("a,", "a0,"), 0);
  EXPECT_LT(compareKeys("ab", "abc"), 0);   // a prefix is smaller
  EXPECT_GT(compareKeys("\xe9,", "z,"), 0); // bytes compare unsigned
}

TEST(RecordSort, KeyPrefixOrdersAsTheFullComparison) {
  std::mt19937 random(11);
  const char alphabet[] = {'a', 'A', 'b', ',', '-', '\0', '\xff', '_'};
  for (int round = 0; round < 20000; ++round) {
    std::string a, b;
    for (std::size_t n = random() % 11; n > 0; --n) a.push_back(alphabet[random() % 8]);
    b = a.substr(0, random() % (a.size() + 1));
    for (std::size_t n = random() % 4; n > 0; --n) b.push_back(alphabet[random() % 8]);
    std::uint64_t pa = keyPrefix(a), pb = keyPrefix(b);
    if (pa == pb) continue;
    int full = compareKeys(a, b);
    ASSERT_NE(0, full);
    ASSERT_EQ(pa < pb, full < 0) << "'" << a << "' '" << b << "'";
  }
  EXPECT_EQ(keyPrefix("ABC,"), keyPrefix("abc,"));
  EXPECT_LT(keyPrefix("ab"), keyPrefix("ab,"));
}

TEST(RecordSort, SortsManyKeysLikeACaseFoldingSort) {
  std::mt19937 random(7);
  Records records;
  std::vector<std::string> expected;
  for (int k = 0; k < 2000; ++k) {
    // A head all keys share (letters folded), which the prefixes skip.
    std::string key = random() % 2 ? "Head/" : "hEAD/";
    for (int c = 0; c < 3; ++c) key.push_back("aAbB_,-z"[random() % 8]);
    records.add(key);
    expected.push_back(key);
  }
  sortRecords(&records.list);
  std::vector<std::string> got = records.keys();
  for (std::size_t k = 1; k < got.size(); ++k) {
    ASSERT_LE(compareKeys(got[k - 1], got[k]), 0) << k;
  }
  std::sort(expected.begin(), expected.end());
  std::sort(got.begin(), got.end());
  EXPECT_EQ(expected, got);
}

TEST(RecordSort, EqualKeysComeOutInTheAlgorithmsOrder) {
  // Insertion places an entry before the equal entries that precede it, so
  // a short run comes out reversed and its last-read record survives.
  Records small;
  for (const char* a : {"first,", "second,", "third,"}) small.add("k,", a);
  sortRecords(&small.list);
  EXPECT_EQ("third,", small.list[0].attributes());
  EXPECT_EQ("first,", small.list[2].attributes());

  // Past 13 entries each partition moves its middle entry far right and
  // the left end is finished by insertion (order worked out by hand).
  Records large;
  for (int k = 0; k < 20; ++k) large.add("k,", std::to_string(k) + ",");
  sortRecords(&large.list);
  std::string order;
  for (const DataRecord& r : large.list) order += std::string(r.attributes());
  EXPECT_EQ("11,10,0,18,16,14,5,4,3,2,1,12,6,13,7,15,8,17,9,19,", order);
}

TEST(RecordSort, CaseVariantsMergeIntoTheFirstSorted) {
  Records records;
  records.add("B,", "1,");
  records.add("a,", "2,");
  records.add("A,", "3,");
  records.add("b,", "4,");
  sortRecords(&records.list);
  EXPECT_EQ((std::vector<std::string>{"A,", "a,", "b,", "B,"}), records.keys());
  ColumnLayout layout = hourlyLayout(0, false);
  EXPECT_EQ(2, groupRecords(&records.list, layout, &records.arena));
  EXPECT_EQ(2, records.list[0].count);
  EXPECT_EQ("3,", records.list[0].attributes());
  EXPECT_FALSE(records.list[1].present());
  EXPECT_EQ(2, records.list[2].count);
  EXPECT_EQ("4,", records.list[2].attributes());
  EXPECT_FALSE(records.list[3].present());
}

TEST(RecordSort, HourlyAveragesKeepTheirForms) {
  Records three;
  three.add("k,", "", "1\r\n,");
  three.add("k,", "", "2\r\n,");
  three.add("k,", "", "4\r\n,");
  three.add("solo,", "", "1500\r\n,");
  ColumnLayout last = hourlyLayout(1, true);
  EXPECT_EQ(2, groupRecords(&three.list, last, &three.arena));
  EXPECT_EQ("2.333\r\n", three.list[0].numbers());
  EXPECT_EQ("k,", three.list[0].key());
  EXPECT_EQ("1500\r\n,", three.list[3].numbers());  // untouched when alone
  EXPECT_EQ(1, three.list[3].count);

  Records two;
  two.add("k,", "a,", "1500,7,");
  two.add("k,", "b,", "2500,9,");
  ColumnLayout notLast = hourlyLayout(2, false);
  EXPECT_EQ(1, groupRecords(&two.list, notLast, &two.arena));
  EXPECT_EQ("2000.000,8.000", two.list[0].numbers());
  EXPECT_EQ("a,", two.list[0].attributes());
}

TEST(RecordSort, HourlyAveragesMoreThanSixteenColumns) {
  Records records;
  std::string ones, threes;
  for (int k = 0; k < 20; ++k) ones += "1,", threes += "3,";
  records.add("k,", "", ones);
  records.add("k,", "", threes);
  ColumnLayout layout = hourlyLayout(20, false);
  groupRecords(&records.list, layout, &records.arena);
  std::string expected;
  for (int k = 0; k < 20; ++k) expected += k ? ",2.000" : "2.000";
  EXPECT_EQ(expected, records.list[0].numbers());
}

TEST(RecordSort, BillingMeasuresAggregate) {
  struct Case { int op; const char* result; };
  for (Case c : {Case{10, "3.000"}, Case{11, "8.000"}, Case{12, "5.333"}, Case{13, "16.000"}}) {
    Records records;
    for (const char* v : {"5", "3", "8"}) records.add("u,", "", "", v);
    ColumnLayout layout = billingLayout(c.op, c.op, c.op);
    EXPECT_EQ(1, groupRecords(&records.list, layout, &records.arena));
    EXPECT_EQ(c.result, records.list[0].measure(0)) << c.op;
    EXPECT_EQ(3, records.list[0].count);
  }
  // Unknown codes and measures without a column keep the text.
  Records records;
  records.add("u,", "", "", "5");
  records.add("u,", "", "", "6");
  ColumnLayout layout = billingLayout(13, 99, 10);
  layout.measureColumns[2].column = -1;
  groupRecords(&records.list, layout, &records.arena);
  EXPECT_EQ("11.000", records.list[0].measure(0));
  EXPECT_EQ(-1, measureOperation(layout, 3));
  EXPECT_EQ("5", records.list[0].measure(1));
  EXPECT_EQ("5", records.list[0].measure(2));
}

}  // namespace
