#ifndef PARSER_DATES_H_
#define PARSER_DATES_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "parser/parser_types.h"

/// A calendar date and time of day, without a zone.
struct CalendarTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

/// Length of a date-time text for Oracle ("YYYY-MM-DD HH:MM:SS").
constexpr std::size_t kDateTimeLength = 19;
/// Length of a date-time text for the other databases (".000" appended).
constexpr std::size_t kDateTimeMillisLength = 23;
/// Room for the longest date-time text, its terminator included.
constexpr std::size_t kDateTimeBufferSize = 32;

/// The date-time text the data file carries, in the form `db` wants.
class DateTimeText {
 public:
  /// Formats `time` ("%4d-%02d-%02d %02d:%02d:%02d", ".000" appended unless
  /// `db` is Oracle).
  DateTimeText(const CalendarTime& time, DbKind db);
  /// The zero date and time, "0000-00-00 00:00:00" in the form of `db`.
  static DateTimeText placeholder(DbKind db);
  /// The text.
  std::string_view view() const { return std::string_view(text_, size_); }

 private:
  /// The characters, zero-terminated.
  char text_[kDateTimeBufferSize];
  /// Number of characters.
  std::size_t size_ = 0;
};

/// Writes "%02d:%02d:%02d" of the time of day into `out` (8 characters).
void formatTimeOfDay(const CalendarTime& time, char out[8]);

/// Month 1..12 of a month name of the common log format, decided by its
/// letters alone; 0 for an unknown first letter.
int monthFromName(std::string_view name);

/// Day of the week of a date: 1 (Sunday) to 7 (Saturday).
int dayOfWeek(int month, int day, int year);

/// True when `text` is not empty and holds only digits, blanks, '-', '.'
/// and ':'.
bool isDateText(std::string_view text);

/// Reads a decimal integer from the start of `text` the way atoi does
/// (leading white space, an optional sign, digits; the rest ignored). False
/// when there are no digits or the number does not fit in 9 digits.
bool readLeadingInt(std::string_view text, int* number);

/// As readLeadingInt, for numbers of up to 18 digits; `*length`, when
/// given, receives the length of the text read (through the last digit).
bool readLeadingInt64(std::string_view text, std::int64_t* number,
                      std::size_t* length = nullptr);

/// Seconds since 1970-01-01 00:00 UTC of a calendar time read as UTC.
/// Fields out of their usual ranges carry over as timegm does (month 13 is
/// January of the next year, day 0 the last day of the month before).
std::int64_t utcToSeconds(const CalendarTime& time);

/// The calendar time (UTC) of an instant in seconds since 1970.
CalendarTime secondsToUtc(std::int64_t seconds);

/// Splits a common-log-format time "[day/Mon/year:hour:minute:second zone]"
/// into its calendar time and its zone offset in seconds east of UTC
/// ("-0700" gives -25200). False when the value lacks that shape.
bool parseClfTime(std::string_view value, CalendarTime* time,
                  long* zoneOffsetEast);

/// Reads "YYYY-MM-DD HH:MM:SS" (exactly these digits and separators) at the
/// start of `text`. False when the text is shorter or differs, or a field
/// is outside its calendar range (month 1-12, day 1-31, hour 0-23, minute
/// 0-59, second 0-60).
bool parseDateTime(std::string_view text, CalendarTime* time);

/// Converts instants to the local calendar time of the machine. The offset
/// from UTC is remembered for the current hour once it is known not to
/// change within that hour, so time-ordered logs pay the platform's
/// conversion about twice an hour rather than once per line.
class LocalClock {
 public:
  /// The local calendar time of `instant` (seconds since 1970); false when
  /// the platform cannot convert it.
  bool toLocal(std::int64_t instant, CalendarTime* local);
  /// Forgets the remembered hour (after the time zone setting changed).
  void reset() { windowStart_ = kNoWindow; }

 private:
  /// Start of no hour: nothing remembered yet.
  static constexpr std::int64_t kNoWindow = INT64_MIN;
  /// Offset east of UTC of `instant` as the platform sees it; false when
  /// the platform cannot convert it.
  static bool platformOffset(std::int64_t instant, std::int64_t* offset);

  /// Start (seconds since 1970, a multiple of 3600) of the remembered hour.
  std::int64_t windowStart_ = kNoWindow;
  /// Offset east of UTC throughout the remembered hour.
  std::int64_t windowOffset_ = 0;
  /// The local time at the start of the remembered hour.
  CalendarTime windowLocal_;
};

#endif  // PARSER_DATES_H_
