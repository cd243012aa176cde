#include "parser/time_pattern.h"

#include <gtest/gtest.h>

#include <string>

#include "common/platform.h"
#include "common/scoped_time_zone.h"

namespace {

// The instant a value of `format` names, or -1 when it is not read whole.
std::int64_t instantOfValue(const char* format, std::string_view value) {
  TimePattern pattern;
  std::string error;
  if (!pattern.compile(format, &error)) return -2;
  TimeParts parts;
  std::size_t end = 0;
  LocalInstants local;
  std::int64_t instant = 0;
  if (!pattern.read(value, 0, &end, &parts) || end != value.size() ||
      !instantOf(parts, local, &instant)) {
    return -1;
  }
  return instant;
}

constexpr std::int64_t k20261207At10 = 1796637600;  // 2026-12-07 10:00:00 UTC

TEST(TimePatternTest, ReadsWhatStrftimeWrites) {
  ScopedTimeZone zone("UTC");
  EXPECT_EQ(instantOfValue("%d/%b/%Y:%H:%M:%S %z", "07/Dec/2026:11:00:00 +0100"), k20261207At10);
  EXPECT_EQ(instantOfValue("%d/%b/%Y:%T %z", "07/dec/2026:02:30:00 -07:30"), k20261207At10);
  EXPECT_EQ(instantOfValue("%F %T", "2026-12-07 10:00:00"), k20261207At10);
  EXPECT_EQ(instantOfValue("%a %b %e %H:%M:%S %Y", "Mon Dec  7 10:00:00 2026"), k20261207At10);
  EXPECT_EQ(instantOfValue("%c", "Mon Dec  7 10:00:00 2026"), k20261207At10);
  EXPECT_EQ(instantOfValue("%D %r", "12/07/26 10:00:00 AM"), k20261207At10);
  EXPECT_EQ(instantOfValue("%m/%d/%y %I:%M %p", "12/07/26 12:00 AM"), k20261207At10 - 36000);
  EXPECT_EQ(instantOfValue("%Y%m%d%H%M%S", "20261207100000"), k20261207At10);
  EXPECT_EQ(instantOfValue("%B %d, %Y %H:%M %Z", "December 07, 2026 10:00 GMT"), k20261207At10);
  EXPECT_EQ(instantOfValue("%s", "1796637600"), k20261207At10);
  EXPECT_EQ(instantOfValue("[%d/%b/%Y %H%%]", "[07/Dec/2026 10%]"), k20261207At10);
  // A date without a time of day is midnight; no date at all is no stamp.
  EXPECT_EQ(instantOfValue("%Y-%m-%d", "2026-12-07"), k20261207At10 - 36000);
  EXPECT_EQ(instantOfValue("%H:%M:%S", "10:00:00"), -1);
  EXPECT_EQ(instantOfValue("%d/%b/%Y", "07/Dex/2026"), -1);
  EXPECT_EQ(instantOfValue("%Y-%m-%d", "2026-13-07"), -1);
  EXPECT_EQ(instantOfValue("%d/%m", "07-12"), -1);
}

TEST(TimePatternTest, ZonelessTimesAreLocalTime) {
  {
    ScopedTimeZone zone("UTC-1");  // one hour east, as POSIX writes it
    if (platform::standardOffsetWest() != -3600) GTEST_SKIP() << "zone not settable";
    EXPECT_EQ(instantOfValue("%F %T", "2026-12-07 11:00:00"), k20261207At10);
    EXPECT_EQ(instantOfValue("%F %T %z", "2026-12-07 10:00:00 +0000"), k20261207At10);
  }
  ScopedTimeZone zone("Europe/Berlin");
  std::tm summer = platform::localTime(1783418400);  // 2026-07-07 10:00 UTC
  if (summer.tm_hour != 12) GTEST_SKIP() << "no daylight saving time here";
  EXPECT_EQ(instantOfValue("%F %T", "2026-07-07 12:00:00"), 1783418400);
}

TEST(TimePatternTest, RefusesWhatItCannotRead) {
  TimePattern pattern;
  std::string error;
  EXPECT_FALSE(pattern.compile("%Y-%q", &error));
  EXPECT_EQ(error, "time conversion %q not understood");
  EXPECT_FALSE(pattern.compile("%Y %", &error));
  EXPECT_TRUE(pattern.compile("%-d/%_m/%Y", &error));  // padding flags
  std::size_t end = 0;
  EXPECT_TRUE(pattern.read("x 7/12/2026 y", 2, &end, nullptr));
  EXPECT_EQ(end, 11u);
}

TEST(IsoTimeTest, ReadsDateTimeFractionAndZone) {
  ScopedTimeZone zone("UTC");
  LocalInstants local;
  auto instant = [&](std::string_view text) -> std::int64_t {
    TimeParts parts;
    std::int64_t value = 0;
    if (!readIsoTime(text, &parts) || !instantOf(parts, local, &value)) return -1;
    return value;
  };
  EXPECT_EQ(instant("2026-12-07T11:00:00+01:00"), k20261207At10);
  EXPECT_EQ(instant("2026-12-07T10:00:00Z"), k20261207At10);
  EXPECT_EQ(instant("2026-12-07T10:00:00.123456789Z"), k20261207At10);
  EXPECT_EQ(instant("2026-12-07 05:00:00-0500"), k20261207At10);
  EXPECT_EQ(instant("2026-12-07T10:00:00"), k20261207At10);  // local, here UTC
  EXPECT_EQ(instant("2026-12-07T10:00"), -1);
  EXPECT_EQ(instant("2026-12-07T10:00:00+01:00 "), -1);
  EXPECT_EQ(instant("1796637600"), -1);
}

}  // namespace
