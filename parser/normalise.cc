#include "parser/normalise.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/run_log.h"
#include "parser/identifier_tables.h"
#include "parser/url.h"
#include "parser/user_agent.h"

namespace {

struct NamedTreatment {
  std::string_view logName;
  FieldTreatment treatment;
};

// Log field names and their treatment, in the order they are tested.
constexpr NamedTreatment kTreatments[] = {
    {"cs-uri", FieldTreatment::kUrl},
    {"x-request-line", FieldTreatment::kRequestLineUrl},
    {"%Req->reqpb.proxy-request%", FieldTreatment::kRequestLineUrl},
    {"cs-uri-stem", FieldTreatment::kUriStem},
    {"x-localtime", FieldTreatment::kClfTime},
    {"x-timestamp", FieldTreatment::kEpochTime},
    {"timestamp", FieldTreatment::kClfTime},
    {"[%SYSDATE%]", FieldTreatment::kClfTime},
    {"x-transaction", FieldTreatment::kTransaction},
    {"x-action", FieldTreatment::kAction},
    {"date", FieldTreatment::kDate},
    {"time", FieldTreatment::kTime},
    {"cs(user-agent)", FieldTreatment::kUserAgent},
    {"x-elapsed-milliseconds", FieldTreatment::kElapsedMilliseconds},
    {"cs(referer)", FieldTreatment::kReferer},
    {"rs(content-type)", FieldTreatment::kContentType},
    {"x-smartfilter-categories", FieldTreatment::kCategories},
    {"x-hiercode", FieldTreatment::kHierarchyCode},
};

// Database column whose value is the record's time stamp.
constexpr std::string_view kTimestampDbName = "timestampid";

constexpr std::string_view kZeroDate = "0000-00-00";
constexpr std::string_view kZeroTime = "00:00:00";
constexpr std::size_t kDateLength = 10;
constexpr std::size_t kTimeLength = 8;
// Offset of the time of day within a date-time text.
constexpr std::size_t kTimeOffset = 11;

// Replaces `target` by `text`; an empty view may carry no pointer at all,
// so it only empties the target.
template <std::size_t N>
void assignText(FixedText<N>& target, std::string_view text) {
  if (text.empty()) {
    target.clear();
  } else {
    target.assign(text);
  }
}

// Years a date-time text can carry.
bool isWritableYear(int year) { return year >= 1 && year <= 9999; }

// The text before the first '/' and the text after it (empty when there
// is no '/').
struct SlashSplit {
  std::string_view before;
  std::string_view after;
};
SlashSplit splitAtSlash(std::string_view value) {
  std::size_t slash = value.find('/');
  if (slash == std::string_view::npos) return {value, {}};
  return {value.substr(0, slash), value.substr(slash + 1)};
}

// Lower-cases A to Z in place.
void toLowerAscii(char* text, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (text[i] >= 'A' && text[i] <= 'Z') text[i] = static_cast<char>(text[i] - 'A' + 'a');
  }
}

// Builds "<head><tail>" followed by ".000" unless the database is Oracle.
// Used for a date or time waiting for its partner.
std::size_t buildPartial(std::string_view head, std::string_view tail, DbKind db,
                         char* out) {
  std::size_t size = 0;
  std::memcpy(out, head.data(), head.size());
  size += head.size();
  std::memcpy(out + size, tail.data(), tail.size());
  size += tail.size();
  if (db != DbKind::Oracle) {
    std::memcpy(out + size, ".000", 4);
    size += 4;
  }
  return size;
}

// Reads `text` when it is 1 to 9 digits and nothing else.
bool readWholeMilliseconds(std::string_view text, long* milliseconds) {
  if (text.empty() || text.size() > 9) return false;
  long number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
  }
  *milliseconds = number;
  return true;
}

}  // namespace

void millisecondsToSeconds(FieldBuffer& value) {
  // Whole milliseconds below 10^9, by far the usual case, are formatted
  // without floating point; the result is the same text "%lf" gives.
  const std::string_view text = value.view();
  long milliseconds = 0;
  if (readWholeMilliseconds(text, &milliseconds)) {
    if (milliseconds == 0) return;
    char digits[24];
    char* end = std::to_chars(digits, digits + sizeof digits, milliseconds / 1000).ptr;
    const long fraction = milliseconds % 1000;
    *end++ = '.';
    *end++ = static_cast<char>('0' + fraction / 100);
    *end++ = static_cast<char>('0' + fraction / 10 % 10);
    *end++ = static_cast<char>('0' + fraction % 10);
    for (int i = 0; i < 3; ++i) *end++ = '0';
    value.assign(std::string_view(digits, end - digits));
    return;
  }
  const char* start = value.c_str();
  char* end = nullptr;
  double fractional = std::strtod(start, &end);
  if (end == start || !std::isfinite(fractional) || !(fractional > 0)) return;
  int written = std::snprintf(value.data(), FieldBuffer::capacity() + 1, "%lf",
                              fractional * 0.001);
  if (written > 0) value.resize(static_cast<std::size_t>(written));
}

FieldTreatment treatmentFor(std::string_view logName) {
  for (const NamedTreatment& entry : kTreatments) {
    if (entry.logName == logName) return entry.treatment;
  }
  return FieldTreatment::kNone;
}

FieldNormaliser::FieldNormaliser(ColumnTable& table, const IdentifierTables& ids,
                                 DbKind db, const RunLog& runLog)
    : table_(table),
      ids_(ids),
      db_(db),
      runLog_(runLog),
      urlLimit_(urlLimit(db)),
      siteNameColumn_(table.findColumn("zx-sitename")),
      hostedSiteColumn_(table.findColumn("zx-hostedsite")),
      fileTypeColumn_(table.findColumn("zx-filetype")),
      osColumn_(table.findColumn("zx-os")),
      statusCodeColumn_(table.findColumn("zx-statuscode")),
      serverDescColumn_(table.findColumn("zx-serverdesc")),
      hourColumn_(table.findColumn("zx-hour")),
      dayOfWeekColumn_(table.findColumn("zx-dayofweek")),
      monthColumn_(table.findColumn("zx-month")),
      quarterColumn_(table.findColumn("zx-quarter")),
      yearColumn_(table.findColumn("zx-year")),
      dateColumn_(table.findColumn("date")),
      timeColumn_(table.findColumn("time")) {}

void FieldNormaliser::normaliseField(FieldBuffer& value, int column,
                                     FieldTreatment treatment, Row& row,
                                     std::int64_t writtenLines) {
  switch (treatment) {
    case FieldTreatment::kNone:
      break;
    case FieldTreatment::kUrl:
      normaliseUrl(value, false, writtenLines);
      break;
    case FieldTreatment::kRequestLineUrl:
      normaliseUrl(value, true, writtenLines);
      break;
    case FieldTreatment::kUriStem:
      if (fileTypeColumn_ >= 0) setDerived(fileTypeColumn_, fileTypeOf(value.view()).view());
      break;
    case FieldTreatment::kEpochTime:
      epochToText(value, column);
      break;
    case FieldTreatment::kClfTime:
      clfToText(value, column);
      break;
    case FieldTreatment::kTransaction: {
      SlashSplit parts = splitAtSlash(value.view());
      setDerived(statusCodeColumn_, parts.after);
      setNumber(value, ids_.transactionId(parts.before));
      break;
    }
    case FieldTreatment::kAction:
      setNumber(value, ids_.actionId(value.view()));
      break;
    case FieldTreatment::kDate:
      mergeDate(value, column, row);
      break;
    case FieldTreatment::kTime:
      mergeTime(value, column, row);
      break;
    case FieldTreatment::kUserAgent: {
      BrowserAndOs found = userAgents_.lookup(value.view());
      setDerived(osColumn_, found.os);
      assignText(value, found.browser);
      break;
    }
    case FieldTreatment::kElapsedMilliseconds:
      millisecondsToSeconds(value);
      break;
    case FieldTreatment::kReferer: {
      std::string_view url = stripUrl(value.view());
      replaceChar(value.data(), url.size(), ',', ' ');
      assignText(value, urlSite(url).site);
      break;
    }
    case FieldTreatment::kContentType: {
      std::string_view type = value.view();
      type = type.substr(0, type.find(';'));
      if (type.find("application/") != std::string_view::npos) type = "application";
      value.assign(type);
      toLowerAscii(value.data(), value.size());
      break;
    }
    case FieldTreatment::kCategories:
      replaceChar(value.data(), value.size(), ',', '|');
      break;
    case FieldTreatment::kHierarchyCode: {
      SlashSplit parts = splitAtSlash(value.view());
      setDerived(serverDescColumn_, parts.after);
      value.resize(parts.before.size());
      break;
    }
  }
}

void FieldNormaliser::normaliseUrl(FieldBuffer& value, bool isRequestLine,
                                   std::int64_t writtenLines) {
  std::size_t length = stripUrl(value.view()).size();
  replaceChar(value.data(), length, ',', ' ');
  value.resize(length);
  if (isRequestLine) assignText(value, requestUrl(value.view()));
  const std::string_view url = value.view();
  if (siteNameColumn_ >= 0 && hostedSiteColumn_ >= 0) {
    UrlSite site = urlSite(url);
    setDerived(siteNameColumn_, site.site);
    setDerived(hostedSiteColumn_, site.hostedSite);
  }
  if (fileTypeColumn_ >= 0) setDerived(fileTypeColumn_, fileTypeOf(url).view());
  if (url.size() > urlLimit_) {
    value.resize(urlLimit_ - 1);
    runLog_.logFormat(2, "Truncating URL greater than %d chars at line:%lld",
                      static_cast<int>(urlLimit_),
                      static_cast<long long>(writtenLines));
  }
}

void FieldNormaliser::epochToText(FieldBuffer& value, int column) {
  const std::string_view text = value.view();
  // Lines of the same second start with the same number: the same text.
  const std::size_t known = lastEpochNumber_.size();
  if (known > 0 && text.starts_with(lastEpochNumber_.view()) &&
      (text.size() == known || text[known] < '0' || text[known] > '9')) {
    setDateValue(value, column, lastEpochText_.view());
    return;
  }
  std::int64_t seconds = 0;
  std::size_t length = 0;
  if (!readLeadingInt64(text, &seconds, &length) || seconds <= 0) {
    setDateValue(value, column, DateTimeText::placeholder(db_).view());
    return;
  }
  if (length <= lastEpochNumber_.capacity()) {
    lastEpochNumber_.assign(text.substr(0, length));
  } else {
    lastEpochNumber_.clear();
  }
  setLocalDateTime(value, column, seconds);
  assignText(lastEpochText_, lastInstantText_.view());
}

void FieldNormaliser::clfToText(FieldBuffer& value, int column) {
  CalendarTime logTime;
  long zoneOffsetEast = 0;
  if (!parseClfTime(value.view(), &logTime, &zoneOffsetEast)) {
    setDateValue(value, column, DateTimeText::placeholder(db_).view());
    return;
  }
  // The log's wall-clock time minus its zone offset is the UTC instant.
  setLocalDateTime(value, column, utcToSeconds(logTime) - zoneOffsetEast);
}

void FieldNormaliser::setLocalDateTime(FieldBuffer& value, int column,
                                       std::int64_t instant) {
  if (!haveLastInstant_ || instant != lastInstant_) {
    CalendarTime local;
    if (clock_.toLocal(instant, &local) && isWritableYear(local.year)) {
      assignText(lastInstantText_, DateTimeText(local, db_).view());
    } else {
      assignText(lastInstantText_, DateTimeText::placeholder(db_).view());
    }
    lastInstant_ = instant;
    haveLastInstant_ = true;
  }
  setDateValue(value, column, lastInstantText_.view());
}

void FieldNormaliser::mergeDate(FieldBuffer& value, int column, Row& row) {
  if (value.size() < kDateLength) {
    setDateValue(value, column, DateTimeText::placeholder(db_).view());
    return;
  }
  const std::string_view date = value.view().substr(0, kDateLength);
  Row::Span partner;
  if (timeColumn_ >= 0 && row.spanOf(timeColumn_, &partner)) {
    char* written = row.data() + partner.offset;
    std::size_t at = std::string_view(written, partner.length).find(kZeroDate);
    if (at != std::string_view::npos) {
      // A time earlier in the line waits for this date: complete it in
      // place. The date field itself keeps the plain date.
      std::memcpy(written + at, date.data(), kDateLength);
      ColumnDef& timeCopy = table_.at(timeColumn_);
      std::size_t copyAt = timeCopy.value.view().find(kZeroDate);
      if (copyAt != std::string_view::npos) {
        std::memcpy(timeCopy.value.data() + copyAt, date.data(), kDateLength);
      }
      table_.at(column).value.assign(std::string_view(written, partner.length));
      return;
    }
  }
  // The whole text, not just its first ten characters: a malformed date
  // stays visible instead of passing for a valid one.
  char text[FieldBuffer::capacity() + kDateTimeBufferSize];
  std::size_t size = buildPartial(value.view(), " 00:00:00", db_, text);
  setDateValue(value, column, std::string_view(text, size));
}

void FieldNormaliser::mergeTime(FieldBuffer& value, int column, Row& row) {
  if (value.size() < kTimeLength) {
    setDateValue(value, column, DateTimeText::placeholder(db_).view());
    return;
  }
  const std::string_view time = value.view().substr(0, kTimeLength);
  Row::Span partner;
  if (dateColumn_ >= 0 && row.spanOf(dateColumn_, &partner) &&
      partner.length >= kDateTimeLength) {
    char* written = row.data() + partner.offset;
    std::size_t at = std::string_view(written, partner.length).find(kZeroTime, kTimeOffset);
    if (at != std::string_view::npos) {
      // A date earlier in the line waits for this time. The pair is UTC:
      // combine, convert to local time and write the result over it.
      char* combined = written + at - kTimeOffset;
      char text[kDateTimeLength];
      std::memcpy(text, combined, kDateTimeLength);
      std::memcpy(text + kTimeOffset, time.data(), kTimeLength);
      CalendarTime utc;
      CalendarTime local;
      if (parseDateTime(std::string_view(text, kDateTimeLength), &utc) &&
          clock_.toLocal(utcToSeconds(utc), &local) && isWritableYear(local.year)) {
        std::memcpy(combined, DateTimeText(local, DbKind::Oracle).view().data(),
                    kDateTimeLength);
        char timeOfDay[kTimeLength];
        formatTimeOfDay(local, timeOfDay);
        value.assign(std::string_view(timeOfDay, kTimeLength));
        // Both copies hold the converted local date and time, so the
        // calendar columns never mix the UTC day with the local hour.
        const std::string_view merged(written, partner.length);
        table_.at(dateColumn_).value.assign(merged);
        table_.at(column).value.assign(merged);
        return;
      }
    }
  }
  char text[FieldBuffer::capacity() + kDateTimeBufferSize];
  std::size_t size = buildPartial("0000-00-00 ", value.view(), db_, text);
  setDateValue(value, column, std::string_view(text, size));
}

void FieldNormaliser::setDateValue(FieldBuffer& value, int column,
                                   std::string_view text) {
  value.assign(text);
  table_.at(column).value.assign(text);
}

void FieldNormaliser::setDerived(int column, std::string_view text) {
  if (column >= 0) assignText(table_.at(column).value, text);
}

void FieldNormaliser::setDerivedNumber(int column, long long number) {
  if (column < 0) return;
  char digits[24];
  auto result = std::to_chars(digits, digits + sizeof digits, number);
  table_.at(column).value.assign(std::string_view(digits, result.ptr - digits));
}

void FieldNormaliser::setNumber(FieldBuffer& value, long long number) {
  char digits[24];
  auto result = std::to_chars(digits, digits + sizeof digits, number);
  value.assign(std::string_view(digits, result.ptr - digits));
}

void FieldNormaliser::fillDateParts(const HeaderLayout& layout) {
  for (int index : layout.headerFields) {
    if (index < 0) continue;
    const ColumnDef& column = table_.at(index);
    if (column.outputFlag == 0 || column.dbName.view() != kTimestampDbName) {
      continue;
    }
    const std::string_view stamp = column.value.view();
    // The same stamp as the last line's sets the same values.
    if (!lastStamp_.empty() && stamp == lastStamp_.view()) return;
    if (isDateText(stamp)) {
      setCalendarColumns(stamp);
      if (stamp.size() <= lastStamp_.capacity()) {
        lastStamp_.assign(stamp);
      } else {
        lastStamp_.clear();
      }
      return;
    }
  }
}

void FieldNormaliser::setCalendarColumns(std::string_view stamp) {
  // Year, month, day and hour: "YYYY-MM-DD HH...".
  const std::size_t yearEnd = stamp.find('-');
  const std::size_t monthEnd =
      yearEnd == std::string_view::npos ? yearEnd : stamp.find('-', yearEnd + 1);
  const std::size_t dayEnd =
      monthEnd == std::string_view::npos ? monthEnd : stamp.find(' ', monthEnd + 1);
  if (dayEnd == std::string_view::npos) return;
  // Lines of the same hour set the same values: skip them.
  const std::string_view hourKey = stamp.substr(0, stamp.find(':', dayEnd + 1));
  if (hourKey == lastHourKey_.view()) return;
  int year = 0, month = 0, day = 0, hour = 0;
  if (!readLeadingInt(stamp.substr(0, yearEnd), &year) ||
      !readLeadingInt(stamp.substr(yearEnd + 1, monthEnd - yearEnd - 1), &month) ||
      !readLeadingInt(stamp.substr(monthEnd + 1, dayEnd - monthEnd - 1), &day) ||
      !readLeadingInt(hourKey.substr(dayEnd + 1), &hour)) {
    return;  // not a time stamp: the calendar columns keep their values
  }
  // The zero date of a value that could not be converted names no day.
  if (month < 1 || month > 12 || day < 1 || day > 31) return;
  const int quarter = month < 4 ? 1 : month < 7 ? 2 : month < 10 ? 3 : 4;
  setDerivedNumber(hourColumn_, hour);
  setDerivedNumber(dayOfWeekColumn_, dayOfWeek(month, day, year));
  setDerivedNumber(monthColumn_, month);
  setDerivedNumber(quarterColumn_, quarter);
  setDerivedNumber(yearColumn_, year);
  // Only keys that fit are remembered; a cut key could match another hour.
  if (hourKey.size() < lastHourKey_.capacity()) {
    lastHourKey_.assign(hourKey);
  } else {
    lastHourKey_.clear();
  }
}
