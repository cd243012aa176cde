#ifndef PARSER_DEFLATE_TEST_WRITER_H_
#define PARSER_DEFLATE_TEST_WRITER_H_

// Hand-made deflate data for the tests of the gzip readers: blocks with
// chosen code lengths, including sets that zlib refuses.

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

/// Writes deflate data bit by bit, lowest bit first.
class DeflateTestWriter {
 public:
  /// Appends the `count` (at most 64) low bits of `value`.
  void bits(std::uint64_t value, int count) {
    for (int i = 0; i < count; ++i) {
      if (used_ == 0) bytes_.push_back('\0');
      if (((value >> i) & 1u) != 0) {
        bytes_.back() = static_cast<char>(bytes_.back() | (1 << used_));
      }
      used_ = (used_ + 1) % 8;
    }
  }
  /// Appends a Huffman code, its first bit first.
  void code(std::uint32_t value, int length) {
    for (int i = length - 1; i >= 0; --i) bits((value >> i) & 1u, 1);
  }
  /// Pads to the next byte.
  void align() { used_ = 0; }
  /// A stored block holding `text` (at most 65,535 bytes).
  void stored(const std::string& text, bool final) {
    bits(final ? 1 : 0, 1);
    bits(0, 2);
    align();
    bits(static_cast<std::uint32_t>(text.size()), 16);
    bits(static_cast<std::uint32_t>(~text.size() & 0xffff), 16);
    bytes_ += text;
  }
  /// The start of a dynamic block header: the counts and the code-length
  /// code of the lengths `lengthCode` (19, in symbol order; by default 4
  /// bits for 0 to 15, none for the repeats). Returns that code's codes;
  /// the code lengths of the block follow.
  std::vector<std::uint32_t> dynamicStart(bool final, int literalCount,
                                          int distanceCount,
                                          std::vector<int>& lengthCode) {
    if (lengthCode.empty()) {
      lengthCode.assign(19, 4);
      lengthCode[16] = lengthCode[17] = lengthCode[18] = 0;
    }
    static const int kOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                   11, 4,  12, 3, 13, 2, 14, 1, 15};
    bits(final ? 1 : 0, 1);
    bits(2, 2);
    bits(static_cast<std::uint32_t>(literalCount - 257), 5);
    bits(static_cast<std::uint32_t>(distanceCount - 1), 5);
    bits(15, 4);
    for (int symbol : kOrder) bits(static_cast<std::uint32_t>(lengthCode[symbol]), 3);
    return canonicalCodes(lengthCode);
  }
  /// The header of a dynamic block with these code lengths (each below 16),
  /// written with dynamicStart()'s code-length code.
  void dynamicHeader(bool final, const std::vector<int>& literals,
                     const std::vector<int>& distances,
                     std::vector<int> lengthCode = {}) {
    std::vector<std::uint32_t> codes =
        dynamicStart(final, static_cast<int>(literals.size()),
                     static_cast<int>(distances.size()), lengthCode);
    for (const std::vector<int>* set : {&literals, &distances}) {
      for (int length : *set) code(codes[length], lengthCode[length]);
    }
  }
  /// The bytes so far.
  const std::string& bytes() const { return bytes_; }

  /// The canonical code of every symbol of these code lengths.
  static std::vector<std::uint32_t> canonicalCodes(const std::vector<int>& lengths) {
    int count[16] = {};
    for (int length : lengths) ++count[length];
    count[0] = 0;
    std::uint32_t next[16] = {};
    for (int length = 1; length < 16; ++length) {
      next[length] = (next[length - 1] + count[length - 1]) << 1;
    }
    std::vector<std::uint32_t> codes(lengths.size());
    for (std::size_t symbol = 0; symbol < lengths.size(); ++symbol) {
      if (lengths[symbol] != 0) codes[symbol] = next[lengths[symbol]]++;
    }
    return codes;
  }

 private:
  std::string bytes_;
  int used_ = 0;
};

/// A gzip member around deflate data whose output is `text`.
inline std::string gzipMember(const std::string& deflate, const std::string& text) {
  std::string member("\x1f\x8b\x08\0\0\0\0\0\0\x03", 10);
  member += deflate;
  std::uint32_t crc = static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(text.data()),
            static_cast<uInt>(text.size())));
  for (std::uint32_t value : {crc, static_cast<std::uint32_t>(text.size())}) {
    for (int i = 0; i < 4; ++i) member += static_cast<char>((value >> (8 * i)) & 0xff);
  }
  return member;
}

#endif  // PARSER_DEFLATE_TEST_WRITER_H_
