#ifndef SUMMARY_CIVIL_TIME_H_
#define SUMMARY_CIVIL_TIME_H_

#include <cstdint>
#include <string>
#include <string_view>

/// Days from 1970-01-01 to the date (proleptic Gregorian calendar).
std::int64_t daysFromCivil(int year, int month, int day);

/// Text "YYYY-MM-DD" of a day number.
std::string civilDate(std::int64_t days);

/// Text "YYYY-MM-DD HH:00" of an hour number (hours from 1970-01-01 00:00).
std::string civilHour(std::int64_t hours);

/// The hour number of a stored time stamp ("YYYY-MM-DD HH..." as SQLite
/// keeps it or PostgreSQL writes it); false when it is none.
bool hourOfTimestamp(std::string_view text, std::int64_t* hours);

/// A point in time given on the command line, with the precision it was
/// given in.
struct TimeArgument {
  std::string start;  ///< "YYYY-MM-DD HH:MM:SS" of its first second
  std::string end;    ///< "YYYY-MM-DD HH:MM:SS" just after its last second
};

/// Reads "YYYY-MM-DD", "YYYY-MM-DD HH", "YYYY-MM-DD HH:MM" or
/// "YYYY-MM-DD HH:MM:SS" (a 'T' may stand for the blank); false for any
/// other text or an impossible date or time.
bool parseTimeArgument(std::string_view text, TimeArgument* out);

#endif  // SUMMARY_CIVIL_TIME_H_
