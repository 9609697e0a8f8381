#include "vantor/detail/VtChTypeLinear.h"

#include <algorithm>

#include "ChTypeText.h"

namespace vantor::detail {
namespace {

// Floor division for a positive divisor.
int32_t FloorDiv(int32_t a, int32_t b) { return a / b - ((a % b != 0) && (a < 0)); }
int32_t CeilDiv(int32_t a, int32_t b) { return -FloorDiv(-a, b); }

}  // namespace

int32_t VtChTypeCELSIUS::RawToInt(uint16_t raw) const { return static_cast<int16_t>(raw) - 1000; }

uint16_t VtChTypeCELSIUS::IntToRaw(int32_t value) const {
  return static_cast<uint16_t>(std::clamp(value, MinInt(), MaxInt()) + 1000);
}

std::string VtChTypeCELSIUS::Digits(int32_t value) const { return text::Fixed(value, 1); }

int32_t VtChTypeFAHRENHEIT::RawToInt(uint16_t raw) const {
  // floor(c x 1.8) in integers: no binary rounding of 1.8.
  return FloorDiv(VtChTypeCELSIUS::RawToInt(raw) * 9, 5) + 320;
}

uint16_t VtChTypeFAHRENHEIT::IntToRaw(int32_t value) const {
  value = std::clamp(value, MinInt(), MaxInt());
  return static_cast<uint16_t>(CeilDiv(value * 5 - 1600, 9) + 1000);
}

std::string VtChTypeHUMIDITY::Digits(int32_t value) const {
  // Whole percent of the magnitude; no sign on a value that shows as 0.
  int32_t whole = (value < 0 ? -value : value) / 10;
  return whole == 0 ? "0" : text::Fixed(value < 0 ? -whole : whole, 0);
}

std::string VtChTypeHUMIDITY_H::Digits(int32_t value) const { return text::Fixed(value, 1); }

std::string VtChTypeATMOSPHERIC_PRESSURE::Digits(int32_t value) const { return text::Fixed(value, 1); }

uint16_t VtChTypeATMOSPHERIC_PRESSURE_H::IntToRaw(int32_t value) const {
  return static_cast<uint16_t>(std::clamp(value, MinInt(), MaxInt()) - 50000);
}

std::string VtChTypeATMOSPHERIC_PRESSURE_H::Digits(int32_t value) const { return text::Fixed(value, 2); }

}  // namespace vantor::detail
