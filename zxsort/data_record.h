#ifndef ZXSORT_DATA_RECORD_H_
#define ZXSORT_DATA_RECORD_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

/// One data line split for grouping. Its texts lie back to back in an
/// arena: key, attributes, numbers, then the three measures.
struct DataRecord {
  const char* text = nullptr;        ///< start of the record's texts
  std::uint16_t keyLength = 0;       ///< key values, each followed by a comma
  std::uint16_t attributesLength = 0;  ///< attribute values, each followed by a comma
  std::uint16_t numbersLength = 0;   ///< numeric values (or merged averages)
  std::uint16_t measureLength[3] = {0, 0, 0};  ///< 0 when no value was read
  std::int32_t count = 1;            ///< lines merged into this record; 0 once emptied
  std::uint64_t keyPrefix = 0;       ///< first 8 key bytes folded to lower case, set by the sort

  /// The key text.
  std::string_view key() const { return {text, keyLength}; }
  /// The attribute text.
  std::string_view attributes() const { return {text + keyLength, attributesLength}; }
  /// The numeric text.
  std::string_view numbers() const {
    return {text + keyLength + attributesLength, numbersLength};
  }
  /// The text of measure n (0..2); "0.000" until a value was read.
  std::string_view measure(int n) const {
    if (measureLength[n] == 0) return "0.000";
    std::size_t offset = std::size_t{keyLength} + attributesLength + numbersLength;
    for (int k = 0; k < n; ++k) offset += measureLength[k];
    return {text + offset, measureLength[n]};
  }
  /// False once grouping merged the record into another.
  bool present() const { return count != 0; }
};

/// Asks the processor to start loading the first 128 bytes of `record`'s
/// texts, for loops that visit records out of text order.
inline void prefetchTexts(const DataRecord& record) {
#if defined(__GNUC__)
  __builtin_prefetch(record.text);
  __builtin_prefetch(record.text + 64);
#else
  (void)record;
#endif
}

/// Bump allocator for the texts of one interval: large chunks, released
/// or reused as a whole, so a record costs no heap allocation of its own.
class TextArena {
 public:
  /// Room for `size` bytes, valid until `reset`.
  char* allocate(std::size_t size);
  /// Forgets every text; the chunks are kept for the next interval.
  void reset();
  /// Bytes handed out since the last `reset`.
  std::size_t used() const;
  /// Bytes reserved by the chunks.
  std::size_t capacity() const;

 private:
  struct Chunk {
    std::unique_ptr<char[]> data;
    std::size_t size = 0;
  };
  static constexpr std::size_t kChunkSize = 1 << 20;
  std::vector<Chunk> chunks_;
  std::size_t current_ = 0;  // chunk being filled
  std::size_t used_ = 0;     // bytes used in it
};

#endif  // ZXSORT_DATA_RECORD_H_
