#include "parser/log_reader.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>
#include "common/test_files.h"

namespace {

void writeGzip(const std::string& path, const std::string& bytes) {
  gzFile file = gzopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(gzwrite(file, bytes.data(), static_cast<unsigned>(bytes.size())),
            static_cast<int>(bytes.size()));
  gzclose(file);
}

std::vector<std::string> readLines(LogReader& reader) {
  std::vector<std::string> lines;
  char buffer[kLineReadLimit + 1];
  std::size_t length = 0;
  while (reader.readLine(buffer, &length)) lines.emplace_back(buffer, length);
  return lines;
}

/// Text that compresses poorly, so a cut gzip file loses real lines.
std::string varied(int lines) {
  std::string text;
  unsigned seed = 12345;
  for (int i = 0; i < lines; ++i) {
    text += std::to_string(i);
    for (int k = 0; k < 12; ++k) {
      seed = seed * 1103515245u + 12345u;
      text += ' ';
      text += std::to_string(seed >> 8);
    }
    text += "\r\n";
  }
  return text;
}

TEST(LogReaderTest, PlainAndGzipReadAlike) {
  std::string text = "first line\r\nsecond\n" + std::string(9000, 'x') + "\nend";
  writeFile(tempPath("plain.log"), text);
  writeGzip(tempPath("packed.log"), text);
  for (const char* name : {"plain.log", "packed.log"}) {
    LogReader reader;
    ASSERT_TRUE(reader.open(tempPath(name))) << name;
    std::vector<std::string> lines = readLines(reader);
    EXPECT_FALSE(reader.failed()) << name;
    ASSERT_EQ(lines.size(), 5u) << name;
    EXPECT_EQ(lines[0], "first line\r\n");
    // A line longer than one read comes in pieces of at most 8,190.
    EXPECT_EQ(lines[2], std::string(8190, 'x'));
    EXPECT_EQ(lines[3], std::string(810, 'x') + "\n");
    EXPECT_EQ(lines[4], "end");
  }
  LogReader missing;
  EXPECT_FALSE(missing.open(tempPath("no-such.log")));
  // A directory is not a log, whether or not the platform would open it.
  EXPECT_FALSE(missing.open(::testing::TempDir()));
}

TEST(LogReaderTest, TruncatedGzipIsAFailureNotAnEnd) {
  std::string path = tempPath("cut.log.gz");
  writeGzip(path, varied(3000));
  std::string packed = readAll(path);
  writeFile(path, packed.substr(0, packed.size() / 2));
  LogReader reader;
  ASSERT_TRUE(reader.open(path));
  std::vector<std::string> lines = readLines(reader);
  EXPECT_TRUE(reader.failed());
  EXPECT_FALSE(reader.error().empty());
  // What came before the cut is read.
  EXPECT_GT(lines.size(), 100u);
  EXPECT_LT(lines.size(), 3000u);
}

TEST(LogReaderTest, CorruptGzipDataIsAFailure) {
  std::string path = tempPath("bad.log.gz");
  writeGzip(path, varied(3000));
  std::string packed = readAll(path);
  for (std::size_t i = packed.size() / 3; i < packed.size() / 3 + 64; ++i) {
    packed[i] = static_cast<char>(~packed[i]);
  }
  writeFile(path, packed);
  LogReader reader;
  ASSERT_TRUE(reader.open(path));
  readLines(reader);
  EXPECT_TRUE(reader.failed());
}

}  // namespace
