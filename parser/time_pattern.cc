#include "parser/time_pattern.h"

#include <ctime>

#include "common/platform.h"

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

/// Reads `min` to `max` digits at `*at` (as many as there are); false when
/// fewer than `min`.
bool readDigits(std::string_view text, std::size_t* at, int min, int max,
                std::int64_t* value) {
  std::int64_t number = 0;
  int count = 0;
  while (count < max && *at < text.size() && isDigit(text[*at])) {
    number = number * 10 + (text[*at] - '0');
    ++*at;
    ++count;
  }
  if (count < min) return false;
  *value = number;
  return true;
}

/// Reads a run of letters (at least one).
bool readLetters(std::string_view text, std::size_t* at, std::string_view* word) {
  std::size_t start = *at;
  while (*at < text.size() && isLetter(text[*at])) ++*at;
  *word = text.substr(start, *at - start);
  return *at > start;
}

/// Month 1..12 of a month name or its abbreviation (any case), else 0.
int monthOfName(std::string_view name) {
  static constexpr std::string_view kMonths = "janfebmaraprmayjunjulaugsepoctnovdec";
  if (name.size() < 3) return 0;
  char prefix[3] = {lower(name[0]), lower(name[1]), lower(name[2])};
  for (int month = 0; month < 12; ++month) {
    if (kMonths.substr(static_cast<std::size_t>(month) * 3, 3) ==
        std::string_view(prefix, 3)) {
      return month + 1;
    }
  }
  return 0;
}

/// Reads a zone offset: Z, or a sign, two digits and optionally ':' and two
/// more digits.
bool readZone(std::string_view text, std::size_t* at, long* east) {
  if (*at < text.size() && text[*at] == 'Z') {
    ++*at;
    *east = 0;
    return true;
  }
  if (*at >= text.size() || (text[*at] != '+' && text[*at] != '-')) return false;
  bool negative = text[*at] == '-';
  std::size_t p = *at + 1;
  std::int64_t hours = 0, minutes = 0;
  if (p + 2 > text.size() || !isDigit(text[p]) || !isDigit(text[p + 1])) return false;
  hours = (text[p] - '0') * 10 + (text[p + 1] - '0');
  p += 2;
  std::size_t colon = p < text.size() && text[p] == ':' ? p + 1 : p;
  if (colon + 2 <= text.size() && isDigit(text[colon]) && isDigit(text[colon + 1])) {
    minutes = (text[colon] - '0') * 10 + (text[colon + 1] - '0');
    p = colon + 2;
  }
  long offset = static_cast<long>(hours * 3600 + minutes * 60);
  *east = negative ? -offset : offset;
  *at = p;
  return true;
}

/// The pattern a composite conversion stands for, or empty.
std::string_view expansionOf(char conversion) {
  switch (conversion) {
    case 'T': return "%H:%M:%S";
    case 'R': return "%H:%M";
    case 'D': return "%m/%d/%y";
    case 'x': return "%m/%d/%y";
    case 'F': return "%Y-%m-%d";
    case 'X': return "%H:%M:%S";
    case 'c': return "%a %b %e %H:%M:%S %Y";
    case 'r': return "%I:%M:%S %p";
    default: return {};
  }
}

/// Digits a numeric conversion may take (at most); 0 for one that is not
/// numeric. The e, k and l conversions may start with a blank.
int digitsOf(char conversion) {
  switch (conversion) {
    case 'd': case 'e': case 'H': case 'I': case 'k': case 'l': case 'm':
    case 'M': case 'S': case 'y': case 'C': case 'g': case 'U': case 'V':
    case 'W':
      return 2;
    case 'j':
      return 3;
    case 'u': case 'w':
      return 1;
    case 'Y': case 'G':
      return 4;
    case 's':
      return 18;
    default:
      return 0;
  }
}

/// Stores a number read for `conversion` in `parts`.
void storeNumber(char conversion, std::int64_t value, TimeParts* parts) {
  int v = static_cast<int>(value);
  switch (conversion) {
    case 'Y': parts->year = v; break;
    case 'y': parts->year = v < 69 ? 2000 + v : 1900 + v; break;
    case 'm': parts->month = v; break;
    case 'd': case 'e': parts->day = v; break;
    case 'H': case 'k': parts->hour = v; break;
    case 'I': case 'l': parts->hour12 = v; break;
    case 'M': parts->minute = v; break;
    case 'S': parts->second = v; break;
    case 's':
      parts->haveEpoch = true;
      parts->epoch = value;
      break;
    default: break;  // week numbers, day of year: read, not used
  }
}

/// True for zone names that mean UTC.
bool isUtcName(std::string_view name) {
  return name == "UTC" || name == "GMT" || name == "UT" || name == "Z";
}

}  // namespace

bool LocalInstants::toInstant(const CalendarTime& time, std::int64_t* instant) {
  if (time.year != hour_.year || time.month != hour_.month ||
      time.day != hour_.day || time.hour != hour_.hour) {
    if (time.year < 1900 || time.year > 9999) return false;
    std::tm local{};
    local.tm_year = time.year - 1900;
    local.tm_mon = time.month - 1;
    local.tm_mday = time.day;
    local.tm_hour = time.hour;
    const std::int64_t start = platform::localToInstant(local);
    if (start == -1) return false;
    hour_ = time;
    hourInstant_ = start;
  }
  *instant = hourInstant_ + time.minute * std::int64_t{60} + time.second;
  return true;
}

bool instantOf(const TimeParts& parts, LocalInstants& local,
               std::int64_t* instant) {
  if (parts.haveEpoch) {
    *instant = parts.epoch;
    return true;
  }
  CalendarTime time;
  time.year = parts.year;
  time.month = parts.month;
  time.day = parts.day;
  time.hour = parts.hour >= 0 ? parts.hour : 0;
  if (parts.hour < 0 && parts.hour12 >= 1 && parts.hour12 <= 12) {
    time.hour = parts.hour12 % 12 + (parts.pm ? 12 : 0);
  }
  time.minute = parts.minute >= 0 ? parts.minute : 0;
  time.second = parts.second >= 0 ? parts.second : 0;
  if (time.year < 1 || time.month < 1 || time.month > 12 || time.day < 1 ||
      time.day > 31 || time.hour > 23 || time.minute > 59 || time.second > 60) {
    return false;
  }
  if (parts.haveZone) {
    *instant = utcToSeconds(time) - parts.zoneEast;
    return true;
  }
  return local.toInstant(time, instant);
}

bool TimePattern::append(std::string_view format, std::string* error) {
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      pieces_.push_back(Piece{0, format[i]});
      continue;
    }
    if (++i == format.size()) {
      *error = "a '%' at the end of the time format";
      return false;
    }
    char conversion = format[i];
    // GNU and POSIX flags and field widths change only the padding.
    while (conversion == '-' || conversion == '_' || conversion == '0' ||
           conversion == '^' || conversion == '#' || conversion == 'E' ||
           conversion == 'O') {
      if (++i == format.size()) {
        *error = "a '%' at the end of the time format";
        return false;
      }
      conversion = format[i];
    }
    std::string_view expansion = expansionOf(conversion);
    if (!expansion.empty()) {
      if (!append(expansion, error)) return false;
      continue;
    }
    switch (conversion) {
      case '%': pieces_.push_back(Piece{0, '%'}); continue;
      case 'n': pieces_.push_back(Piece{0, '\n'}); continue;
      case 't': pieces_.push_back(Piece{0, '\t'}); continue;
      case 'h': conversion = 'b'; break;
      case 'a': case 'A': case 'b': case 'B': case 'p': case 'z': case 'Z':
        break;
      default:
        if (digitsOf(conversion) == 0) {
          *error = std::string("time conversion %") + conversion + " not understood";
          return false;
        }
    }
    pieces_.push_back(Piece{conversion, 0});
  }
  return true;
}

bool TimePattern::compile(std::string_view format, std::string* error) {
  pieces_.clear();
  commonLogTime_ = format == "%d/%b/%Y:%H:%M:%S %z";
  return append(format, error);
}

bool TimePattern::readCommonLogTime(std::string_view text, std::size_t at,
                                    std::size_t* end, TimeParts* parts) const {
  // "dd/Mon/yyyy:hh:mm:ss +zzzz": 26 characters at fixed places.
  constexpr std::size_t kLength = 26;
  if (at > text.size() || text.size() - at < kLength) return false;
  const char* t = text.data() + at;
  auto digits = [t](std::size_t k, std::size_t count) {
    for (std::size_t i = k; i < k + count; ++i) {
      if (!isDigit(t[i])) return false;
    }
    return true;
  };
  if (!digits(0, 2) || t[2] != '/' || t[6] != '/' || !digits(7, 4) || t[11] != ':' ||
      !digits(12, 2) || t[14] != ':' || !digits(15, 2) || t[17] != ':' ||
      !digits(18, 2) || t[20] != ' ' || (t[21] != '+' && t[21] != '-') || !digits(22, 4)) {
    return false;
  }
  const int month = monthOfName(std::string_view(t + 3, 3));
  if (month == 0) return false;
  if (parts != nullptr) {
    auto two = [t](std::size_t k) { return (t[k] - '0') * 10 + (t[k + 1] - '0'); };
    parts->day = two(0);
    parts->month = month;
    parts->year = two(7) * 100 + two(9);
    parts->hour = two(12);
    parts->minute = two(15);
    parts->second = two(18);
    const long offset = two(22) * 3600L + two(24) * 60L;
    parts->haveZone = true;
    parts->zoneEast = t[21] == '-' ? -offset : offset;
  }
  *end = at + kLength;
  return true;
}

bool TimePattern::read(std::string_view text, std::size_t at, std::size_t* end,
                       TimeParts* parts) const {
  if (commonLogTime_ && readCommonLogTime(text, at, end, parts)) return true;
  TimeParts ignored;
  TimeParts* out = parts != nullptr ? parts : &ignored;
  for (const Piece& piece : pieces_) {
    if (piece.conversion == 0) {
      if (at >= text.size() || text[at] != piece.literal) return false;
      ++at;
      continue;
    }
    std::string_view word;
    switch (piece.conversion) {
      case 'a': case 'A':
        if (!readLetters(text, &at, &word)) return false;
        break;
      case 'b': case 'B': {
        if (!readLetters(text, &at, &word)) return false;
        int month = monthOfName(word);
        if (month == 0) return false;
        out->month = month;
        break;
      }
      case 'p':
        if (!readLetters(text, &at, &word) || word.size() != 2 ||
            (lower(word[1]) != 'm') || (lower(word[0]) != 'a' && lower(word[0]) != 'p')) {
          return false;
        }
        out->pm = lower(word[0]) == 'p';
        break;
      case 'z':
        if (!readZone(text, &at, &out->zoneEast)) return false;
        out->haveZone = true;
        break;
      case 'Z':
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
          long east = 0;
          if (!readZone(text, &at, &east)) return false;
          out->haveZone = true;
          out->zoneEast = east;
        } else {
          if (!readLetters(text, &at, &word)) return false;
          if (isUtcName(word)) {
            out->haveZone = true;
            out->zoneEast = 0;
          }
        }
        break;
      default: {
        char c = piece.conversion;
        if ((c == 'e' || c == 'k' || c == 'l') && at < text.size() && text[at] == ' ') ++at;
        std::int64_t value = 0;
        if (!readDigits(text, &at, 1, digitsOf(c), &value)) return false;
        storeNumber(c, value, out);
      }
    }
  }
  *end = at;
  return true;
}

bool readIsoTime(std::string_view text, TimeParts* parts) {
  std::size_t at = 0;
  std::int64_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  auto expect = [&](char c) {
    if (at >= text.size() || text[at] != c) return false;
    ++at;
    return true;
  };
  auto fixed = [&](int count, std::int64_t* value) {
    std::size_t start = at;
    return readDigits(text, &at, count, count, value) && at - start == static_cast<std::size_t>(count);
  };
  if (!fixed(4, &year) || !expect('-') || !fixed(2, &month) || !expect('-') ||
      !fixed(2, &day)) {
    return false;
  }
  if (at >= text.size() || (text[at] != 'T' && text[at] != 't' && text[at] != ' ')) return false;
  ++at;
  if (!fixed(2, &hour) || !expect(':') || !fixed(2, &minute) || !expect(':') ||
      !fixed(2, &second)) {
    return false;
  }
  if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
    ++at;
    std::size_t start = at;
    while (at < text.size() && isDigit(text[at])) ++at;
    if (at == start) return false;
  }
  TimeParts read;
  if (at < text.size()) {
    if (text[at] == 'z') {
      ++at;
      read.haveZone = true;
    } else {
      if (!readZone(text, &at, &read.zoneEast)) return false;
      read.haveZone = true;
    }
  }
  if (at != text.size()) return false;
  read.year = static_cast<int>(year);
  read.month = static_cast<int>(month);
  read.day = static_cast<int>(day);
  read.hour = static_cast<int>(hour);
  read.minute = static_cast<int>(minute);
  read.second = static_cast<int>(second);
  *parts = read;
  return true;
}
