#include "parser/dates.h"

#include <cstdio>
#include <ctime>
#include <limits>

#include "common/platform.h"

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int64_t kSecondsPerHour = 3600;

// Division and remainder rounding toward minus infinity.
std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}
std::int64_t floorMod(std::int64_t a, std::int64_t b) {
  return a - floorDiv(a, b) * b;
}

// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12).
std::int64_t daysFromCivil(std::int64_t year, int month, int day) {
  year -= month <= 2;
  const std::int64_t era = floorDiv(year, 400);
  const std::int64_t yearOfEra = year - era * 400;
  const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra =
      yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' ||
         c == '\r';
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Writes `value` (0..99) as two digits.
void putTwoDigits(char* out, int value) {
  out[0] = static_cast<char>('0' + value / 10);
  out[1] = static_cast<char>('0' + value % 10);
}

// Character `index` of `text`, or '\0' past its end.
char letterAt(std::string_view text, std::size_t index) {
  return index < text.size() ? text[index] : '\0';
}

// Splits `text` at the first `separator`: `head` gets the part before it,
// `text` the part after it. False when there is no separator.
bool splitAt(std::string_view* text, char separator, std::string_view* head) {
  std::size_t at = text->find(separator);
  if (at == std::string_view::npos) return false;
  *head = text->substr(0, at);
  text->remove_prefix(at + 1);
  return true;
}

// Reads a fixed run of `count` digits at `text[at]`.
bool fixedDigits(std::string_view text, std::size_t at, std::size_t count,
                 int* number) {
  int result = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (!isDigit(text[i])) return false;
    result = result * 10 + (text[i] - '0');
  }
  *number = result;
  return true;
}

bool fieldsInRange(const CalendarTime& time) {
  return time.month >= 1 && time.month <= 12 && time.day >= 1 &&
         time.day <= 31 && time.hour >= 0 && time.hour <= 23 &&
         time.minute >= 0 && time.minute <= 59 && time.second >= 0 &&
         time.second <= 60;
}

}  // namespace

DateTimeText::DateTimeText(const CalendarTime& time, DbKind db) {
  if (time.year >= 0 && time.year <= 9999 && fieldsInRange(time)) {
    // "%4d" pads with blanks on the left.
    int year = time.year;
    for (int i = 3; i >= 0; --i) {
      text_[i] = (year > 0 || i == 3) ? static_cast<char>('0' + year % 10) : ' ';
      year /= 10;
    }
    text_[4] = '-';
    putTwoDigits(text_ + 5, time.month);
    text_[7] = '-';
    putTwoDigits(text_ + 8, time.day);
    text_[10] = ' ';
    putTwoDigits(text_ + 11, time.hour);
    text_[13] = ':';
    putTwoDigits(text_ + 14, time.minute);
    text_[16] = ':';
    putTwoDigits(text_ + 17, time.second);
    size_ = kDateTimeLength;
  } else {
    int written = std::snprintf(text_, sizeof text_, "%4d-%02d-%02d %02d:%02d:%02d",
                                time.year, time.month, time.day, time.hour,
                                time.minute, time.second);
    size_ = written < 0 ? 0 : static_cast<std::size_t>(written);
    if (size_ > sizeof text_ - 5) size_ = sizeof text_ - 5;
  }
  if (db != DbKind::Oracle) {
    text_[size_++] = '.';
    text_[size_++] = '0';
    text_[size_++] = '0';
    text_[size_++] = '0';
  }
  text_[size_] = '\0';
}

DateTimeText DateTimeText::placeholder(DbKind db) {
  DateTimeText text(CalendarTime{2000, 1, 1, 0, 0, 0}, db);
  text.text_[0] = '0';
  text.text_[1] = '0';
  text.text_[2] = '0';
  text.text_[3] = '0';
  text.text_[5] = '0';
  text.text_[6] = '0';
  text.text_[8] = '0';
  text.text_[9] = '0';
  return text;
}

void formatTimeOfDay(const CalendarTime& time, char out[8]) {
  putTwoDigits(out, time.hour);
  out[2] = ':';
  putTwoDigits(out + 3, time.minute);
  out[5] = ':';
  putTwoDigits(out + 6, time.second);
}

int monthFromName(std::string_view name) {
  switch (letterAt(name, 0)) {
    case 'A': return letterAt(name, 1) == 'p' ? 4 : 8;
    case 'D': return 12;
    case 'F': return 2;
    case 'J':
      if (letterAt(name, 2) == 'l') return 7;
      return letterAt(name, 1) == 'a' ? 1 : 6;
    case 'M': return letterAt(name, 2) == 'r' ? 3 : 5;
    case 'N': return 11;
    case 'O': return 10;
    case 'S': return 9;
    default: return 0;
  }
}

int dayOfWeek(int month, int day, int year) {
  // Wide arithmetic so that absurd inputs cannot overflow; the truncating
  // divisions give the same result as int arithmetic for real dates.
  const std::int64_t a = (14 - static_cast<std::int64_t>(month)) / 12;
  const std::int64_t y = year - a;
  const std::int64_t m = month + 12 * a - 2;
  return static_cast<int>(
      (day + y + y / 4 - y / 100 + y / 400 + (31 * m) / 12) % 7 + 1);
}

bool isDateText(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (!isDigit(c) && c != ' ' && c != '-' && c != '.' && c != ':') {
      return false;
    }
  }
  return true;
}

bool readLeadingInt(std::string_view text, int* number) {
  std::int64_t wide = 0;
  if (!readLeadingInt64(text, &wide) || wide > 999999999 || wide < -999999999) {
    return false;
  }
  *number = static_cast<int>(wide);
  return true;
}

bool readLeadingInt64(std::string_view text, std::int64_t* number,
                      std::size_t* length) {
  std::size_t at = 0;
  while (at < text.size() && isSpace(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    negative = text[at] == '-';
    ++at;
  }
  if (at >= text.size() || !isDigit(text[at])) return false;
  std::int64_t value = 0;
  for (; at < text.size() && isDigit(text[at]); ++at) {
    if (value > 99999999999999999) return false;  // a 19th digit
    value = value * 10 + (text[at] - '0');
  }
  *number = negative ? -value : value;
  if (length != nullptr) *length = at;
  return true;
}

std::int64_t utcToSeconds(const CalendarTime& time) {
  const std::int64_t monthIndex = static_cast<std::int64_t>(time.month) - 1;
  const std::int64_t year = time.year + floorDiv(monthIndex, 12);
  const int month = static_cast<int>(floorMod(monthIndex, 12)) + 1;
  const std::int64_t days = daysFromCivil(year, month, 1) + time.day - 1;
  return days * kSecondsPerDay + time.hour * kSecondsPerHour +
         time.minute * std::int64_t{60} + time.second;
}

CalendarTime secondsToUtc(std::int64_t seconds) {
  const std::int64_t days = floorDiv(seconds, kSecondsPerDay);
  const std::int64_t secondOfDay = seconds - days * kSecondsPerDay;
  const std::int64_t z = days + 719468;
  const std::int64_t era = floorDiv(z, 146097);
  const std::int64_t dayOfEra = z - era * 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear =
      dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t monthPrime = (5 * dayOfYear + 2) / 153;
  CalendarTime time;
  time.day = static_cast<int>(dayOfYear - (153 * monthPrime + 2) / 5 + 1);
  time.month = static_cast<int>(monthPrime < 10 ? monthPrime + 3 : monthPrime - 9);
  time.year = static_cast<int>(yearOfEra + era * 400 + (time.month <= 2));
  time.hour = static_cast<int>(secondOfDay / kSecondsPerHour);
  time.minute = static_cast<int>(secondOfDay % kSecondsPerHour / 60);
  time.second = static_cast<int>(secondOfDay % 60);
  return time;
}

bool parseClfTime(std::string_view value, CalendarTime* time,
                  long* zoneOffsetEast) {
  if (value.empty() || value[0] != '[') return false;
  std::string_view rest = value.substr(1);
  std::string_view datePart, timePart, zonePart;
  if (!splitAt(&rest, ':', &datePart) || !splitAt(&rest, ' ', &timePart) ||
      !splitAt(&rest, ']', &zonePart)) {
    return false;
  }
  std::string_view dayText, monthText;
  if (!splitAt(&datePart, '/', &dayText) || !splitAt(&datePart, '/', &monthText)) {
    return false;
  }
  std::string_view hourText, minuteText;
  if (!splitAt(&timePart, ':', &hourText) || !splitAt(&timePart, ':', &minuteText)) {
    return false;
  }
  CalendarTime parsed;
  parsed.month = monthFromName(monthText);
  if (parsed.month == 0 || !readLeadingInt(dayText, &parsed.day) ||
      !readLeadingInt(datePart, &parsed.year) ||
      !readLeadingInt(hourText, &parsed.hour) ||
      !readLeadingInt(minuteText, &parsed.minute) ||
      !readLeadingInt(timePart, &parsed.second)) {
    return false;
  }
  int zoneHours = 0;
  int zoneMinutes = 0;
  if (zonePart.size() < 5 || (zonePart[0] != '+' && zonePart[0] != '-') ||
      !fixedDigits(zonePart, 1, 2, &zoneHours) ||
      !fixedDigits(zonePart, 3, 2, &zoneMinutes)) {
    return false;
  }
  long offset = zoneHours * 3600L + zoneMinutes * 60L;
  *zoneOffsetEast = zonePart[0] == '-' ? -offset : offset;
  *time = parsed;
  return true;
}

bool parseDateTime(std::string_view text, CalendarTime* time) {
  if (text.size() < kDateTimeLength || text[4] != '-' || text[7] != '-' ||
      text[10] != ' ' || text[13] != ':' || text[16] != ':') {
    return false;
  }
  CalendarTime parsed;
  if (!fixedDigits(text, 0, 4, &parsed.year) ||
      !fixedDigits(text, 5, 2, &parsed.month) ||
      !fixedDigits(text, 8, 2, &parsed.day) ||
      !fixedDigits(text, 11, 2, &parsed.hour) ||
      !fixedDigits(text, 14, 2, &parsed.minute) ||
      !fixedDigits(text, 17, 2, &parsed.second) || !fieldsInRange(parsed)) {
    return false;
  }
  *time = parsed;
  return true;
}

bool LocalClock::platformOffset(std::int64_t instant, std::int64_t* offset) {
  std::tm local = platform::localTime(instant);
  // A failed conversion leaves the fields zero; day 0 never names a date.
  if (local.tm_mday == 0) return false;
  // The platform counts years from 1900 in an int, so it converts instants
  // some 1,900 years past the last year an int can hold.
  const std::int64_t year = std::int64_t{local.tm_year} + 1900;
  if (year > std::numeric_limits<int>::max()) return false;
  CalendarTime time{static_cast<int>(year), local.tm_mon + 1, local.tm_mday,
                    local.tm_hour, local.tm_min, local.tm_sec};
  *offset = utcToSeconds(time) - instant;
  return true;
}

bool LocalClock::toLocal(std::int64_t instant, CalendarTime* local) {
  const std::int64_t hourStart = floorDiv(instant, kSecondsPerHour) * kSecondsPerHour;
  if (hourStart != windowStart_) {
    std::int64_t startOffset = 0;
    std::int64_t endOffset = 0;
    if (!platformOffset(hourStart, &startOffset) ||
        !platformOffset(hourStart + kSecondsPerHour - 1, &endOffset)) {
      return false;
    }
    if (startOffset != endOffset) {
      // The offset changes within this hour: ask the platform every time.
      std::int64_t offset = 0;
      if (!platformOffset(instant, &offset)) return false;
      *local = secondsToUtc(instant + offset);
      return true;
    }
    windowStart_ = hourStart;
    windowOffset_ = startOffset;
    windowLocal_ = secondsToUtc(hourStart + startOffset);
  }
  // Within the hour only minutes and seconds move, unless a zone with a
  // part-hour offset crosses into the next local hour or day.
  const int secondOfHour = windowLocal_.minute * 60 + windowLocal_.second +
                           static_cast<int>(instant - hourStart);
  if (secondOfHour < 3600) {
    *local = windowLocal_;
    local->minute = secondOfHour / 60;
    local->second = secondOfHour % 60;
  } else {
    *local = secondsToUtc(instant + windowOffset_);
  }
  return true;
}
