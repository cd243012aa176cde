#ifndef ZXSORT_TEST_SUPPORT_H_
#define ZXSORT_TEST_SUPPORT_H_

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>

/// A file with given bytes in the temporary directory, open for binary
/// reading; closed and removed when the object goes.
class TempFile {
 public:
  /// Writes `bytes` to a new file and opens it for reading.
  explicit TempFile(const std::string& bytes) {
    static std::atomic<int> counter{0};
    path_ = (std::filesystem::temp_directory_path() /
             ("zxsort_test_" + std::to_string(counter++) + ".tmp")).string();
    std::FILE* out = std::fopen(path_.c_str(), "wb");
    if (out != nullptr) {
      std::fwrite(bytes.data(), 1, bytes.size(), out);
      std::fclose(out);
    }
    file_ = std::fopen(path_.c_str(), "rb");
  }
  ~TempFile() {
    if (file_ != nullptr) std::fclose(file_);
    std::remove(path_.c_str());
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  /// The open file.
  std::FILE* get() const { return file_; }

 private:
  std::string path_;
  std::FILE* file_ = nullptr;
};

#endif  // ZXSORT_TEST_SUPPORT_H_
