#include "summary/cell_codec.h"

#include <algorithm>
#include <cstring>

void CellWriter::grow(std::size_t more) {
  out_.resize(std::max(out_.size() * 2, size_ + more));
}

void CellWriter::real(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, 8);
  ensure(8);
  char* at = out_.data() + size_;
  for (int k = 0; k < 8; ++k) at[k] = static_cast<char>(bits >> (8 * k));
  size_ += 8;
}

std::uint64_t CellReader::count() {
  std::uint64_t value = 0;
  for (int shift = 0; shift < 64; shift += 7) {
    if (failed_ || at_ >= data_.size()) break;
    auto byte = static_cast<unsigned char>(data_[at_++]);
    value |= static_cast<std::uint64_t>(byte & 0x7f) << shift;
    if ((byte & 0x80) == 0) return value;
  }
  failed_ = true;
  return 0;
}

double CellReader::real() {
  if (failed_ || data_.size() - at_ < 8) {
    failed_ = true;
    return 0;
  }
  std::uint64_t bits = 0;
  for (int k = 0; k < 8; ++k) bits |= static_cast<std::uint64_t>(static_cast<unsigned char>(data_[at_ + k])) << (8 * k);
  at_ += 8;
  double value;
  std::memcpy(&value, &bits, 8);
  return value;
}

std::string_view CellReader::text() {
  std::uint64_t size = count();
  if (failed_ || size > data_.size() - at_) {
    failed_ = true;
    return {};
  }
  std::string_view out = data_.substr(at_, size);
  at_ += size;
  return out;
}

std::uint64_t CellReader::entries(std::size_t bytesEach) {
  std::uint64_t n = count();
  if (failed_ || n > (data_.size() - at_) / (bytesEach == 0 ? 1 : bytesEach)) {
    failed_ = true;
    return 0;
  }
  return n;
}
