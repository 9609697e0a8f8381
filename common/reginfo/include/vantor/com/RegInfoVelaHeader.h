#pragma once
// The first record of a registration image: 16 bytes, type 0xFB, the number
// of groups and the base unit's serial number.

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace com::vantor {

class RegInfoVelaHeader {
 public:
  static constexpr uint8_t kType = 0xFB;
  static constexpr size_t kLength = 16;

  RegInfoVelaHeader(uint8_t groupCount, uint32_t serial);
  // Refuses a record of another length or type.
  static std::optional<RegInfoVelaHeader> FromBytes(std::span<const uint8_t> bytes);

  uint8_t GroupCount() const { return bytes_[3]; }
  uint32_t Serial() const;
  std::span<const uint8_t> Bytes() const { return bytes_; }

 private:
  RegInfoVelaHeader() = default;
  std::array<uint8_t, kLength> bytes_{};
};

}  // namespace com::vantor
