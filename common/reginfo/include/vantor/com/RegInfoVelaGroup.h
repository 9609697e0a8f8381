#pragma once
// One group (radio channel) of a registration image: 32 bytes, type 0xFC,
// followed by its repeater and remote-unit records.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace com::vantor {

class RegInfoVelaGroup {
 public:
  static constexpr uint8_t kType = 0xFC;
  static constexpr size_t kLength = 32;
  static constexpr size_t kIdLength = 8;
  static constexpr size_t kNameLength = 8;

  RegInfoVelaGroup();
  static std::optional<RegInfoVelaGroup> FromBytes(std::span<const uint8_t> bytes);

  uint8_t RepeaterCount() const { return bytes_[3]; }
  uint8_t RemoteUnitCount() const { return bytes_[4]; }
  uint8_t Freq() const { return bytes_[5]; }
  uint8_t Band() const { return bytes_[6]; }
  std::span<const uint8_t> Id() const { return std::span(bytes_).subspan(8, kIdLength); }
  // The name bytes (device code page) up to the first NUL.
  std::string Name() const;

  void SetRepeaterCount(uint8_t n) { bytes_[3] = n; }
  void SetRemoteUnitCount(uint8_t n) { bytes_[4] = n; }
  void SetFreq(uint8_t v) { bytes_[5] = v; }
  void SetBand(uint8_t v) { bytes_[6] = v; }
  void SetId(std::span<const uint8_t, kIdLength> id);
  // At most 8 bytes are kept; the field is zero-filled first.
  void SetName(const std::string& bytes);

  std::span<const uint8_t> Bytes() const { return bytes_; }

 private:
  std::array<uint8_t, kLength> bytes_{};
};

}  // namespace com::vantor
