#ifndef PARSER_TIME_PATTERN_H_
#define PARSER_TIME_PATTERN_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "parser/dates.h"

/// The parts of a time stamp read from log values. One line may spread a
/// stamp over several values (Apache's "%{%d/%b/%Y:%T}t.%{msec_frac}t
/// %{%z}t"): each value read adds its parts.
struct TimeParts {
  int year = -1;
  int month = -1;
  int day = -1;
  int hour = -1;
  int minute = -1;
  int second = -1;
  /// A 12-hour clock hour (%I) and whether %p said PM.
  int hour12 = -1;
  bool pm = false;
  /// The zone offset, east of UTC in seconds, when the value named one.
  bool haveZone = false;
  long zoneEast = 0;
  /// Seconds since 1970 when the value was one (%s).
  bool haveEpoch = false;
  std::int64_t epoch = 0;
};

/// Converts local calendar times of this machine to instants, remembering
/// the hour last converted (lines of one hour pay the platform once).
class LocalInstants {
 public:
  /// The instant of the local wall time `time`; the platform decides
  /// whether daylight saving applies. False when it cannot convert it.
  bool toInstant(const CalendarTime& time, std::int64_t* instant);

 private:
  /// The hour last converted: its date and hour, and its instant.
  CalendarTime hour_{-1, -1, -1, -1, 0, 0};
  std::int64_t hourInstant_ = 0;
};

/// The instant `parts` name: seconds since 1970 when read, else the
/// calendar time at the zone read, else the calendar time as local time of
/// this machine. Missing time of day counts as 00:00:00. False without a
/// year, month and day, or when the platform cannot convert it.
bool instantOf(const TimeParts& parts, LocalInstants& local,
               std::int64_t* instant);

/// A time format of strftime conversions, as Apache's %{FORMAT}t takes it,
/// compiled for reading the values it writes. Understood: %a %A %b %B %h
/// %c %C %d %D %e %F %g %G %H %I %j %k %l %m %M %n %p %r %R %s %S %t %T %u
/// %U %V %w %W %x %X %y %Y %z %Z %%; numbers may be written with fewer
/// digits than their width, %z as +hhmm, +hh:mm or Z.
class TimePattern {
 public:
  /// Compiles `format`; false with `*error` set for a conversion not
  /// understood or a '%' at the end.
  bool compile(std::string_view format, std::string* error);

  /// Reads a value of this pattern from `text` at `at`: true with `*end`
  /// just after it and its parts added to `*parts` (when not null).
  bool read(std::string_view text, std::size_t at, std::size_t* end,
            TimeParts* parts) const;

  /// True when nothing was compiled (or the format was empty).
  bool empty() const { return pieces_.empty(); }

 private:
  /// One conversion (a letter) or one literal character (`literal` set).
  struct Piece {
    char conversion = 0;
    char literal = 0;
  };
  /// Appends the pieces of `format`, composite conversions (%T, %c, ...)
  /// expanded.
  bool append(std::string_view format, std::string* error);

  /// Reads the common log format's time ("07/Dec/2026:10:00:00 +0100")
  /// written in full, without going through the pieces.
  bool readCommonLogTime(std::string_view text, std::size_t at, std::size_t* end,
                         TimeParts* parts) const;

  std::vector<Piece> pieces_;
  /// True when the format is the common log format's time.
  bool commonLogTime_ = false;
};

/// Reads an ISO 8601 date and time, "YYYY-MM-DDTHH:MM:SS" (a blank may
/// stand for the 'T'), an optional fraction (ignored) and an optional zone
/// (Z, +hh:mm, +hhmm or +hh). The whole text must be that. False otherwise.
bool readIsoTime(std::string_view text, TimeParts* parts);

#endif  // PARSER_TIME_PATTERN_H_
