#include "zxsort/interval_reader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "zxsort/memory_check.h"

int nextGroupId() {
  // RAND_MAX is 32767 on Windows and larger elsewhere; keep the same range.
  return std::rand() % 32768;
}

void seedGroupIds(unsigned int tick) {
  std::srand(tick);
  for (int k = 0; k < 5; ++k) std::srand(static_cast<unsigned int>(std::rand()));
}

IntervalReader::IntervalReader(std::FILE* data, ColumnLayout* layout,
                               const RunLog* log)
    : layout_(layout),
      log_(log),
      reader_(data, kMaxLineLength),
      nearlyFull_(memoryNearlyFull) {
  values_.resize(static_cast<std::size_t>(layout->columnCount));
  for (int p = 0; p < layout->columnCount; ++p) {
    if (layout->roles[p] != kRoleMeasure) continue;
    for (int n = 0; n < 3; ++n) {
      if (layout->measuresAt[p] & (1u << n)) measurePositions_[n] = p;
    }
  }
}

void IntervalReader::note(int level, std::string_view text) {
  if (held_ == nullptr) {
    log_->logLine(level, text);
  } else {
    held_->push_back({level, std::string(text)});
  }
}

void IntervalReader::noteMemoryStatus() {
  platform::MemoryStatus status;
  if (!readMemoryStatus(&status)) status = platform::MemoryStatus{};
  note(2, memoryStatusMessage(status));
}

bool IntervalReader::startsNextInterval() {
  ColumnLayout& layout = *layout_;
  if (layout.interval == 60) {
    if (layout.hourPosition < 0) return false;
    int hour = hourOf(values_[layout.hourPosition]);
    if (hour == layout.currentStart) return false;
    layout.currentStart = hour;
    return true;
  }
  if (layout.timestampPosition < 0) return false;
  std::string_view stamp = values_[layout.timestampPosition];
  int minute = minuteOf(stamp);
  std::string_view dateHour = dateHourOf(stamp);
  // An interval never crosses an hour: the line must share the date and
  // hour of the interval's first line and lie in its minutes.
  bool sameHour = layout.currentDateHour.empty() || dateHour == layout.currentDateHour;
  bool inMinutes = minute >= layout.currentStart &&
                   minute < layout.currentStart + layout.interval;
  if (sameHour && inMinutes) {
    if (layout.currentDateHour.empty()) layout.currentDateHour = std::string(dateHour);
    return false;
  }
  layout.currentStart = intervalStartOf(minute, layout.interval);
  layout.currentDateHour = std::string(dateHour);
  return true;
}

DataRecord IntervalReader::buildRecord(TextArena* arena) const {
  const ColumnLayout& layout = *layout_;
  std::size_t keyLength = 0, attributesLength = 0, numbersLength = 0;
  for (int p : layout.keyPositions) keyLength += values_[p].size() + 1;
  for (int p : layout.attributePositions) attributesLength += values_[p].size() + 1;
  for (int p : layout.numericPositions) numbersLength += values_[p].size() + 1;
  std::size_t measureLength[3] = {0, 0, 0};
  for (int n = 0; n < 3; ++n) {
    if (measurePositions_[n] >= 0) measureLength[n] = values_[measurePositions_[n]].size();
  }
  std::size_t total = keyLength + attributesLength + numbersLength +
                      measureLength[0] + measureLength[1] + measureLength[2];
  char* text = arena->allocate(total);
  char* out = text;
  auto append = [&out, this](const std::vector<int>& positions) {
    for (int p : positions) {
      std::memcpy(out, values_[p].data(), values_[p].size());
      out += values_[p].size();
      *out++ = ',';
    }
  };
  append(layout.keyPositions);
  append(layout.attributePositions);
  append(layout.numericPositions);
  for (int n = 0; n < 3; ++n) {
    if (measureLength[n] == 0) continue;
    std::memcpy(out, values_[measurePositions_[n]].data(), measureLength[n]);
    out += measureLength[n];
  }
  DataRecord record;
  record.text = text;
  record.keyLength = static_cast<std::uint16_t>(keyLength);
  record.attributesLength = static_cast<std::uint16_t>(attributesLength);
  record.numbersLength = static_cast<std::uint16_t>(numbersLength);
  for (int n = 0; n < 3; ++n) {
    record.measureLength[n] = static_cast<std::uint16_t>(measureLength[n]);
  }
  return record;
}

bool IntervalReader::readInterval(IntervalRecords* out) {
  ColumnLayout& layout = *layout_;
  std::vector<DataRecord>& records = out->records;
  records.clear();
  out->arena.reset();
  layout.recordCount = 0;
  try {
    records.reserve(kArrayStep);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr,
                 "readInterval() malloc() call - insufficient memory, records read: %ld \n",
                 0L);
    note(5, "readInterval() malloc() call - insufficient memory, records read: 0");
    return false;
  }
  layout.groupId = nextGroupId();
  std::size_t room = kArrayStep;
  const int columnCount = layout.columnCount;
  const bool billing = layout.mode == 1;
  for (;;) {
    std::string_view line;
    LineReader::Result got = reader_.next(&line);
    if (got == LineReader::kEnd) {
      layout.currentStart = -1;
      exhausted_ = true;
      break;
    }
    if (got == LineReader::kTooLong) {
      ++skippedLines_;
      continue;
    }
    int count = splitValues(line, [this, columnCount](int i, std::string_view value) {
      if (i < columnCount) values_[i] = value;
    });
    if (count != columnCount) {
      ++skippedLines_;
      continue;
    }
    if (billing && columnCount > 0) {
      std::string_view& last = values_[columnCount - 1];
      if (last.size() > 2 && last.substr(last.size() - 2) == "\r\n") {
        last.remove_suffix(2);
      }
    }
    if (startsNextInterval()) {
      reader_.unread();
      break;
    }
    if (records.size() == room) {
      if (pace_) pace_(out->arena.used());
      if (nearlyFull_()) {
        note(2, "reaching physical memory limit, grouping records");
        noteMemoryStatus();
        reader_.unread();
        break;
      }
      try {
        // The array grows by steps of 4096 records as far as the memory
        // check is concerned; the storage itself grows geometrically so
        // that large intervals are not copied once per step.
        if (records.capacity() < room + kArrayStep) {
          std::size_t wanted = records.capacity() + records.capacity() / 2;
          records.reserve(wanted > room + kArrayStep ? wanted : room + kArrayStep);
        }
        room += kArrayStep;
      } catch (const std::bad_alloc&) {
        long stored = static_cast<long>(records.size());
        std::fprintf(stderr,
                     "readInterval() realloc() call - insufficient memory, records read: %ld \n",
                     stored);
        char message[160];
        std::snprintf(message, sizeof message,
                      "readInterval() realloc() call - insufficient memory, memory asked "
                      "%ld records read: %ld ",
                      static_cast<long>((room / kArrayStep + 1) * 16384), stored);
        note(5, message);
        note(2, "correcting..., grouping records");
        noteMemoryStatus();
        reader_.unread();
        break;
      }
    }
    try {
      records.push_back(buildRecord(&out->arena));
    } catch (const std::bad_alloc&) {
      char message[128];
      std::snprintf(message, sizeof message,
                    "readInterval() new dataRecord() call returned NULL, records read: %ld",
                    static_cast<long>(records.size()));
      note(5, message);
      layout.recordCount = static_cast<int>(records.size());
      return false;
    }
  }
  layout.recordCount = static_cast<int>(records.size());
  return true;
}
