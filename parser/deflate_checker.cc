#include "parser/deflate_checker.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

constexpr unsigned char kMagic0 = 0x1f;
constexpr unsigned char kMagic1 = 0x8b;
constexpr unsigned kDeflateMethod = 8;
// Header flags: the parts that may follow the fixed header, and the ones
// the walk leaves to zlib (reserved bits, the header's own checksum).
constexpr unsigned kExtraFlag = 4;
constexpr unsigned kNameFlag = 8;
constexpr unsigned kCommentFlag = 16;
constexpr unsigned kRefusedFlags = 0xe2;

constexpr int kMaxLiteralCodes = 286;
constexpr int kMaxDistanceCodes = 30;
constexpr int kEndOfBlock = 256;

// Order in which the lengths of the code-length code are stored.
constexpr unsigned char kLengthCodeOrder[19] = {16, 17, 18, 0, 8,  7, 9,
                                                6,  10, 5,  11, 4, 12, 3,
                                                13, 2,  14, 1,  15};
constexpr std::uint16_t kLengthBase[29] = {
    3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
    31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr unsigned char kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1,
                                            1, 1, 2, 2, 2, 2, 3, 3, 3, 3,
                                            4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t kDistanceBase[30] = {
    1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
    33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
    1025, 1537, 2049, 3073, 4097, 6145,  8193,  12289, 16385, 24577};
constexpr unsigned char kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2,  2,  3,  3,
                                              4, 4, 5, 5, 6, 6, 7,  7,  8,  8,
                                              9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

using Code = DeflateChecker::Code;

// A decoded symbol as one word: the bits it takes, extra bits included
// (0 to 4), its code's length (5 to 8), what it is (9 and 10) and its value
// (16 up): the symbol itself, or the base of a length or distance.
constexpr unsigned kPlain = 0;    // a literal byte, or a code length
constexpr unsigned kBased = 1;    // a length or a distance with extra bits
constexpr unsigned kEnd = 2;      // the end of the block
constexpr unsigned kInvalid = 3;  // a code that stands for nothing

constexpr std::uint32_t makeEntry(unsigned kind, unsigned value,
                                  unsigned codeLength, unsigned extra) {
  return (value << 16) | (kind << 9) | (codeLength << 5) | (codeLength + extra);
}
/// In a code's table: a longer code, or none (decodeLong() tells which).
constexpr std::uint32_t kLongOrUnused = makeEntry(kInvalid, 0, 0, 0);
constexpr unsigned entryBits(std::uint32_t entry) { return entry & 31; }
constexpr unsigned entryCodeLength(std::uint32_t entry) { return (entry >> 5) & 15; }
constexpr unsigned entryKind(std::uint32_t entry) { return (entry >> 9) & 3; }
constexpr unsigned entryValue(std::uint32_t entry) { return entry >> 16; }

/// The entry of `symbol`, whose code has `codeLength` bits, in a code of
/// `kind`.
std::uint32_t entryFor(Code::Kind kind, unsigned symbol, unsigned codeLength) {
  if (kind == Code::Kind::kLengths) return makeEntry(kPlain, symbol, codeLength, 0);
  if (kind == Code::Kind::kDistances) {
    if (symbol >= static_cast<unsigned>(kMaxDistanceCodes)) {
      return makeEntry(kInvalid, symbol, codeLength, 0);
    }
    return makeEntry(kBased, kDistanceBase[symbol], codeLength, kDistanceExtra[symbol]);
  }
  if (symbol < static_cast<unsigned>(kEndOfBlock)) {
    return makeEntry(kPlain, symbol, codeLength, 0);
  }
  if (symbol == static_cast<unsigned>(kEndOfBlock)) {
    return makeEntry(kEnd, symbol, codeLength, 0);
  }
  if (symbol >= static_cast<unsigned>(kMaxLiteralCodes)) {
    return makeEntry(kInvalid, symbol, codeLength, 0);
  }
  return makeEntry(kBased, kLengthBase[symbol - 257], codeLength,
                   kLengthExtra[symbol - 257]);
}

/// Builds `code` of `kind` from the code lengths of `n` symbols. False when
/// zlib refuses the set: over-subscribed, or short of filling the code
/// space, which zlib allows only for a lone code of one bit and, but for the
/// code-length code, for no code at all.
bool buildCode(Code& code, Code::Kind kind, const unsigned char* lengths, int n) {
  const bool isLengthCode = kind == Code::Kind::kLengths;
  code.kind = kind;
  code.count.fill(0);
  for (int symbol = 0; symbol < n; ++symbol) ++code.count[lengths[symbol]];
  code.count[0] = 0;
  int longest = 15;
  while (longest > 0 && code.count[longest] == 0) --longest;
  code.fast.fill(kLongOrUnused);
  if (longest == 0) return !isLengthCode;
  int left = 1;
  for (int length = 1; length <= 15; ++length) {
    left = (left << 1) - code.count[length];
    if (left < 0) return false;
  }
  if (left > 0 && (isLengthCode || longest != 1)) return false;

  std::array<std::uint16_t, 16> offset{};
  std::array<unsigned, 16> nextCode{};
  for (int length = 1; length < 15; ++length) {
    offset[length + 1] = static_cast<std::uint16_t>(offset[length] + code.count[length]);
  }
  for (int length = 1; length <= 15; ++length) {
    nextCode[length] = (nextCode[length - 1] + code.count[length - 1]) << 1;
  }
  for (int symbol = 0; symbol < n; ++symbol) {
    const unsigned length = lengths[symbol];
    if (length == 0) continue;
    code.symbols[offset[length]++] = static_cast<std::uint16_t>(symbol);
    const unsigned value = nextCode[length]++;
    if (length > static_cast<unsigned>(Code::kFastBits)) continue;
    // The data holds a code's bits from its first one on, lowest first.
    unsigned reversed = 0;
    for (unsigned bit = 0; bit < length; ++bit) {
      reversed |= ((value >> bit) & 1u) << (length - 1 - bit);
    }
    const std::uint32_t entry = entryFor(kind, static_cast<unsigned>(symbol), length);
    for (unsigned at = reversed; at < code.fast.size(); at += 1u << length) {
      code.fast[at] = entry;
    }
  }
  return true;
}

/// The code lengths of the fixed block type, symbols 286 and 287 and
/// distances 30 and 31 included (they have codes but stand for nothing).
void buildFixedCodes(Code& literals, Code& distances) {
  unsigned char lengths[288];
  std::fill(lengths, lengths + 144, 8);
  std::fill(lengths + 144, lengths + 256, 9);
  std::fill(lengths + 256, lengths + 280, 7);
  std::fill(lengths + 280, lengths + 288, 8);
  buildCode(literals, Code::Kind::kLiterals, lengths, 288);
  std::fill(lengths, lengths + 32, 5);
  buildCode(distances, Code::Kind::kDistances, lengths, 32);
}

}  // namespace

/// The walk's view of the data: the bits not yet used, lowest first.
struct DeflateChecker::Bits {
  const unsigned char* next;
  const unsigned char* end;
  std::uint64_t buffer = 0;
  unsigned count = 0;

  /// Makes at least `n` (at most 56) bits available; false when the data
  /// ends first.
  bool need(unsigned n) {
    if (count >= n) return true;
    if (end - next >= 8 && std::endian::native == std::endian::little) {
      // Eight bytes at once; those that do not fit whole are read again.
      std::uint64_t word;
      std::memcpy(&word, next, 8);
      buffer |= word << count;
      next += (63 - count) >> 3;
      count |= 56;
      return true;
    }
    while (count < n) {
      if (next == end) return false;
      buffer |= static_cast<std::uint64_t>(*next++) << count;
      count += 8;
    }
    return true;
  }
  unsigned peek(unsigned n) const {
    return static_cast<unsigned>(buffer & ((std::uint64_t{1} << n) - 1));
  }
  void drop(unsigned n) {
    buffer >>= n;
    count -= n;
  }
  unsigned take(unsigned n) {
    const unsigned value = peek(n);
    drop(n);
    return value;
  }
  /// Bits used since `start`.
  std::size_t used(const unsigned char* start) const {
    return static_cast<std::size_t>(next - start) * 8 - count;
  }
  /// Bits used since `earlier`, a copy of this reader taken before.
  std::size_t usedSince(const Bits& earlier) const {
    return static_cast<std::size_t>(next - earlier.next) * 8 + earlier.count - count;
  }
};

namespace {

/// The entry of a code longer than Code::kFastBits, or kLongOrUnused for
/// bits no code stands for, from the 15 bits in `bits`, decoded one bit at
/// a time.
[[gnu::noinline]] std::uint32_t decodeLong(const Code& code, std::uint64_t bits) {
  int value = 0;
  int first = 0;
  int index = 0;
  for (unsigned length = 1; length <= 15; ++length) {
    value |= static_cast<int>(bits & 1);
    bits >>= 1;
    const int count = code.count[length];
    if (value - count < first) {
      return entryFor(code.kind,
                      code.symbols[static_cast<std::size_t>(index + value - first)],
                      length);
    }
    index += count;
    first = (first + count) << 1;
    value <<= 1;
  }
  return kLongOrUnused;
}

/// The entry of the next symbol of `code`, from at least 15 available
/// bits (nothing is taken); of kind kInvalid for bits that stand for
/// nothing.
template <typename Bits>
inline std::uint32_t lookUp(const Code& code, const Bits& bits) {
  const std::uint32_t entry = code.fast[bits.peek(Code::kFastBits)];
  return entryKind(entry) != kInvalid ? entry : decodeLong(code, bits.buffer);
}

/// The value of a length or distance entry, its extra bits added, from
/// bits not yet taken.
template <typename Bits>
inline unsigned basedValue(std::uint32_t entry, const Bits& bits) {
  const unsigned extra = entryBits(entry) - entryCodeLength(entry);
  return entryValue(entry) +
         static_cast<unsigned>((bits.buffer >> entryCodeLength(entry)) &
                               ((std::uint64_t{1} << extra) - 1));
}

}  // namespace

DeflateChecker::DeflateChecker() {
  buildFixedCodes(fixedLiterals_, fixedDistances_);
  startMember();
}

void DeflateChecker::startMember() {
  stage_ = Stage::kHeader;
  verdict_ = Verdict::kWalking;
  bitOffset_ = 0;
  headerFlags_ = 0;
  finalBlock_ = false;
  left_ = 0;
  produced_ = 0;
}

std::size_t DeflateChecker::walk(const unsigned char* data, std::size_t size) {
  if (verdict_ != Verdict::kWalking || size == 0) return 0;
  Bits bits{data, data + size};
  if (bitOffset_ != 0) {
    bits.need(8);
    bits.drop(bitOffset_);
  }
  while (verdict_ == Verdict::kWalking && step(bits)) {
  }
  const std::size_t used = bits.used(data);
  bitOffset_ = static_cast<unsigned>(used % 8);
  return used / 8;
}

bool DeflateChecker::step(Bits& bits) {
  // These two keep what they walked when the data runs out mid-way.
  if (stage_ == Stage::kCodes) return symbolStep(bits);
  if (stage_ == Stage::kStored || stage_ == Stage::kExtra) return storedStep(bits);
  Bits start = bits;
  const bool done =
      stage_ == Stage::kBlockHeader ? blockHeader(bits) : headerStep(bits);
  if (!done) bits = start;
  return done;
}

void DeflateChecker::refuse() {
  verdict_ = Verdict::kRefused;
  stage_ = Stage::kEnd;
}

void DeflateChecker::nextHeaderStage() {
  if ((headerFlags_ & kExtraFlag) != 0) {
    headerFlags_ &= ~kExtraFlag;
    stage_ = Stage::kExtraLength;
  } else if ((headerFlags_ & kNameFlag) != 0) {
    headerFlags_ &= ~kNameFlag;
    stage_ = Stage::kName;
  } else if ((headerFlags_ & kCommentFlag) != 0) {
    headerFlags_ &= ~kCommentFlag;
    stage_ = Stage::kComment;
  } else {
    stage_ = Stage::kBlockHeader;
  }
}

bool DeflateChecker::headerStep(Bits& bits) {
  switch (stage_) {
    case Stage::kHeader: {
      if (!bits.need(32)) return false;
      const unsigned magic0 = bits.take(8);
      const unsigned magic1 = bits.take(8);
      const unsigned method = bits.take(8);
      headerFlags_ = bits.take(8);
      // Modification time, extra flags, operating system.
      if (!bits.need(48)) return false;
      bits.drop(48);
      if (magic0 != kMagic0 || magic1 != kMagic1 || method != kDeflateMethod ||
          (headerFlags_ & kRefusedFlags) != 0) {
        refuse();
        return true;
      }
      nextHeaderStage();
      return true;
    }
    case Stage::kExtraLength:
      if (!bits.need(16)) return false;
      left_ = bits.take(16);
      stage_ = Stage::kExtra;
      return true;
    case Stage::kName:
    case Stage::kComment:
      // Zero-terminated, one byte per step.
      if (!bits.need(8)) return false;
      if (bits.take(8) == 0) nextHeaderStage();
      return true;
    default:
      return false;
  }
}

bool DeflateChecker::blockHeader(Bits& bits) {
  if (!bits.need(3)) return false;
  finalBlock_ = bits.take(1) != 0;
  switch (bits.take(2)) {
    case 0: {
      bits.drop(bits.count % 8);  // to the next byte
      if (!bits.need(32)) return false;
      const unsigned length = bits.take(16);
      if (length != (~bits.take(16) & 0xffffu)) {
        refuse();
        return true;
      }
      left_ = length;
      produced_ += length;
      stage_ = Stage::kStored;
      if (length == 0) endBlock();
      return true;
    }
    case 1:
      literals_ = &fixedLiterals_;
      distances_ = &fixedDistances_;
      stage_ = Stage::kCodes;
      return true;
    case 2:
      return dynamicHeader(bits);
    default:
      refuse();
      return true;
  }
}

bool DeflateChecker::dynamicHeader(Bits& bits) {
  if (!bits.need(14)) return false;
  const int literalCount = static_cast<int>(bits.take(5)) + 257;
  const int distanceCount = static_cast<int>(bits.take(5)) + 1;
  const int lengthCodeCount = static_cast<int>(bits.take(4)) + 4;
  if (literalCount > kMaxLiteralCodes || distanceCount > kMaxDistanceCodes) {
    refuse();
    return true;
  }
  unsigned char lengths[kMaxLiteralCodes + kMaxDistanceCodes] = {};
  for (int i = 0; i < lengthCodeCount; ++i) {
    if (!bits.need(3)) return false;
    lengths[kLengthCodeOrder[i]] = static_cast<unsigned char>(bits.take(3));
  }
  if (!buildCode(lengthCodes_, Code::Kind::kLengths, lengths, 19)) {
    refuse();
    return true;
  }
  std::fill(lengths, lengths + 19, 0);
  const int total = literalCount + distanceCount;
  int have = 0;
  while (have < total) {
    if (!bits.need(15)) return false;
    const std::uint32_t entry = lookUp(lengthCodes_, bits);
    bits.drop(entryBits(entry));
    const unsigned symbol = entryValue(entry);
    if (symbol < 16) {
      lengths[have++] = static_cast<unsigned char>(symbol);
      continue;
    }
    unsigned char repeated = 0;
    int copies;
    if (symbol == 16) {
      if (have == 0) {
        refuse();
        return true;
      }
      repeated = lengths[have - 1];
      copies = 3 + static_cast<int>(bits.take(2));
    } else if (symbol == 17) {
      copies = 3 + static_cast<int>(bits.take(3));
    } else {
      copies = 11 + static_cast<int>(bits.take(7));
    }
    if (have + copies > total) {
      refuse();
      return true;
    }
    std::fill(lengths + have, lengths + have + copies, repeated);
    have += copies;
  }
  if (lengths[kEndOfBlock] == 0 ||
      !buildCode(dynamicLiterals_, Code::Kind::kLiterals, lengths, literalCount) ||
      !buildCode(dynamicDistances_, Code::Kind::kDistances, lengths + literalCount,
                 distanceCount)) {
    refuse();
    return true;
  }
  literals_ = &dynamicLiterals_;
  distances_ = &dynamicDistances_;
  stage_ = Stage::kCodes;
  return true;
}

bool DeflateChecker::storedStep(Bits& bits) {
  // Byte aligned here: whole bytes left in the buffer come first.
  const std::uint32_t before = left_;
  while (left_ > 0 && bits.count >= 8) {
    bits.drop(8);
    --left_;
  }
  const std::size_t skip =
      std::min<std::size_t>(left_, static_cast<std::size_t>(bits.end - bits.next));
  if (skip > 0) {
    // The buffer is empty now, but for bits of the next byte read ahead.
    bits.buffer = 0;
    bits.next += skip;
  }
  left_ -= static_cast<std::uint32_t>(skip);
  if (left_ == 0) {
    if (stage_ == Stage::kStored) {
      endBlock();
    } else {
      nextHeaderStage();
    }
    return true;
  }
  return left_ != before;
}

void DeflateChecker::endBlock() {
  if (finalBlock_) {
    stage_ = Stage::kEnd;
    verdict_ = Verdict::kDeflateEnd;
  } else {
    stage_ = Stage::kBlockHeader;
  }
}

bool DeflateChecker::symbolStep(Bits& walked) {
  // Locals, so that the loop keeps them in registers.
  Bits bits = walked;
  const Code& literals = *literals_;
  const Code& distances = *distances_;
  std::uint64_t produced = produced_;
  bool done = false;
  while (true) {
    // A symbol takes at most 15 + 5 bits and its distance 15 + 13: with
    // that many at hand (nearly always) no part of it can run short.
    const Bits start = bits;
    if (!bits.need(48) && !bits.need(15)) break;
    const std::uint32_t symbol = lookUp(literals, bits);
    const unsigned kind = entryKind(symbol);
    if (kind == kPlain) {
      bits.drop(entryBits(symbol));
      ++produced;
      continue;
    }
    if (kind == kEnd) {
      bits.drop(entryBits(symbol));
      endBlock();
      done = true;
      break;
    }
    if (kind == kInvalid) {
      refuse();
      done = true;
      break;
    }
    if (!bits.need(entryBits(symbol) + 15)) {
      bits = start;
      break;
    }
    const unsigned length = basedValue(symbol, bits);
    bits.drop(entryBits(symbol));
    const std::uint32_t distanceSymbol = lookUp(distances, bits);
    if (entryKind(distanceSymbol) == kInvalid) {
      refuse();
      done = true;
      break;
    }
    if (!bits.need(entryBits(distanceSymbol))) {
      bits = start;
      break;
    }
    const unsigned distance = basedValue(distanceSymbol, bits);
    bits.drop(entryBits(distanceSymbol));
    if (distance > produced) {
      refuse();
      done = true;
      break;
    }
    produced += length;
  }
  produced_ = produced;
  done = done || bits.usedSince(walked) != 0;
  walked = bits;
  return done;
}
