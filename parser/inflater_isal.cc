#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <cstdint>

#include "parser/deflate_checker.h"
#include "parser/inflater.h"

namespace {

/// ISA-L's igzip inflate, which reads the gzip header and checks the
/// trailer itself. ISA-L accepts Huffman codes that zlib refuses (codes
/// that do not fill their code space are decoded until an unused code turns
/// up, or to the end), so every member is walked ahead by a DeflateChecker
/// and ISA-L gets only data the walk accepted: what zlib refuses is an
/// error here before ISA-L decodes any of it.
class IsalInflater : public Inflater {
 public:
  IsalInflater() { startMember(); }

  void startMember() override {
    isal_inflate_init(&state_);
    state_.crc_flag = ISAL_GZIP;
    checker_.startMember();
    checked_ = 0;
  }

  Step inflate(const unsigned char** in, std::size_t* inLength,
               unsigned char** out, std::size_t* outRoom) override {
    std::size_t allowed = *inLength;
    if (checker_.verdict() == DeflateChecker::Verdict::kWalking) {
      checked_ += checker_.walk(*in + checked_, *inLength - checked_);
      if (checker_.verdict() == DeflateChecker::Verdict::kRefused) {
        return Step::kError;
      }
      if (checker_.verdict() == DeflateChecker::Verdict::kWalking) {
        allowed = checked_;
      }
    }
    std::uint32_t inChunk =
        static_cast<std::uint32_t>(std::min<std::size_t>(allowed, UINT32_MAX));
    std::uint32_t outChunk =
        static_cast<std::uint32_t>(std::min<std::size_t>(*outRoom, UINT32_MAX));
    state_.next_in = const_cast<std::uint8_t*>(*in);
    state_.avail_in = inChunk;
    state_.next_out = *out;
    state_.avail_out = outChunk;
    int code = isal_inflate(&state_);
    const std::size_t consumed = inChunk - state_.avail_in;
    *in += consumed;
    *inLength -= consumed;
    checked_ -= std::min(checked_, consumed);
    *out += outChunk - state_.avail_out;
    *outRoom -= outChunk - state_.avail_out;
    if (code < 0) return Step::kError;
    if (state_.block_state == ISAL_BLOCK_FINISH) return Step::kMemberEnd;
    return Step::kMore;
  }

 private:
  inflate_state state_;
  DeflateChecker checker_;
  // Bytes at the input's start that the checker walked whole and ISA-L has
  // not taken yet.
  std::size_t checked_ = 0;
};

}  // namespace

std::unique_ptr<Inflater> makeInflater() {
  return std::make_unique<IsalInflater>();
}
