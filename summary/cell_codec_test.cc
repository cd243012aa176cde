#include "summary/cell_codec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "summary/counting.h"
#include "summary/raw_cell.h"
#include "summary/summary_table.h"

TEST(CellCodec, ValuesComeBackAndDamageIsCaught) {
  CellWriter out;
  const std::int64_t numbers[] = {0, -1, 1, 63, -64, std::numeric_limits<std::int64_t>::min(),
                                  std::numeric_limits<std::int64_t>::max()};
  for (std::int64_t n : numbers) out.number(n);
  out.count(~0ULL);
  out.real(-0.125);
  out.real(std::numeric_limits<double>::denorm_min());
  out.text(std::string("a\0\xff", 3));
  const std::string data = out.take();
  CellReader in(data);
  for (std::int64_t n : numbers) EXPECT_EQ(in.number(), n);
  EXPECT_EQ(in.count(), ~0ULL);
  EXPECT_EQ(in.real(), -0.125);
  EXPECT_EQ(in.real(), std::numeric_limits<double>::denorm_min());
  EXPECT_EQ(in.text(), std::string_view("a\0\xff", 3));
  EXPECT_TRUE(in.done());

  // Cut short anywhere, or claiming more than is there: failed, never past the end.
  for (std::size_t cut = 0; cut < data.size(); ++cut) {
    CellReader shortened(std::string_view(data).substr(0, cut));
    for (int k = 0; k < 8; ++k) shortened.number();
    shortened.count();
    shortened.real();
    shortened.real();
    shortened.text();
    EXPECT_FALSE(shortened.done()) << cut;
  }
  CellWriter huge;
  huge.count(1000000);
  CellReader claims(huge.data());
  EXPECT_EQ(claims.entries(3), 0u);
  EXPECT_TRUE(claims.failed());
  CellWriter longText;
  longText.count(50);
  longText.count('x');
  CellReader text(longText.data());
  EXPECT_EQ(text.text(), "");
  EXPECT_TRUE(text.failed());
}

TEST(CellCodec, RawCellReaderRefusesWhatNoWriterMakes) {
  struct Ignore : RawCellVisitor {
    void totals(const RawTotals&) override {}
    void statusCode(std::int64_t, std::int64_t, std::int64_t) override {}
    void transactionCode(std::int64_t, std::int64_t, std::int64_t) override {}
    void value(RawDimension, std::string_view, std::int64_t, std::int64_t) override {}
    void hour(int, const RawTotals&) override {}
    void hourClient(std::uint64_t) override {}
    void hourTime(double, std::int64_t) override {}
  } ignore;
  auto cell = [](int hourOfDay, std::uint64_t client, bool trailing) {
    CellWriter out;
    out.count(1);
    for (int k = 0; k < 8; ++k) out.number(0);  // totals
    out.count(0);                                // status codes
    out.count(0);                                // transaction codes
    for (int d = 0; d < kRawDimensions; ++d) {
      out.count(d == kRawClients ? 1 : 0);
      if (d == kRawClients) {
        out.text("10.0.0.1");
        out.number(1);
        out.number(0);
      }
    }
    out.count(1);  // one hour
    out.count(static_cast<std::uint64_t>(hourOfDay));
    for (int k = 0; k < 8; ++k) out.number(0);
    out.count(1);
    out.count(client);
    out.count(0);
    if (trailing) out.count(0);
    return out.take();
  };
  EXPECT_TRUE(readRawCell(cell(23, 0, false), &ignore));
  EXPECT_FALSE(readRawCell(cell(24, 0, false), &ignore));
  EXPECT_FALSE(readRawCell(cell(3, 1, false), &ignore));
  EXPECT_FALSE(readRawCell(cell(3, 0, true), &ignore));
}

TEST(ExactSum, OrderDoesNotChangeTheSum) {
  const double values[] = {386.833, 0.001, 23084.0, 1e12, -0.1, 7.0 / 3, 1e-9, 33787.667};
  ExactSum forward, backward, halves, second;
  for (double v : values) forward.add(v);
  for (int k = 7; k >= 0; --k) backward.add(values[k]);
  for (int k = 0; k < 4; ++k) halves.add(values[k]);
  for (int k = 4; k < 8; ++k) second.add(values[k]);
  second.merge(halves);
  EXPECT_EQ(forward.thousandths(), backward.thousandths());
  EXPECT_EQ(forward.thousandths(), second.thousandths());
  // 7/3 and 1e-9 have more than three decimals: they alone go to the rest.
  EXPECT_DOUBLE_EQ(forward.other(), 7.0 / 3 + 1e-9);
  ExactSum tenths;
  for (int k = 0; k < 10; ++k) tenths.add(0.1);
  EXPECT_EQ(tenths.value(), 1.0);  // a double sum gives 0.9999999999999999
  std::int64_t thousandths = 0;
  EXPECT_FALSE(asThousandths(std::nan(""), &thousandths));
  EXPECT_FALSE(asThousandths(1e300, &thousandths));
  ExactSum big;
  big.add(8.7e12);
  for (int k = 0; k < 2000; ++k) big.merge(ExactSum::of(std::numeric_limits<std::int64_t>::max() / 1000, 0));
  // Past 2^63 thousandths the sum goes on in the rest, never wrapped.
  EXPECT_NEAR(big.value(), 8.7e12 + 2000 * 9223372036854.775, 1e4);
}

TEST(SummaryTable, CellsInsideOutsideOrCut) {
  SummaryCell day;
  day.hasTimes = true;
  day.firstTime = "2026-12-08 00:00:00";
  day.lastTime = "2026-12-08 23:00:00";
  auto place = [&](const SummaryCell& cell, const char* from, const char* to) {
    bool inside = false, outside = false;
    placeCell(cell, from, to, &inside, &outside);
    return inside ? "inside" : outside ? "outside" : "cut";
  };
  EXPECT_STREQ(place(day, "", ""), "inside");
  EXPECT_STREQ(place(day, "2026-12-08 00:00:00", "2026-12-09 00:00:00"), "inside");
  EXPECT_STREQ(place(day, "2026-12-09 00:00:00", ""), "outside");
  EXPECT_STREQ(place(day, "", "2026-12-08 00:00:00"), "outside");
  EXPECT_STREQ(place(day, "2026-12-08 06:00:00", ""), "cut");
  EXPECT_STREQ(place(day, "", "2026-12-08 23:00:00"), "cut");
  SummaryCell nulls = day;
  nulls.nullTimes = 1;
  EXPECT_STREQ(place(nulls, "", ""), "inside");
  EXPECT_STREQ(place(nulls, "2026-12-01 00:00:00", ""), "cut");
  EXPECT_STREQ(place(nulls, "2026-12-09 00:00:00", ""), "outside");
  SummaryCell onlyNulls;
  onlyNulls.nullTimes = 5;
  EXPECT_STREQ(place(onlyNulls, "2026-12-01 00:00:00", ""), "outside");
  SummaryCell dashes;  // SQLite keeps "-": below every time
  dashes.hasTimes = true;
  dashes.firstTime = dashes.lastTime = "-";
  EXPECT_STREQ(place(dashes, "2026-12-01 00:00:00", ""), "outside");
  EXPECT_STREQ(place(dashes, "", "2026-12-01 00:00:00"), "inside");
}
