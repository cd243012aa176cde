#ifndef SUMMARY_STRING_TABLE_H_
#define SUMMARY_STRING_TABLE_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

/// A 64-bit hash of a text.
std::uint64_t hashText(std::string_view text);

/// Gives each distinct text a number 0, 1, 2, ... in the order first seen;
/// the texts are kept in one arena. Open addressing, so that a month of
/// distinct URLs costs one probe and no allocation per lookup.
class StringTable {
 public:
  StringTable();
  /// The number of `text`, adding it when new.
  std::uint32_t intern(std::string_view text) { return intern(text, hashText(text)); }
  /// The same, for a text whose hashText the caller has at hand.
  std::uint32_t intern(std::string_view text, std::uint64_t hash);
  /// Starts fetching the slot where `text` would be looked up, so that a
  /// lookup a little later finds it in the cache.
  void prefetch(std::string_view text) const { prefetchHash(hashText(text)); }
  /// The same, by the text's hash.
  void prefetchHash(std::uint64_t hash) const { __builtin_prefetch(&slots_[hash & mask_]); }
  /// Whether the table has outgrown the processor's cache, so that a
  /// lookup is worth fetching ahead.
  bool outgrowsCache() const { return size() >= kCachedTexts; }
  /// The text of number `id`.
  std::string_view at(std::uint32_t id) const {
    return std::string_view(bytes_).substr(offsets_[id], offsets_[id + 1] - offsets_[id]);
  }
  /// How many texts there are.
  std::uint32_t size() const { return static_cast<std::uint32_t>(hashes_.size()); }
  /// The bytes of every text together.
  std::size_t bytes() const { return bytes_.size(); }

 private:
  void grow();

  /// Texts up to which the table stays in the cache anyway.
  static constexpr std::uint32_t kCachedTexts = 1 << 14;

  /// A slot of the table: the text's number + 1 (0 when free) and the high
  /// half of its hash, so that most probes touch the slot alone.
  struct Slot {
    std::uint32_t id = 0;
    std::uint32_t check = 0;
  };

  std::string bytes_;                  // every text, one after another
  std::vector<std::uint64_t> offsets_; // start of each text, and the end
  std::vector<std::uint64_t> hashes_;  // hash of each text
  std::vector<Slot> slots_;
  std::uint64_t mask_;
};

/// A set of 64-bit numbers (pairs of small numbers packed into one).
class NumberSet {
 public:
  NumberSet();
  /// Adds `value`; true when it was not there.
  bool insert(std::uint64_t value);
  /// How many numbers there are.
  std::size_t size() const { return count_; }

 private:
  void grow();

  std::vector<std::uint64_t> slots_;  // value + 1, or 0 for a free slot
  std::uint64_t mask_;
  std::size_t count_ = 0;
  bool hasMax_ = false;  // the one value that + 1 cannot hold
};

/// Which groups (appliances, say) each numbered value has been counted in:
/// one bit per group for the first 64 groups, found by the value's number
/// without hashing; a set of (group, number) pairs for groups past them.
/// Numbers are dense, as a StringTable gives them: memory is 8 bytes for
/// each number up to the largest.
class GroupMembers {
 public:
  /// Marks value `id` as counted in `group`; true when it was not.
  bool insert(std::uint32_t group, std::uint32_t id);

 private:
  std::vector<std::uint64_t> bits_;  // by value number
  NumberSet others_;                 // group << 32 | id for groups from 64
};

/// Gives each distinct 64-bit number an index 0, 1, 2, ... in the order
/// first seen (pairs of small numbers packed into one key).
class NumberIndex {
 public:
  NumberIndex();
  /// The index of `key`, adding it when new (then `*added` is true).
  std::uint32_t find(std::uint64_t key, bool* added);
  /// The key of index `index`.
  std::uint64_t key(std::uint32_t index) const { return keys_[index]; }
  std::uint32_t size() const { return static_cast<std::uint32_t>(keys_.size()); }

 private:
  void grow();

  std::vector<std::uint64_t> keys_;   // by index
  std::vector<std::uint32_t> slots_;  // index + 1, or 0 for a free slot
  std::uint64_t mask_;
};


#endif  // SUMMARY_STRING_TABLE_H_
