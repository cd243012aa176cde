#include "parser/output_file.h"

bool LazyFile::write(std::string_view bytes) {
  if (file_ == nullptr) {
    file_ = std::fopen(path_.c_str(), "wb");
    if (file_ == nullptr) return false;
    // Rows are small and many: write them in large blocks.
    std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
  }
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
    error_ = true;
    return false;
  }
  return true;
}

bool LazyFile::close() {
  if (file_ == nullptr) return !error_;
  if (std::fclose(file_) != 0) error_ = true;
  file_ = nullptr;
  return !error_;
}
