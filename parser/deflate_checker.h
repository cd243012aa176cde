#ifndef PARSER_DEFLATE_CHECKER_H_
#define PARSER_DEFLATE_CHECKER_H_

#include <array>
#include <cstddef>
#include <cstdint>

/// Walks a gzip member's header and deflate data as zlib's inflate reads
/// them, without producing output, and stops where zlib refuses them: a
/// reserved block type, stored lengths that disagree, more length or
/// distance codes than deflate has, Huffman codes that are over-subscribed
/// or do not fill their code space (zlib allows only a lone one-bit code
/// and no distance codes at all), a missing end-of-block code, a bad repeat
/// of code lengths, a code or distance symbol no code stands for, and a
/// distance further back than the member's output; also a header with a
/// checksum of its own, which zlib checks and the walk does not (the log
/// decoder leaves such headers to zlib anyway). A faster inflater that
/// accepts some of these (ISA-L decodes incomplete codes until an unused
/// one turns up, or never) is held back by it to what zlib would read.
///
/// The walk is streamed: walk() takes the data in pieces of any size and
/// resumes where it stopped, at the start of the step (a block header, a
/// symbol with its extra bits, a header byte) that the piece did not hold
/// whole. Nothing is allocated after construction.
class DeflateChecker {
 public:
  /// How far the walk got.
  enum class Verdict {
    kWalking,     ///< in the member; more data is needed
    kDeflateEnd,  ///< past the end of the final block (the trailer follows)
    kRefused,     ///< at data zlib refuses
  };

  DeflateChecker();

  /// Starts over at a member whose gzip header is the next data.
  void startMember();

  /// Walks on through `data` (`size` bytes), which starts with the first
  /// byte not yet walked whole (the walk may stand some bits into it).
  /// Returns how many of its bytes were walked whole; the walk stops early
  /// at the end of the deflate data or at data zlib refuses.
  std::size_t walk(const unsigned char* data, std::size_t size);

  /// Where the walk stands.
  Verdict verdict() const { return verdict_; }

  /// A canonical Huffman code of a block, ready to decode.
  struct Code {
    /// What the code's symbols stand for.
    enum class Kind { kLengths, kLiterals, kDistances };
    static constexpr int kFastBits = 10;
    Kind kind = Kind::kLengths;
    /// By the next kFastBits bits of the data, for codes of at most that
    /// many bits: what the symbol means (see entryFor() in the .cc), 0 for
    /// longer or unused codes.
    std::array<std::uint32_t, 1 << kFastBits> fast;
    /// Number of codes of each length.
    std::array<std::uint16_t, 16> count;
    /// Symbols ordered by code length, then value.
    std::array<std::uint16_t, 288> symbols;
  };

 private:
  enum class Stage {
    kHeader,
    kExtraLength,
    kExtra,
    kName,
    kComment,
    kBlockHeader,
    kStored,
    kCodes,
    kEnd,
  };
  struct Bits;

  /// One step of the walk; false when `bits` lacks the data to finish it.
  bool step(Bits& bits);
  bool headerStep(Bits& bits);
  bool blockHeader(Bits& bits);
  bool dynamicHeader(Bits& bits);
  bool storedStep(Bits& bits);
  bool symbolStep(Bits& bits);
  /// The end of the current block.
  void endBlock();
  /// The next gzip header stage after the fixed part and each optional one.
  void nextHeaderStage();
  void refuse();

  Stage stage_ = Stage::kHeader;
  Verdict verdict_ = Verdict::kWalking;
  // Bits of the first byte handed to walk() that were already walked.
  unsigned bitOffset_ = 0;
  unsigned headerFlags_ = 0;
  bool finalBlock_ = false;
  // Bytes left of a stored block or an optional header part.
  std::uint32_t left_ = 0;
  // Bytes the member has produced so far.
  std::uint64_t produced_ = 0;
  const Code* literals_ = nullptr;
  const Code* distances_ = nullptr;
  Code fixedLiterals_;
  Code fixedDistances_;
  Code dynamicLiterals_;
  Code dynamicDistances_;
  Code lengthCodes_;
};

#endif  // PARSER_DEFLATE_CHECKER_H_
