#include "parser/log_reader.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>
#include "common/test_files.h"
#include "parser/deflate_test_writer.h"

namespace {

using namespace std::string_literals;

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

/// What a read of a whole log gave: its lines and how it ended.
struct ReadOutcome {
  std::vector<std::string> lines;
  bool failed = false;
  std::string error;
  bool rereading = false;
};

/// The log read straight through zlib's gz functions, as the reader did
/// before it decoded ahead.
ReadOutcome readWithGzgets(const std::string& path) {
  ReadOutcome outcome;
  gzFile file = gzopen(path.c_str(), "rb");
  if (file == nullptr) return outcome;
  char buffer[kLineReadLimit + 1];
  while (gzgets(file, buffer, kLineReadLimit) != nullptr) {
    outcome.lines.emplace_back(buffer, std::strlen(buffer));
  }
  int code = Z_OK;
  const char* message = gzerror(file, &code);
  if (code != Z_OK && code != Z_STREAM_END) {
    outcome.failed = true;
    outcome.error = message;
  }
  gzclose(file);
  return outcome;
}

ReadOutcome readWith(const std::string& path, const ReadSettings& settings) {
  ReadOutcome outcome;
  LogReader reader;
  if (!reader.open(path, settings)) return outcome;
  outcome.lines = readLines(reader);
  outcome.failed = reader.failed();
  outcome.error = reader.error();
  outcome.rereading = reader.rereading();
  return outcome;
}

std::string gzipped(const std::string& text, int level = 6) {
  std::string path = tempPath("member.gz");
  gzFile file = gzopen(path.c_str(), ("wb" + std::to_string(level)).c_str());
  gzwrite(file, text.data(), static_cast<unsigned>(text.size()));
  gzclose(file);
  return readAll(path);
}

std::string flipped(std::string bytes, std::size_t at, std::size_t count = 1) {
  for (std::size_t i = at; i < at + count && i < bytes.size(); ++i) {
    bytes[i] = static_cast<char>(bytes[i] ^ 0x5a);
  }
  return bytes;
}

/// Files at the edges of what the gzip readers must agree on.
std::vector<std::pair<std::string, std::string>> edgeCaseFiles() {
  // More than a few decoding blocks, so hand-over and hold-back are used.
  std::string big = varied(12000);
  std::string small = "a line\n" + std::string(9000, 'y') + "\nzero\0byte\r\nlast"s;
  std::string packed = gzipped(big);
  std::string member = gzipped(small);
  std::string stored = gzipped(small, 0);
  std::size_t n = packed.size();
  std::vector<std::pair<std::string, std::string>> files = {
      {"plain", big},
      {"empty", ""},
      {"one magic byte", "\x1f"},
      {"magic bytes only", "\x1f\x8b"},
      {"member", packed},
      {"stored member", stored},
      {"members", member + packed + stored + member},
      {"member then zeros", member + std::string(700, '\0')},
      {"member then garbage", packed + "garbage\r\nmore\r\n"},
      {"member then one magic byte", member + "\x1f"},
      {"member then bad header", member + "\x1f\x8b\x07\x00rest"s},
      {"member then cut header", member + member.substr(0, 7)},
      {"plain then member", "text\n" + member},
      {"header checksum flag", member.substr(0, 3) + "\x02" + member.substr(4)},
      {"header extra, name and comment",
       member.substr(0, 3) + "\x1c" + member.substr(4, 6) + "\x04\x00" "abcdname\0note\0"s +
           member.substr(10)},
      {"bad method", member.substr(0, 2) + "\x07" + member.substr(3)},
      {"cut in header", packed.substr(0, 5)},
      {"cut early", packed.substr(0, 300)},
      {"cut in middle", packed.substr(0, n / 2)},
      {"cut in trailer", packed.substr(0, n - 3)},
      {"cut second member", member + packed.substr(0, n / 3)},
      {"bad data check", flipped(packed, n - 6)},
      {"bad length check", flipped(packed, n - 2)},
      {"corrupt early", flipped(packed, 200, 16)},
      {"corrupt late", flipped(packed, n - 40, 8)},
      {"corrupt stored member", flipped(stored, 12, 2)},
  };
  // Huffman codes that do not fill their code space, which zlib refuses
  // and ISA-L reads: an empty block of such a code before the lines, and
  // one holding lines after others (more than the blocks held back).
  std::vector<int> incomplete(257, 9);
  std::vector<std::uint32_t> codes = DeflateTestWriter::canonicalCodes(incomplete);
  DeflateTestWriter first;
  first.dynamicHeader(false, incomplete, {0});
  first.code(codes[256], 9);
  first.stored(small, true);
  files.emplace_back("empty block of an incomplete code",
                     gzipMember(first.bytes(), small));
  DeflateTestWriter late;
  for (std::size_t at = 0; at < big.size(); at += 65535) {
    late.stored(big.substr(at, 65535), false);
  }
  late.dynamicHeader(true, incomplete, {0});
  for (unsigned char c : small) late.code(codes[c], 9);
  late.code(codes[256], 9);
  files.emplace_back("lines in a block of an incomplete code",
                     gzipMember(late.bytes(), big + small));
  // Single flipped bytes all over a member.
  for (std::size_t at = 11; at < n; at += n / 11) {
    files.emplace_back("flip at " + std::to_string(at), flipped(packed, at));
  }
  return files;
}

TEST(LogReaderTest, EveryWayOfReadingAgreesWithZlibByteForByte) {
  const ReadSettings variants[] = {
      {true, true}, {false, true}, {true, false}, {false, false}};
  for (const auto& [name, bytes] : edgeCaseFiles()) {
    std::string path = tempPath("edge.log");
    writeFile(path, bytes);
    ReadOutcome expected = readWithGzgets(path);
    for (const ReadSettings& settings : variants) {
      SCOPED_TRACE(name + (settings.ownThread ? ", thread" : ", one thread") +
                   (settings.fastInflater ? ", fast inflater" : ", zlib"));
      ReadOutcome got = readWith(path, settings);
      EXPECT_EQ(got.failed, expected.failed);
      EXPECT_EQ(got.error, expected.error);
      ASSERT_EQ(got.lines.size(), expected.lines.size());
      EXPECT_TRUE(got.lines == expected.lines);
      // Regular files never need zlib's second reading.
      if (!expected.failed) {
        EXPECT_FALSE(got.rereading);
      }
    }
  }
}

TEST(LogReaderTest, ReaderStoppedMidFileEndsItsThread) {
  std::string path = tempPath("stop.log.gz");
  // More than the blocks in circulation, so the thread waits for room.
  writeGzip(path, varied(30000));
  for (int lines : {0, 1, 5000}) {
    LogReader reader;
    ASSERT_TRUE(reader.open(path, ReadSettings{true, true}));
    char buffer[kLineReadLimit + 1];
    std::size_t length = 0;
    for (int i = 0; i < lines; ++i) ASSERT_TRUE(reader.readLine(buffer, &length));
    if (lines == 1) reader.close();
    // Reopening, or going out of scope, stops a thread that may be
    // waiting for room to hand over more.
    if (lines == 5000) {
      ASSERT_TRUE(reader.open(path));
    }
  }
}

}  // namespace
