#include "parser/value_conversions.h"

#include <gtest/gtest.h>

#include <string>

#include "common/scoped_time_zone.h"
#include "parser/normalise.h"

namespace {

std::string seconds(std::string_view value, int scale) {
  char out[kConvertedNumberLength];
  return std::string(durationInSeconds(value, scale, out));
}

TEST(DurationTest, SecondsWithSixDecimalsLikeSquidMilliseconds) {
  EXPECT_EQ(seconds("1500000", 6), "1.500000");  // Apache %D
  EXPECT_EQ(seconds("2", 0), "2.000000");        // %T
  EXPECT_EQ(seconds("0.123", 0), "0.123000");    // $request_time
  EXPECT_EQ(seconds("0.001234567", 0), "0.001235");
  EXPECT_EQ(seconds("0.0000005", 0), "0.000001");  // half up
  EXPECT_EQ(seconds("9.9999996", 0), "10.000000");
  EXPECT_EQ(seconds("999999.9999999", 0), "1000000.000000");
  EXPECT_EQ(seconds("1234567891", 9), "1.234568");  // nanoseconds
  EXPECT_EQ(seconds(".5", 3), "0.000500");
  EXPECT_EQ(seconds("00012", 3), "0.012000");
  EXPECT_EQ(seconds("1e3", 3), "1.000000");
  // What the squid rule leaves alone stays as it is.
  for (const char* kept : {"0", "0.000", "-", "", "-5", "abc", "1,5"}) {
    EXPECT_EQ(seconds(kept, 3), kept) << kept;
  }
  // Milliseconds give exactly what the squid template's field gives.
  for (const char* ms : {"1", "999", "1000", "1852", "86400000", "123456789", "2500.5"}) {
    FieldBuffer squid;
    squid.assign(ms);
    millisecondsToSeconds(squid);
    EXPECT_EQ(seconds(ms, 3), std::string(squid.view())) << ms;
  }
}

TEST(EpochTest, ScaledCountsAndInstants) {
  char out[kConvertedNumberLength];
  EXPECT_EQ(epochInSeconds("1796637600123", 3, out), "1796637600");
  EXPECT_EQ(epochInSeconds("1796637600123456", 6, out), "1796637600");
  EXPECT_EQ(epochInSeconds("12", 3, out), "-");
  EXPECT_EQ(epochInSeconds("x", 3, out), "-");
  EXPECT_EQ(instantText(1796637600, out), "1796637600");
  EXPECT_EQ(instantText(0, out), "-");
}

TEST(ValueConverterTest, ConvertsForTheColumns) {
  ScopedTimeZone zone("UTC");
  ValueConverter converter;
  ValueScratch scratch(1024);
  auto convert = [&](ValueConversion conversion, std::string_view value) {
    return std::string(converter.convert(conversion, value, scratch));
  };
  using C = ValueConversion;
  EXPECT_EQ(convert(C::kBracketed, "07/Dec/2026:11:00:00 +0100"), "[07/Dec/2026:11:00:00 +0100]");
  EXPECT_EQ(convert(C::kIsoTime, "2026-12-07T11:00:00+01:00"), "1796637600");
  EXPECT_EQ(convert(C::kIsoTime, "yesterday"), "-");
  EXPECT_EQ(convert(C::kAutoTime, "1796637600.25"), "1796637600.25");
  EXPECT_EQ(convert(C::kAutoTime, "1.7966376e9"), "1796637600");
  EXPECT_EQ(convert(C::kAutoTime, "2026-12-07T10:00:00Z"), "1796637600");
  EXPECT_EQ(convert(C::kAutoTime, "07/Dec/2026:11:00:00 +0100"), "1796637600");
  EXPECT_EQ(convert(C::kAutoTime, "[07/Dec/2026:11:00:00 +0100]"), "1796637600");
  EXPECT_EQ(convert(C::kAutoTime, "soon"), "-");
  EXPECT_EQ(convert(C::kEpochMilliseconds, "1796637600999"), "1796637600");
  EXPECT_EQ(convert(C::kMicroseconds, "250"), "0.000250");
  EXPECT_EQ(convert(C::kRequestLineUrl, "GET /a/b.html?x=1 HTTP/1.1"), "/a/b.html");
  EXPECT_EQ(convert(C::kRequestLineUrl, "/plain"), "/plain");
  EXPECT_EQ(convert(C::kSeconds, "-"), "-");
  // A full scratch leaves values unconverted rather than cut.
  ValueScratch tiny(4);
  EXPECT_EQ(converter.convert(C::kBracketed, "abcdef", tiny), "abcdef");
}

}  // namespace
