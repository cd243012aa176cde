#include "summary/civil_time.h"

#include <cstdio>

namespace {

/// Reads exactly `width` digits at `text[at]`; false when they are not.
bool digits(std::string_view text, std::size_t at, std::size_t width, int* value) {
  if (text.size() < at + width) return false;
  int number = 0;
  for (std::size_t i = at; i < at + width; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    number = number * 10 + (text[i] - '0');
  }
  *value = number;
  return true;
}

/// Days in the month.
int daysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

/// Text "YYYY-MM-DD HH:MM:SS" of a second number.
std::string civilSecond(std::int64_t seconds) {
  std::int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
  std::int64_t rest = seconds - days * 86400;
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, " %02d:%02d:%02d", static_cast<int>(rest / 3600),
                static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60));
  return civilDate(days) + buffer;
}

}  // namespace

std::int64_t daysFromCivil(int year, int month, int day) {
  // Howard Hinnant's algorithm: years start in March.
  std::int64_t y = year - (month <= 2 ? 1 : 0);
  std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  std::int64_t yearOfEra = y - era * 400;
  std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

std::string civilDate(std::int64_t days) {
  days += 719468;
  std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  std::int64_t dayOfEra = days - era * 146097;
  std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  std::int64_t mp = (5 * dayOfYear + 2) / 153;
  int day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
  int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04lld-%02d-%02d", static_cast<long long>(year), month, day);
  return buffer;
}

std::string civilHour(std::int64_t hours) {
  std::int64_t days = hours >= 0 ? hours / 24 : (hours - 23) / 24;
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, " %02d:00", static_cast<int>(hours - days * 24));
  return civilDate(days) + buffer;
}

bool hourOfTimestamp(std::string_view text, std::int64_t* hours) {
  int year, month, day, hour;
  if (text.size() < 13 || !digits(text, 0, 4, &year) || text[4] != '-' || !digits(text, 5, 2, &month) ||
      text[7] != '-' || !digits(text, 8, 2, &day) || (text[10] != ' ' && text[10] != 'T') ||
      !digits(text, 11, 2, &hour) || month < 1 || month > 12 || day < 1 ||
      day > daysInMonth(year, month) || hour > 23) {
    return false;
  }
  *hours = daysFromCivil(year, month, day) * 24 + hour;
  return true;
}

bool parseTimeArgument(std::string_view text, TimeArgument* out) {
  int year, month, day;
  if (!digits(text, 0, 4, &year) || text.size() < 10 || text[4] != '-' ||
      !digits(text, 5, 2, &month) || text[7] != '-' || !digits(text, 8, 2, &day) ||
      month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month)) {
    return false;
  }
  // Hour, minute and second follow in fixed places; the last one given
  // sets the precision.
  int parts[3] = {0, 0, 0};
  std::int64_t unit = 86400;
  const std::int64_t kUnits[3] = {3600, 60, 1};
  std::size_t at = 10;
  for (int k = 0; k < 3 && at < text.size(); ++k) {
    char separator = text[at];
    bool expected = k == 0 ? separator == ' ' || separator == 'T' : separator == ':';
    if (!expected || !digits(text, at + 1, 2, &parts[k])) return false;
    unit = kUnits[k];
    at += 3;
  }
  if (at != text.size() || parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return false;
  std::int64_t first = daysFromCivil(year, month, day) * 86400 + parts[0] * 3600 +
                       parts[1] * 60 + parts[2];
  out->start = civilSecond(first);
  out->end = civilSecond(first + unit);
  return true;
}
