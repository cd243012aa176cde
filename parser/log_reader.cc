#include "parser/log_reader.h"

#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <system_error>

LogReader::~LogReader() { close(); }

bool LogReader::open(const std::string& path) {
  close();
  error_.clear();
  // Some platforms open a directory for reading; it is no log all the same.
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) return false;
  file_ = gzopen(path.c_str(), "rb");
  return file_ != nullptr;
}

bool LogReader::readLine(char* buffer, std::size_t* length) {
  if (file_ == nullptr) return false;
  gzFile file = static_cast<gzFile>(file_);
  if (gzgets(file, buffer, kLineReadLimit) == nullptr) {
    int code = Z_OK;
    const char* message = gzerror(file, &code);
    if (code != Z_OK && code != Z_STREAM_END) {
      error_ = message != nullptr && *message != '\0' ? message : "read error";
    } else if (!gzeof(file)) {
      error_ = "read stopped before the end of the data";
    }
    return false;
  }
  *length = std::strlen(buffer);
  return true;
}

void LogReader::close() {
  if (file_ != nullptr) {
    gzclose(static_cast<gzFile>(file_));
    file_ = nullptr;
  }
}
