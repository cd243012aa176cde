#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <cstdint>

#include "parser/inflater.h"

namespace {

/// ISA-L's igzip inflate, which reads the gzip header and checks the
/// trailer itself.
class IsalInflater : public Inflater {
 public:
  IsalInflater() { startMember(); }

  void startMember() override {
    isal_inflate_init(&state_);
    state_.crc_flag = ISAL_GZIP;
  }

  Step inflate(const unsigned char** in, std::size_t* inLength,
               unsigned char** out, std::size_t* outRoom) override {
    std::uint32_t inChunk =
        static_cast<std::uint32_t>(std::min<std::size_t>(*inLength, UINT32_MAX));
    std::uint32_t outChunk =
        static_cast<std::uint32_t>(std::min<std::size_t>(*outRoom, UINT32_MAX));
    state_.next_in = const_cast<std::uint8_t*>(*in);
    state_.avail_in = inChunk;
    state_.next_out = *out;
    state_.avail_out = outChunk;
    int code = isal_inflate(&state_);
    *in += inChunk - state_.avail_in;
    *inLength -= inChunk - state_.avail_in;
    *out += outChunk - state_.avail_out;
    *outRoom -= outChunk - state_.avail_out;
    if (code < 0) return Step::kError;
    if (state_.block_state == ISAL_BLOCK_FINISH) return Step::kMemberEnd;
    return Step::kMore;
  }

 private:
  inflate_state state_;
};

}  // namespace

std::unique_ptr<Inflater> makeInflater() {
  return std::make_unique<IsalInflater>();
}
