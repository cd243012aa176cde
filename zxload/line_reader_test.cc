#include "zxload/line_reader.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>

namespace {

// Stored checksums are zlib's CRC-32 and Adler-32: whatever computes them
// must give the same, however the bytes arrive.
TEST(ChecksumTest, SameAsZlibInAnyPieces) {
  std::mt19937 random(7);
  std::string bytes(300000, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  for (std::size_t size : {0u, 1u, 15u, 16u, 17u, 255u, 5552u, 5553u, 65536u, 300000u}) {
    const auto* data = reinterpret_cast<const Bytef*>(bytes.data());
    std::uint64_t want = (static_cast<std::uint64_t>(crc32(0, data, size)) << 32) |
                         adler32(1, data, size);
    Checksum whole, pieces;
    whole.update(bytes.data(), size);
    for (std::size_t at = 0, step = 1; at < size; at += step, step = step * 3 % 4099 + 1) {
      pieces.update(bytes.data() + at, std::min(step, size - at));
    }
    EXPECT_EQ(whole.digest(), (FileDigest{size, want})) << size;
    EXPECT_EQ(pieces.digest(), (FileDigest{size, want})) << size;
  }
  Checksum known;
  known.update("abc", 3);
  EXPECT_EQ(known.digest().hex(), "352441c2024d0127");
}

}  // namespace
