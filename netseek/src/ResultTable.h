#pragma once
// The answers of the last search, in order of arrival, one per unit: an
// answer whose MAC and IPv4 address match a stored one is not added again.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "Datagram.h"

namespace netseek {

class ResultTable {
 public:
  // Appends the answer unless the same unit is already listed; true when added.
  bool Add(const Datagram& answer);
  std::size_t Size() const { return records_.size(); }
  // Null when index is not below Size().
  const Datagram* At(std::size_t index) const;
  // Empties the table and gives its memory back.
  void Release();

 private:
  // Bytes 6 to 15 of a record, viewed as text so the standard hash applies.
  using UnitKey = std::array<char, kUnitKeySize>;
  struct KeyHash {
    std::size_t operator()(const UnitKey& key) const {
      return std::hash<std::string_view>{}(std::string_view(key.data(), key.size()));
    }
  };
  static UnitKey KeyOf(const Datagram& answer);

  std::vector<Datagram> records_;
  std::unordered_set<UnitKey, KeyHash> units_;
};

}  // namespace netseek
