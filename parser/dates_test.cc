#include "parser/dates.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "common/platform.h"
#include "common/scoped_time_zone.h"

namespace {

// True when the platform applies daylight saving in the current zone: noon
// of 1 July and of 1 January are an hour apart in offset.
bool zoneHasDaylightSaving() {
  std::tm winter = platform::localTime(1735732800);  // 2025-01-01 12:00 UTC
  std::tm summer = platform::localTime(1751371200);  // 2025-07-01 12:00 UTC
  return winter.tm_hour != summer.tm_hour;
}

std::string text(const CalendarTime& time, DbKind db) {
  return std::string(DateTimeText(time, db).view());
}

CalendarTime fromTm(const std::tm& tm) {
  return CalendarTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                      tm.tm_hour,        tm.tm_min,     tm.tm_sec};
}

bool sameTime(const CalendarTime& a, const CalendarTime& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day &&
         a.hour == b.hour && a.minute == b.minute && a.second == b.second;
}

TEST(MonthFromNameTest, RecognisesEveryMonthByItsLetters) {
  const char* names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  for (int month = 1; month <= 12; ++month) {
    EXPECT_EQ(monthFromName(names[month - 1]), month) << names[month - 1];
  }
  // Decided by letters alone: full names work, short texts never overrun.
  EXPECT_EQ(monthFromName("January"), 1);
  EXPECT_EQ(monthFromName("J"), 6);
  EXPECT_EQ(monthFromName("A"), 8);
  EXPECT_EQ(monthFromName("jan"), 0);
  EXPECT_EQ(monthFromName("Xyz"), 0);
  EXPECT_EQ(monthFromName(""), 0);
}

TEST(DayOfWeekTest, CountsFromSundayAsOne) {
  EXPECT_EQ(dayOfWeek(12, 7, 2026), 2);   // Monday
  EXPECT_EQ(dayOfWeek(11, 30, 2002), 7);  // Saturday
  EXPECT_EQ(dayOfWeek(1, 1, 2000), 7);    // Saturday, January shifts the year
  EXPECT_EQ(dayOfWeek(2, 29, 2024), 5);   // Thursday, leap day
  EXPECT_EQ(dayOfWeek(3, 1, 1900), 5);    // Thursday, century not a leap year
  EXPECT_EQ(dayOfWeek(9, 9, 2001), 1);    // Sunday
}

TEST(DateTimeTextTest, FormatsByDatabase) {
  CalendarTime time{2001, 9, 9, 1, 46, 40};
  EXPECT_EQ(text(time, DbKind::Oracle), "2001-09-09 01:46:40");
  EXPECT_EQ(text(time, DbKind::Sybase), "2001-09-09 01:46:40.000");
  EXPECT_EQ(text(time, DbKind::MsSql), "2001-09-09 01:46:40.000");
  EXPECT_EQ(text(time, DbKind::None), "2001-09-09 01:46:40.000");
  EXPECT_EQ(text(CalendarTime{987, 1, 2, 3, 4, 5}, DbKind::Oracle),
            " 987-01-02 03:04:05");
  EXPECT_EQ(DateTimeText::placeholder(DbKind::Oracle).view(), "0000-00-00 00:00:00");
  EXPECT_EQ(DateTimeText::placeholder(DbKind::None).view(), "0000-00-00 00:00:00.000");
  char timeOfDay[8];
  formatTimeOfDay(CalendarTime{2002, 3, 5, 0, 30, 7}, timeOfDay);
  EXPECT_EQ(std::string(timeOfDay, 8), "00:30:07");
}

TEST(UtcSecondsTest, AgreesWithThePlatformAndCarriesOver) {
  EXPECT_EQ(utcToSeconds(CalendarTime{1970, 1, 1, 0, 0, 0}), 0);
  EXPECT_EQ(utcToSeconds(CalendarTime{2001, 9, 9, 1, 46, 40}), 1000000000);
  EXPECT_EQ(utcToSeconds(CalendarTime{1969, 12, 31, 23, 59, 59}), -1);
  // Out-of-range fields carry over.
  EXPECT_EQ(utcToSeconds(CalendarTime{2002, 13, 1, 0, 0, 0}),
            utcToSeconds(CalendarTime{2003, 1, 1, 0, 0, 0}));
  EXPECT_EQ(utcToSeconds(CalendarTime{2002, 3, 0, 0, 0, 0}),
            utcToSeconds(CalendarTime{2002, 2, 28, 0, 0, 0}));
  EXPECT_EQ(utcToSeconds(CalendarTime{2000, 1, 32, 24, 0, 0}),
            utcToSeconds(CalendarTime{2000, 2, 2, 0, 0, 0}));
  EXPECT_EQ(utcToSeconds(CalendarTime{2100, 1, 1, 0, 0, 0}), 4102444800);
  EXPECT_TRUE(sameTime(secondsToUtc(4102444799), CalendarTime{2099, 12, 31, 23, 59, 59}));
  // About every day from 1970 to 2038 (the range every platform converts)
  // agrees with the platform's conversion, in both directions.
  ScopedTimeZone zone("UTC");
  for (std::int64_t seconds = 0; seconds < 2147483647; seconds += 86400 + 3601) {
    std::tm utc = platform::localTime(seconds);
    CalendarTime expected = fromTm(utc);
    ASSERT_TRUE(sameTime(secondsToUtc(seconds), expected)) << seconds;
    ASSERT_EQ(utcToSeconds(expected), seconds);
    ASSERT_EQ(platform::utcToInstant(utc), seconds);
  }
}

TEST(ParseClfTimeTest, SplitsDateTimeAndZone) {
  CalendarTime time;
  long zone = 0;
  ASSERT_TRUE(parseClfTime("[10/Oct/2000:13:55:36 -0700]", &time, &zone));
  EXPECT_TRUE(sameTime(time, CalendarTime{2000, 10, 10, 13, 55, 36}));
  EXPECT_EQ(zone, -25200);
  ASSERT_TRUE(parseClfTime("[01/Jul/2002:00:00:05 +0130]", &time, &zone));
  EXPECT_TRUE(sameTime(time, CalendarTime{2002, 7, 1, 0, 0, 5}));
  EXPECT_EQ(zone, 5400);
}

TEST(ParseClfTimeTest, RejectsValuesWithoutTheShape) {
  CalendarTime time;
  long zone = 0;
  const char* bad[] = {
      "10/Oct/2000:13:55:36 -0700",    // no brackets
      "[10/Oct/2000:13:55:36 -0700",   // no closing bracket
      "[10/Xyz/2000:13:55:36 -0700]",  // unknown month
      "[10/Oct/2000:13:55:36]",        // no zone
      "[10/Oct/2000:13:55 -0700]",     // no seconds
      "[10/Oct:13:55:36 -0700]",       // no year
      "[10/Oct/2000:13:55:36 0700]",   // zone without sign
      "[10/Oct/2000:13:55:36 -07]",    // short zone
      "[aa/Oct/2000:13:55:36 -0700]",  // day not a number
      "[",
      "",
  };
  for (const char* value : bad) {
    EXPECT_FALSE(parseClfTime(value, &time, &zone)) << value;
  }
}

TEST(ParseDateTimeTest, NeedsTheExactShapeAndRanges) {
  CalendarTime time;
  ASSERT_TRUE(parseDateTime("2002-03-04 23:30:00.000", &time));
  EXPECT_TRUE(sameTime(time, CalendarTime{2002, 3, 4, 23, 30, 0}));
  EXPECT_FALSE(parseDateTime("2002-03-04 23:30:0", &time));
  EXPECT_FALSE(parseDateTime("2002/03/04 23:30:00", &time));
  EXPECT_FALSE(parseDateTime("0000-00-00 23:30:00", &time));
  EXPECT_FALSE(parseDateTime("2002-13-04 23:30:00", &time));
  EXPECT_FALSE(parseDateTime("2002-03-04 24:30:00", &time));
  EXPECT_FALSE(parseDateTime("20a2-03-04 23:30:00", &time));
}

TEST(LocalClockTest, ConvertsUnderFixedZones) {
  LocalClock clock;
  CalendarTime local;
  {
    ScopedTimeZone zone("UTC");
    clock.reset();
    ASSERT_TRUE(clock.toLocal(1000000000, &local));
    EXPECT_TRUE(sameTime(local, CalendarTime{2001, 9, 9, 1, 46, 40}));
  }
  {
    // One hour east of Greenwich, no daylight saving.
    ScopedTimeZone zone("UTC-1");
    if (platform::standardOffsetWest() != -3600) GTEST_SKIP() << "zone not settable";
    clock.reset();
    ASSERT_TRUE(clock.toLocal(1000000000, &local));
    EXPECT_TRUE(sameTime(local, CalendarTime{2001, 9, 9, 2, 46, 40}));
    ASSERT_TRUE(clock.toLocal(1000000000 + 1800, &local));
    EXPECT_TRUE(sameTime(local, CalendarTime{2001, 9, 9, 3, 16, 40}));
  }
}

// The remembered hour must never change a result: instants 59 seconds
// apart across both daylight-saving changes of a year agree with the
// platform's own conversion.
void expectCacheMatchesPlatform(std::int64_t from, std::int64_t to) {
  LocalClock clock;
  for (std::int64_t instant = from; instant < to; instant += 59) {
    CalendarTime cached;
    ASSERT_TRUE(clock.toLocal(instant, &cached));
    CalendarTime direct = fromTm(platform::localTime(instant));
    ASSERT_TRUE(sameTime(cached, direct))
        << instant << ": " << text(cached, DbKind::Oracle) << " vs "
        << text(direct, DbKind::Oracle);
  }
}

TEST(LocalClockTest, CacheMatchesThePlatformAcrossDaylightSavingChanges) {
  const char* zones[] = {"Europe/Berlin", "America/Los_Angeles",
                         "Australia/Lord_Howe"};
  for (const char* name : zones) {
    ScopedTimeZone zone(name);
    if (!zoneHasDaylightSaving()) {
      GTEST_SKIP() << name << " has no daylight saving on this platform";
    }
    SCOPED_TRACE(name);
    // 2026-03-01 to 2026-04-15 and 2026-10-01 to 2026-11-15 (UTC): both
    // changes of the northern and the southern hemisphere.
    expectCacheMatchesPlatform(1772323200, 1776211200);
    expectCacheMatchesPlatform(1790812800, 1794700800);
  }
}

}  // namespace
