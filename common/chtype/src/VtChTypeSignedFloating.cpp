#include "vantor/detail/VtChTypeSignedFloating.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <utility>
#include <vector>

#include "ChTypeText.h"

namespace vantor::detail {
namespace {

constexpr uint16_t kLowestValued = 0xF010;  // most negative raw outside the no-value range

// Every representable value once, ascending, with the raw value that
// Pack gives for it (or the lowest raw showing it where Pack cannot).
const std::vector<std::pair<int32_t, uint16_t>>& ValueLadder() {
  static const auto ladder = [] {
    std::vector<std::pair<int32_t, uint16_t>> all;
    all.reserve(65536);
    for (uint32_t raw = 0; raw <= 0xFFFF; ++raw) {
      int32_t v = VtChTypeCO2::Unpack(static_cast<uint16_t>(raw));
      uint16_t packed = VtChTypeCO2::Pack(v);
      all.emplace_back(v, VtChTypeCO2::Unpack(packed) == v ? packed : static_cast<uint16_t>(raw));
    }
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end(), [](auto& a, auto& b) { return a.first == b.first; }), all.end());
    return all;
  }();
  return ladder;
}

// Halves the magnitude until it is below 8192; the exponent counts the halvings.
std::pair<uint32_t, uint32_t> Normalise(uint32_t magnitude) {
  uint32_t e = 0;
  do {
    ++e;
    if (magnitude < 8192) return {magnitude >> 1, e};
    magnitude >>= 1;
  } while (true);
}

}  // namespace

int32_t VtChTypeCO2::Unpack(uint16_t raw) {
  int32_t e = (raw >> 12) & 0x7;
  if (raw & 0x8000) return -((((~raw) & 0x0FFF) + 1) << e);
  return (raw & 0x0FFF) << e;
}

uint16_t VtChTypeCO2::Pack(int32_t value) {
  uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  // Only magnitudes below 4096 are stored directly. -4096 also reads from
  // 0x8000 (mantissa 0), but units expect the normalised form 0x9800.
  if (magnitude < 4096) {
    if (value >= 0) return static_cast<uint16_t>(magnitude);
    return static_cast<uint16_t>(0x8000 | ((4096 - magnitude) & 0x0FFF));
  }
  auto [mantissa, e] = Normalise(magnitude);
  if (e > 7) return value < 0 ? kLowestValued : 0x7FFF;
  if (value >= 0) return static_cast<uint16_t>((e << 12) | mantissa);
  return static_cast<uint16_t>(0x8000 | (e << 12) | ((4096 - mantissa) & 0x0FFF));
}

int32_t VtChTypeCO2::RawToInt(uint16_t raw) const { return Unpack(raw); }

uint16_t VtChTypeCO2::IntToRaw(int32_t value) const {
  int32_t lowest = Unpack(kLowestValued);
  return Pack(std::clamp(value, lowest, MaxInt()));
}

uint16_t VtChTypeCO2::StepUp(uint16_t raw) const {
  if (raw == MaxRaw()) return raw;
  const auto& ladder = ValueLadder();
  auto it = std::upper_bound(ladder.begin(), ladder.end(), std::pair(Unpack(raw), uint16_t{0xFFFF}));
  return it == ladder.end() ? raw : it->second;
}

uint16_t VtChTypeCO2::StepDown(uint16_t raw) const {
  if (raw == MinRaw()) return raw;
  const auto& ladder = ValueLadder();
  auto it = std::lower_bound(ladder.begin(), ladder.end(), std::pair(Unpack(raw), uint16_t{0}));
  return it == ladder.begin() ? raw : std::prev(it)->second;
}

std::string VtChTypeCURRENT_10_MICRO_A::Digits(int32_t value) const { return text::Fixed(value, 2); }

double VtChTypeVOLTAGE_100_MICRO_V::RoundedReal(uint16_t raw) const {
  static constexpr text::Rounding kSteps[] = {{1000, 0}, {100, -1}, {10, -2}};
  return text::RoundForDisplay(RawToReal(raw), kSteps, std::size(kSteps));
}

std::string VtChTypeVOLTAGE_100_MICRO_V::Digits(int32_t value) const { return text::Fixed(value, 1); }

}  // namespace vantor::detail
