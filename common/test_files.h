#ifndef COMMON_TEST_FILES_H_
#define COMMON_TEST_FILES_H_

// Whole-file helpers shared by the unit tests.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

/// Reads a whole file as bytes; empty when it does not exist.
inline std::string readAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in),
                     std::istreambuf_iterator<char>());
}

/// Replaces the file at `path` with `bytes`, written unchanged.
inline void writeFile(const std::filesystem::path& path,
                      const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

/// A path for `name` in the test temporary directory, prefixed with the
/// running test suite's name so test binaries running at once never share it.
inline std::string tempPath(const std::string& name) {
  const ::testing::TestInfo* test =
      ::testing::UnitTest::GetInstance()->current_test_info();
  std::string prefix = test != nullptr ? test->test_suite_name() : "test";
  return ::testing::TempDir() + prefix + "_" + name;
}

/// The messages of a run log without their stamps, one "LEVEL text" line
/// each.
inline std::string runLogMessages(const std::filesystem::path& path) {
  std::string all = readAll(path);
  std::string out;
  std::size_t pos = 0;
  while (pos < all.size()) {
    std::size_t end = all.find("\r\n", pos);
    if (end == std::string::npos) end = all.size();
    std::string line = all.substr(pos, end - pos);
    pos = end + 2;
    std::size_t level = line.find(' ') + 1;
    std::size_t text = line.find(" \"") + 2;
    out += line.substr(level, 1) + " " +
           line.substr(text, line.size() - text - 4) + "\n";
  }
  return out;
}

#endif  // COMMON_TEST_FILES_H_
