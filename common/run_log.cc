#include "common/run_log.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>

#include "common/platform.h"

RunLog::RunLog(std::string component) : component_(std::move(component)) {}

std::string RunLog::formatLine(int level, std::string_view text, int month,
                               int day, int year, int hour, int minute,
                               int second) const {
  if (text.size() > kMaxMessageLength) text = text.substr(0, kMaxMessageLength);
  char head[64];
  std::snprintf(head, sizeof head, "%02d%02d%04d_%02d%02d%02d %d System ",
                month, day, year, hour, minute, second, level);
  std::string line;
  line.reserve(96 + text.size() + component_.size());
  line.append(head);
  line.append(component_);
  line.append(" \"");
  line.append(text);
  line.append("\" \"\"\r\n");
  return line;
}

void RunLog::logLine(int level, std::string_view text) const {
  if (path_.empty()) return;
  std::tm now = platform::localTime(std::time(nullptr));
  std::string line =
      formatLine(level, text, now.tm_mon + 1, now.tm_mday, now.tm_year + 1900,
                 now.tm_hour, now.tm_min, now.tm_sec);
  std::FILE* file = std::fopen(path_.c_str(), "ab");
  if (file == nullptr) return;
  std::fwrite(line.data(), 1, line.size(), file);
  std::fclose(file);
}

void RunLog::logCount(int level, std::string_view label,
                      std::int64_t number) const {
  std::string text(label);
  text += std::to_string(number);
  logLine(level, text);
}

void RunLog::logReal(int level, std::string_view label, double number) const {
  char digits[400];
  std::snprintf(digits, sizeof digits, "%lf", number);
  std::string text(label);
  text += digits;
  logLine(level, text);
}

void RunLog::logFormat(int level, const char* format, ...) const {
  char message[kMaxMessageLength + 1];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  logLine(level, message);
}
