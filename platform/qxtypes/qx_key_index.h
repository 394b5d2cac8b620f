// QX_TKeyIndex: the positions of a vector's entries by their text key, for
// a vector that grows at its end (the entries of a dictionary, the items of
// a section of the parameter dictionary). Open addressing over 4-byte
// slots: a job's 22 items cost 256 bytes of index instead of a hash node
// and a copied key each, and a copy of the index (a dictionary detaching
// from its copies) is one block.
//
// The index holds no keys: every operation is given `keyOf(i)`, the key of
// entry i, as something comparable with std::string_view.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class QX_TKeyIndex {
 public:
  static constexpr size_t npos = static_cast<size_t>(-1);

  bool Empty() const { return slots_.empty(); }

  // The position of `key`, or npos.
  template <class KeyOf>
  size_t Find(std::string_view key, KeyOf&& keyOf) const {
    if (slots_.empty()) return npos;
    const size_t mask = slots_.size() - 1;
    for (size_t at = Hash(key) & mask;; at = (at + 1) & mask) {
      const uint32_t slot = slots_[at];
      if (slot == 0) return npos;
      if (std::string_view(keyOf(slot - 1)) == key) return slot - 1;
    }
  }

  // Entry `position` (the last of `position` + 1 entries) was appended
  // with a key the index does not hold yet.
  template <class KeyOf>
  void Appended(size_t position, KeyOf&& keyOf) {
    if (position >= UINT32_MAX - 1) throw std::length_error("QX_TKeyIndex: more entries than a 32-bit position holds");
    if ((position + 1) * 2 > slots_.size()) {
      Rebuild(position + 1, keyOf);
      return;
    }
    Place(keyOf(position), position);
  }

  // Indexes the first `count` entries anew (their keys are unique).
  template <class KeyOf>
  void Rebuild(size_t count, KeyOf&& keyOf) {
    if (count >= UINT32_MAX - 1) throw std::length_error("QX_TKeyIndex: more entries than a 32-bit position holds");
    size_t size = 16;
    while (size < count * 2) size *= 2;  // at most half full: short probes
    slots_.assign(size, 0);
    for (size_t i = 0; i < count; ++i) Place(keyOf(i), i);
  }

 private:
  // FNV-1a: keys are short words ("Color", "hpos"), hashed inline.
  static size_t Hash(std::string_view key) {
    uint64_t hash = 14695981039346656037ULL;
    for (const char c : key) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    return static_cast<size_t>(hash ^ (hash >> 32));
  }

  void Place(std::string_view key, size_t position) {
    const size_t mask = slots_.size() - 1;
    size_t at = Hash(key) & mask;
    while (slots_[at] != 0) at = (at + 1) & mask;
    slots_[at] = static_cast<uint32_t>(position + 1);
  }

  // 0: free; otherwise the entry's position + 1. The size is a power of two.
  std::vector<uint32_t> slots_;
};
