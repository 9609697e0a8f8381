#pragma once
// A repeater of a group: 16 bytes, type 0xFD.

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace com::vantor {

class RegInfoVelaRepeater {
 public:
  static constexpr uint8_t kType = 0xFD;
  static constexpr size_t kLength = 16;

  RegInfoVelaRepeater(uint8_t num, uint8_t parent, uint32_t serial);
  static std::optional<RegInfoVelaRepeater> FromBytes(std::span<const uint8_t> bytes);

  uint8_t Num() const { return bytes_[3]; }
  uint8_t Parent() const { return bytes_[4]; }
  uint32_t Serial() const;
  std::span<const uint8_t> Bytes() const { return bytes_; }

 private:
  RegInfoVelaRepeater() = default;
  std::array<uint8_t, kLength> bytes_{};
};

}  // namespace com::vantor
