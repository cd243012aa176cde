#include "parser/log_decoder.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
// As the read-ahead's blocks: no fresh mapping per log under the fuzzer.
constexpr std::size_t kInputSize = 64 * 1024;
#else
constexpr std::size_t kInputSize = 256 * 1024;
#endif
constexpr unsigned char kMagic0 = 0x1f;
constexpr unsigned char kMagic1 = 0x8b;
constexpr unsigned char kDeflateMethod = 8;
// Reserved flag bits and the header checksum flag: headers carrying them
// are left to zlib.
constexpr unsigned char kUnusualFlags = 0xe2;

}  // namespace

LogDecoder::LogDecoder(std::FILE* file, std::unique_ptr<Inflater> inflater)
    : file_(file),
      inflater_(std::move(inflater)),
      input_(new unsigned char[kInputSize]) {
  next_ = input_.get();
}

LogDecoder::~LogDecoder() {
  if (file_ != nullptr) std::fclose(file_);
}

bool LogDecoder::readInput() {
  if (fileEnded_ || readFailed_) return false;
  std::memmove(input_.get(), next_, available_);
  next_ = input_.get();
  std::size_t got = std::fread(input_.get() + available_, 1,
                               kInputSize - available_, file_);
  if (got == 0) {
    if (std::ferror(file_)) {
      readFailed_ = true;
    } else {
      fileEnded_ = true;
    }
    return false;
  }
  available_ += got;
  return true;
}

LogDecoder::Outcome LogDecoder::look() {
  while (available_ < 4 && readInput()) {
  }
  if (readFailed_) return Outcome::kIrregular;
  bool first = !started_;
  started_ = true;
  if (available_ >= 2 && next_[0] == kMagic0 && next_[1] == kMagic1) {
    if (available_ < 4 || next_[2] != kDeflateMethod ||
        (next_[3] & kUnusualFlags) != 0) {
      return Outcome::kIrregular;
    }
    inflater_->startMember();
    mode_ = Mode::kMember;
  } else if (first && available_ > 0) {
    mode_ = Mode::kPlain;
  } else {
    // The end, or bytes after the last member that start no other one.
    mode_ = Mode::kDone;
  }
  return Outcome::kFull;
}

LogDecoder::Outcome LogDecoder::inflateMember(unsigned char** out,
                                              unsigned char* end) {
  while (*out < end) {
    if (available_ == 0 && !readInput()) return Outcome::kIrregular;
    std::size_t room = static_cast<std::size_t>(end - *out);
    std::size_t before = available_;
    Inflater::Step step = inflater_->inflate(&next_, &available_, out, &room);
    if (step == Inflater::Step::kError) return Outcome::kIrregular;
    if (step == Inflater::Step::kMemberEnd) {
      mode_ = Mode::kLook;
      return Outcome::kFull;
    }
    if (available_ == before && room == static_cast<std::size_t>(end - *out) &&
        !readInput()) {
      return Outcome::kIrregular;
    }
  }
  return Outcome::kFull;
}

LogDecoder::Outcome LogDecoder::fill(char* buffer, std::size_t room,
                                     std::size_t* length) {
  unsigned char* out = reinterpret_cast<unsigned char*>(buffer);
  unsigned char* end = out + room;
  Outcome outcome = Outcome::kFull;
  while (out < end && outcome == Outcome::kFull && mode_ != Mode::kDone) {
    // Plain data is read straight into the caller's buffer.
    if (mode_ == Mode::kLook) {
      outcome = look();
    } else if (mode_ == Mode::kMember) {
      outcome = inflateMember(&out, end);
    } else if (available_ > 0) {
      std::size_t n = std::min(available_, static_cast<std::size_t>(end - out));
      std::memcpy(out, next_, n);
      out += n;
      next_ += n;
      available_ -= n;
    } else {
      std::size_t got = std::fread(out, 1, static_cast<std::size_t>(end - out), file_);
      out += got;
      if (got == 0) {
        if (std::ferror(file_)) outcome = Outcome::kIrregular;
        mode_ = Mode::kDone;
      }
    }
  }
  *length = static_cast<std::size_t>(out - reinterpret_cast<unsigned char*>(buffer));
  if (outcome == Outcome::kIrregular) return outcome;
  return mode_ == Mode::kDone ? Outcome::kEnd : Outcome::kFull;
}
