#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace quenlora {

// A hash index from code text to the positions of the entries holding it, so
// that the duplicate test of a scan costs the same for ten codes as for a
// million. Entries are named by position; the index stores only the position
// and the code's hash (8 bytes a cell) and asks its owner for the code text.
class TCodeIndex {
public:
  static constexpr std::uint32_t kMaxEntries = 0xFFFFFFFEu;

  static std::uint32_t HashOf(std::u16string_view code);

  // codeOf(entry) returns the code of the entry at that position.
  template <class CodeOf>
  bool Contains(std::u16string_view code, std::uint32_t hash, const CodeOf& codeOf) const
  {
    if (cells_.empty()) return false;
    for (std::size_t cell = Home(hash);; cell = (cell + 1) & mask_) {
      const TCell& c = cells_[cell];
      if (c.Entry == kEmpty) return false;
      if (c.Hash == hash && codeOf(c.Entry) == code) return true;
    }
  }

  void Insert(std::uint32_t entry, std::uint32_t hash);
  // Forgets the entry and moves every later position up by one, as a
  // deletion from the batch does.
  void EraseAndShift(std::uint32_t entry, std::uint32_t hash);
  // After the entry at position `entry` was removed from the batch without
  // having been indexed: later positions move up by one.
  void ShiftAfter(std::uint32_t entry);
  void Clear();
  void Reserve(std::size_t entries);
  std::size_t MemoryUsage() const { return cells_.capacity() * sizeof(TCell); }

private:
  static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
  struct TCell {
    std::uint32_t Entry = kEmpty;
    std::uint32_t Hash = 0;
  };

  std::size_t Home(std::uint32_t hash) const { return (hash * 0x9E3779B9u) >> shift_; }
  void Rehash(std::size_t cellCount);
  void Place(TCell cell);

  std::vector<TCell> cells_;
  std::size_t used_ = 0;
  std::size_t mask_ = 0;
  unsigned shift_ = 32;
};

}  // namespace quenlora
