#include "parser/deflate_checker.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "parser/deflate_test_writer.h"

namespace {

using Verdict = DeflateChecker::Verdict;

/// How a reading of a gzip member ended, and where: the bytes read.
struct Reading {
  Verdict verdict = Verdict::kWalking;
  std::size_t position = 0;
};

/// What zlib makes of a gzip member: kRefused for an error in its header
/// or deflate data, kDeflateEnd when the deflate data ends (whatever the
/// trailer says), kWalking when the data ends first.
Reading zlibReading(const std::string& member) {
  z_stream stream{};
  inflateInit2(&stream, 15 + 16);
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(member.data()));
  stream.avail_in = static_cast<uInt>(member.size());
  unsigned char out[4096];
  int code;
  do {
    stream.next_out = out;
    stream.avail_out = sizeof out;
    code = inflate(&stream, Z_NO_FLUSH);
  } while (code == Z_OK && (stream.avail_in > 0 || stream.avail_out == 0));
  const std::string message = stream.msg != nullptr ? stream.msg : "";
  Reading reading{Verdict::kWalking, stream.total_in};
  inflateEnd(&stream);
  if (code == Z_STREAM_END || message == "incorrect data check" ||
      message == "incorrect length check") {
    reading.verdict = Verdict::kDeflateEnd;
  } else if (code == Z_DATA_ERROR) {
    reading.verdict = Verdict::kRefused;
  }
  return reading;
}

/// The checker's reading of `member` given whole, and given one byte more
/// at a time (which must agree).
Reading checkerReading(const std::string& member) {
  const auto* data = reinterpret_cast<const unsigned char*>(member.data());
  DeflateChecker whole;
  const std::size_t position = whole.walk(data, member.size());
  DeflateChecker piecewise;
  std::size_t walked = 0;
  for (std::size_t have = 1;
       have <= member.size() && piecewise.verdict() == Verdict::kWalking; ++have) {
    walked += piecewise.walk(data + walked, have - walked);
  }
  EXPECT_EQ(piecewise.verdict(), whole.verdict());
  EXPECT_EQ(walked, position);
  return {whole.verdict(), position};
}

/// The checker refuses where zlib does: zlib has read at most the byte
/// after the one where the walk stopped (it reads a byte ahead at times).
void expectSameRefusal(const Reading& zlib, const Reading& checker) {
  EXPECT_EQ(checker.verdict, zlib.verdict);
  if (zlib.verdict == Verdict::kRefused) {
    EXPECT_LE(checker.position, zlib.position);
    EXPECT_LE(zlib.position, checker.position + 2);
  }
}

std::vector<int> lengths(int count, int length) {
  return std::vector<int>(static_cast<std::size_t>(count), length);
}

/// Literal/length code lengths that fill the code space: every byte 9
/// bits, end of block 2, lengths 3 and 4 (symbols 257, 258) 3 bits.
std::vector<int> completeLiterals() {
  std::vector<int> literals = lengths(259, 9);
  literals[256] = 2;
  literals[257] = literals[258] = 3;
  return literals;
}

/// Huffman codes as value and length, written first bit first.
using Codes = std::vector<std::pair<std::uint32_t, int>>;

/// A final dynamic block with these code lengths whose data is the bytes
/// of `text` as literals, then `tail`, then the end of block.
std::string dynamicBlock(const std::vector<int>& literals,
                         const std::vector<int>& distances,
                         const std::string& text, const Codes& tail = {}) {
  DeflateTestWriter out;
  out.dynamicHeader(true, literals, distances);
  std::vector<std::uint32_t> codes = DeflateTestWriter::canonicalCodes(literals);
  for (unsigned char c : text) out.code(codes[c], literals[c]);
  for (const auto& [value, length] : tail) out.code(value, length);
  out.code(codes[256], literals[256]);
  return gzipMember(out.bytes(), "");
}

TEST(DeflateCheckerTest, RefusesExactlyWhatZlibRefuses) {
  std::vector<std::pair<std::string, std::string>> members;
  const std::vector<int> complete = completeLiterals();
  const std::uint32_t length3 = DeflateTestWriter::canonicalCodes(complete)[257];

  // Codes short of filling their space, which zlib refuses at the header.
  members.emplace_back("incomplete literal code",
                       dynamicBlock(lengths(257, 9), {0}, "ab"));
  members.emplace_back("incomplete distance code",
                       dynamicBlock(complete, {2, 2}, "ab"));
  std::vector<int> onlyEnd = lengths(257, 0);
  onlyEnd[256] = 1;
  members.emplace_back("lone end-of-block code", dynamicBlock(onlyEnd, {0}, ""));
  // The unused half of a lone one-bit code, then padding.
  members.emplace_back("unused half of a lone code",
                       dynamicBlock(onlyEnd, {0}, "", {{1, 1}}));
  // "a", then a match of 3 at distance 1 (the lone one-bit distance code
  // 0), or at the code it lacks.
  members.emplace_back("lone one-bit distance code",
                       dynamicBlock(complete, {1}, "a", {{length3, 3}, {0, 1}}));
  members.emplace_back("distance code it lacks",
                       dynamicBlock(complete, {1}, "a", {{length3, 3}, {1, 1}}));
  members.emplace_back("no distance codes", dynamicBlock(complete, {0}, "abc"));
  members.emplace_back("match without distance codes",
                       dynamicBlock(complete, {0}, "a", {{length3, 3}, {0, 8}}));
  std::vector<int> noEnd = lengths(257, 8);
  noEnd[256] = 0;
  members.emplace_back("no end-of-block code", dynamicBlock(noEnd, {1}, ""));
  std::vector<int> oversubscribed = lengths(257, 8);
  members.emplace_back("over-subscribed literal code",
                       dynamicBlock(oversubscribed, {1}, ""));
  members.emplace_back("too many literal codes",
                       dynamicBlock(lengths(287, 9), {1}, ""));
  members.emplace_back("too many distance codes",
                       dynamicBlock(complete, lengths(31, 5), ""));
  {
    DeflateTestWriter out;
    std::vector<int> lengthCode = lengths(19, 5);
    out.dynamicHeader(true, complete, {1}, lengthCode);
    members.emplace_back("incomplete code-length code", gzipMember(out.bytes(), ""));
  }
  // Code-length repeats: 4 bits each for 0 to 15, 16 to 18.
  std::vector<int> repeatCode = lengths(19, 4);
  repeatCode[0] = repeatCode[1] = repeatCode[2] = 0;
  repeatCode[16] = repeatCode[17] = repeatCode[18] = 4;
  for (bool first : {true, false}) {
    DeflateTestWriter out;
    std::vector<int> lengthCode = repeatCode;
    std::vector<std::uint32_t> codes = out.dynamicStart(true, 257, 1, lengthCode);
    if (first) {  // a repeat of the previous length with none before it
      out.code(codes[16], 4);
      out.bits(0, 2);
    } else {  // 138 zeros, twice, then more: past the 258 lengths
      for (int i = 0; i < 2; ++i) {
        out.code(codes[18], 4);
        out.bits(127, 7);
      }
    }
    out.bits(0, 64);
    members.emplace_back(first ? "repeat before any length" : "repeat past the end",
                         gzipMember(out.bytes(), ""));
  }
  // Fixed codes: literal "a" is 8 bits (0x30 + 0x61), the length 3 is
  // 0000001, distance codes 5 bits.
  auto fixedBlock = [](std::uint32_t code, int length, bool match) {
    DeflateTestWriter out;
    out.bits(1, 1);
    out.bits(1, 2);
    out.code(0x91, 8);
    if (match) out.code(1, 7);
    out.code(code, length);
    out.code(0, 7);  // end of block
    return gzipMember(out.bytes(), "");
  };
  members.emplace_back("fixed literal code 286", fixedBlock(0xc6, 8, false));
  members.emplace_back("fixed distance code 30", fixedBlock(30, 5, true));
  members.emplace_back("distance 1", fixedBlock(0, 5, true));
  members.emplace_back("distance 2, further back than the output",
                       fixedBlock(1, 5, true));
  {
    DeflateTestWriter out;
    out.stored("abc", false);
    out.bits(1, 1);
    out.bits(0, 2);
    out.align();
    out.bits(5, 16);
    out.bits(0, 16);
    members.emplace_back("stored lengths disagree", gzipMember(out.bytes(), ""));
    DeflateTestWriter reserved;
    reserved.bits(1, 1);
    reserved.bits(3, 2);
    members.emplace_back("reserved block type", gzipMember(reserved.bytes(), ""));
  }

  int refused = 0;
  for (const auto& [name, member] : members) {
    SCOPED_TRACE(name);
    const Reading expected = zlibReading(member);
    ASSERT_NE(expected.verdict, Verdict::kWalking);
    expectSameRefusal(expected, checkerReading(member));
    refused += expected.verdict == Verdict::kRefused;
  }
  // Both kinds are there: the cases check what they are meant to.
  EXPECT_EQ(refused, 17);
}

/// A gzip member of zlib's own, at `level`, of text with many symbols.
std::string zlibMember(int level, int lines) {
  std::string text;
  unsigned seed = 7;
  for (int i = 0; i < lines; ++i) {
    seed = seed * 1103515245u + 12345u;
    text += "10.0." + std::to_string(seed % 251) + ".7 - user" +
            std::to_string(seed % 13) + " \"GET /p/" + std::to_string(seed >> 9) +
            "?q=" + std::string(seed % 7, static_cast<char>('a' + seed % 26)) +
            " HTTP/1.1\" 200 " + std::to_string(seed % 99999) + "\n";
  }
  z_stream stream{};
  deflateInit2(&stream, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&stream, static_cast<uLong>(text.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(text.data());
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

TEST(DeflateCheckerTest, AgreesWithZlibOnEveryFlippedBitOfABlockHeader) {
  for (int level : {1, 9}) {
    const std::string member = zlibMember(level, 60);
    ASSERT_EQ(checkerReading(member).verdict, Verdict::kDeflateEnd);
    // The first block's header, where the code lengths are, and beyond.
    for (std::size_t bit = 8 * 10; bit < 8 * 140; ++bit) {
      std::string flipped = member;
      flipped[bit / 8] = static_cast<char>(flipped[bit / 8] ^ (1 << (bit % 8)));
      SCOPED_TRACE("level " + std::to_string(level) + ", bit " + std::to_string(bit));
      const Reading zlib = zlibReading(flipped);
      const Reading checker = checkerReading(flipped);
      // A walk that stops short of the data's end waits for more: the
      // reader then leaves the rest to zlib, whatever zlib says there.
      if (checker.verdict != Verdict::kWalking ||
          zlib.verdict == Verdict::kDeflateEnd) {
        expectSameRefusal(zlib, checker);
      }
    }
  }
}

}  // namespace
