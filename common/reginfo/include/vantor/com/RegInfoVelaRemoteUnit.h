#pragma once
// A remote unit of a group: 64 bytes (128 accepted on reading), one of the
// types 0xF7..0xFA or 0xFE. Bytes 2..9 are the unit's 8-byte ID, bytes 6..9
// its serial number; the rest is read through the model's view.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace com::vantor {

class RegInfoVelaRemoteUnit {
 public:
  static constexpr size_t kLength = 64;
  static constexpr size_t kLongLength = 128;

  static bool IsRemoteUnitType(uint8_t type) {
    return (type >= 0xF7 && type <= 0xFA) || type == 0xFE;
  }

  // A zeroed 64-byte record of the given type.
  explicit RegInfoVelaRemoteUnit(uint8_t type);
  static std::optional<RegInfoVelaRemoteUnit> FromBytes(std::span<const uint8_t> bytes);

  uint8_t Type() const { return bytes_[2]; }
  uint8_t Num() const { return bytes_[3]; }
  uint8_t Parent() const { return bytes_[4]; }
  uint32_t Serial() const;
  uint8_t ModelCode() const;
  std::span<const uint8_t> Id() const { return std::span(bytes_).subspan(2, 8); }

  std::span<const uint8_t> Bytes() const { return bytes_; }
  std::span<uint8_t> MutableBytes() { return bytes_; }

 private:
  RegInfoVelaRemoteUnit() = default;
  std::vector<uint8_t> bytes_;
};

}  // namespace com::vantor
