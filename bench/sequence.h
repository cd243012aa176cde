#ifndef BENCH_SEQUENCE_H_
#define BENCH_SEQUENCE_H_

#include <cstdint>

/// A small linear congruential generator: the same sequence on every
/// platform, for generated logs that are the same from run to run.
class Sequence {
 public:
  explicit Sequence(std::uint64_t seed = 88172645463325252ULL) : state_(seed) {}
  /// A number in [0, bound).
  unsigned next(unsigned bound) {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<unsigned>(state_ >> 33) % bound;
  }
  /// A number in [0, 1).
  double unit() { return next(1u << 30) / static_cast<double>(1u << 30); }

 private:
  std::uint64_t state_;
};

#endif  // BENCH_SEQUENCE_H_
