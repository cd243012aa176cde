#include <zlib.h>

#include <algorithm>
#include <climits>

#include "parser/inflater.h"

namespace {

/// zlib's inflate with its own gzip header and trailer checks.
class ZlibInflater : public Inflater {
 public:
  ZlibInflater() {
    // 15 + 16: a 32 KiB window, gzip wrapper only.
    ready_ = inflateInit2(&stream_, 15 + 16) == Z_OK;
  }
  ~ZlibInflater() override {
    if (ready_) inflateEnd(&stream_);
  }

  void startMember() override {
    if (ready_) inflateReset(&stream_);
  }

  Step inflate(const unsigned char** in, std::size_t* inLength,
               unsigned char** out, std::size_t* outRoom) override {
    if (!ready_) return Step::kError;
    uInt inChunk = static_cast<uInt>(std::min<std::size_t>(*inLength, UINT_MAX));
    uInt outChunk = static_cast<uInt>(std::min<std::size_t>(*outRoom, UINT_MAX));
    stream_.next_in = const_cast<Bytef*>(*in);
    stream_.avail_in = inChunk;
    stream_.next_out = *out;
    stream_.avail_out = outChunk;
    int code = ::inflate(&stream_, Z_NO_FLUSH);
    *in += inChunk - stream_.avail_in;
    *inLength -= inChunk - stream_.avail_in;
    *out += outChunk - stream_.avail_out;
    *outRoom -= outChunk - stream_.avail_out;
    if (code == Z_STREAM_END) return Step::kMemberEnd;
    if (code == Z_OK || code == Z_BUF_ERROR) return Step::kMore;
    return Step::kError;
  }

 private:
  z_stream stream_{};
  bool ready_ = false;
};

}  // namespace

std::unique_ptr<Inflater> makeZlibInflater() {
  return std::make_unique<ZlibInflater>();
}

#ifndef PARSER_HAVE_ISAL
std::unique_ptr<Inflater> makeInflater() { return makeZlibInflater(); }
#endif
