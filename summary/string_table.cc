#include "summary/string_table.h"

#include <cstring>

namespace {

constexpr std::uint64_t kInitialSlots = 1024;

/// Spreads the bits of a number over the whole word.
std::uint64_t mix(std::uint64_t x) {
  x ^= x >> 30;
  x *= 0xbf58476d1ce4e5b9ULL;
  x ^= x >> 27;
  x *= 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

}  // namespace

std::uint64_t hashText(std::string_view text) {
  std::uint64_t hash = 0x9e3779b97f4a7c15ULL ^ text.size();
  std::size_t i = 0;
  // One multiply a word; the whole mix once at the end.
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    hash = (hash ^ word) * 0x9fb21c651e98df25ULL;
    hash ^= hash >> 29;
  }
  std::uint64_t tail = 0;
  if (i < text.size()) std::memcpy(&tail, text.data() + i, text.size() - i);
  return mix(hash ^ tail ^ (static_cast<std::uint64_t>(text.size() - i) << 59));
}

StringTable::StringTable() : slots_(kInitialSlots), mask_(kInitialSlots - 1) {
  offsets_.push_back(0);
}

std::uint32_t StringTable::intern(std::string_view text, std::uint64_t hash) {
  const auto check = static_cast<std::uint32_t>(hash >> 32);
  for (std::uint64_t slot = hash & mask_;; slot = (slot + 1) & mask_) {
    const Slot entry = slots_[slot];
    if (entry.id == 0) {
      std::uint32_t id = size();
      slots_[slot] = Slot{id + 1, check};
      hashes_.push_back(hash);
      bytes_.append(text);
      offsets_.push_back(bytes_.size());
      if (hashes_.size() * 2 > slots_.size()) grow();
      return id;
    }
    if (entry.check == check && at(entry.id - 1) == text) return entry.id - 1;
  }
}

void StringTable::grow() {
  slots_.assign(slots_.size() * 2, Slot{});
  mask_ = slots_.size() - 1;
  for (std::uint32_t id = 0; id < size(); ++id) {
    std::uint64_t slot = hashes_[id] & mask_;
    while (slots_[slot].id != 0) slot = (slot + 1) & mask_;
    slots_[slot] = Slot{id + 1, static_cast<std::uint32_t>(hashes_[id] >> 32)};
  }
}

bool GroupMembers::insert(std::uint32_t group, std::uint32_t id) {
  if (group >= 64) return others_.insert((static_cast<std::uint64_t>(group) << 32) | id);
  if (id >= bits_.size()) bits_.resize(static_cast<std::size_t>(id) + 1);
  const std::uint64_t bit = std::uint64_t{1} << group;
  if ((bits_[id] & bit) != 0) return false;
  bits_[id] |= bit;
  return true;
}

NumberSet::NumberSet() : slots_(kInitialSlots, 0), mask_(kInitialSlots - 1) {}

bool NumberSet::insert(std::uint64_t value) {
  if (value == ~0ULL) {
    if (hasMax_) return false;
    hasMax_ = true;
    ++count_;
    return true;
  }
  const std::uint64_t stored = value + 1;
  for (std::uint64_t slot = mix(value) & mask_;; slot = (slot + 1) & mask_) {
    if (slots_[slot] == stored) return false;
    if (slots_[slot] == 0) {
      slots_[slot] = stored;
      if (++count_ * 2 > slots_.size()) grow();
      return true;
    }
  }
}

void NumberSet::grow() {
  std::vector<std::uint64_t> old;
  old.swap(slots_);
  slots_.assign(old.size() * 2, 0);
  mask_ = slots_.size() - 1;
  for (std::uint64_t stored : old) {
    if (stored == 0) continue;
    std::uint64_t slot = mix(stored - 1) & mask_;
    while (slots_[slot] != 0) slot = (slot + 1) & mask_;
    slots_[slot] = stored;
  }
}

NumberIndex::NumberIndex() : slots_(kInitialSlots, 0), mask_(kInitialSlots - 1) {}

std::uint32_t NumberIndex::find(std::uint64_t key, bool* added) {
  for (std::uint64_t slot = mix(key) & mask_;; slot = (slot + 1) & mask_) {
    std::uint32_t entry = slots_[slot];
    if (entry == 0) {
      keys_.push_back(key);
      slots_[slot] = size();
      *added = true;
      if (keys_.size() * 2 > slots_.size()) grow();
      return size() - 1;
    }
    if (keys_[entry - 1] == key) {
      *added = false;
      return entry - 1;
    }
  }
}

void NumberIndex::grow() {
  slots_.assign(slots_.size() * 2, 0);
  mask_ = slots_.size() - 1;
  for (std::uint32_t index = 0; index < size(); ++index) {
    std::uint64_t slot = mix(keys_[index]) & mask_;
    while (slots_[slot] != 0) slot = (slot + 1) & mask_;
    slots_[slot] = index + 1;
  }
}
