#include "vantor/detail/VtChTypeFloating.h"

#include <iterator>

#include "ChTypeText.h"

namespace vantor::detail {

uint16_t VtChTypeFloatingPointNumberType0::FloatStepUp(uint16_t raw) {
  if (raw == 0xFFFF) return raw;
  if ((raw >> 12) == 15 || (raw & 0x0FFF) < 0x0FFF) return static_cast<uint16_t>(raw + 1);
  return static_cast<uint16_t>((raw & 0xF000) + 6144);  // next exponent, mantissa 0x800
}

uint16_t VtChTypeFloatingPointNumberType0::FloatStepDown(uint16_t raw) {
  if (raw == 0) return raw;
  if ((raw & 0xF000) != 0 && (raw & 0x0FFF) == 0x0800) {
    return static_cast<uint16_t>((raw & 0xF000) - 0x1000 + 0x0FFF);  // previous exponent, mantissa 0xFFF
  }
  return static_cast<uint16_t>(raw - 1);
}

uint16_t VtChTypeFloatingPointNumberType0::Pack(int64_t n) {
  if (n < 0) return 0;
  if (n < 4096) return static_cast<uint16_t>(n);
  for (int e = 1; e <= 15; ++e) {
    if (n < 8192) return static_cast<uint16_t>((n >> 1) + e * 4096);
    n >>= 1;
  }
  return 0xFFFF;
}

uint16_t VtChTypeFloatingPointNumberType0::IntToRaw(int32_t value) const {
  if (value >= MaxInt()) return MaxRaw();
  return Pack(value);
}

// Steps of the format, kept inside the limits by value.
uint16_t VtChTypeFloatingPointNumberType0::StepUp(uint16_t raw) const {
  if (RawToInt(raw) >= MaxInt()) return raw;
  uint16_t next = FloatStepUp(raw);
  return RawToInt(next) > MaxInt() ? MaxRaw() : next;
}

uint16_t VtChTypeFloatingPointNumberType0::StepDown(uint16_t raw) const {
  if (RawToInt(raw) <= MinInt()) return raw;
  return FloatStepDown(raw);
}

double VtChTypeILLUMINANCE::RoundedReal(uint16_t raw) const {
  static constexpr text::Rounding kSteps[] = {{100000, 2}, {10000, 1}, {1000, 0}, {100, -1}};
  return text::RoundForDisplay(RawToReal(raw), kSteps, std::size(kSteps));
}

std::string VtChTypeILLUMINANCE::Digits(int32_t value) const { return text::Fixed(value, 2); }

namespace {
constexpr text::Rounding kCumulativeSteps[] = {{10000000, 4}, {1000000, 3}, {100000, 2}, {10000, 1},
                                               {1000, 0},     {100, -1},    {10, -2}};
}  // namespace

double VtChTypeILLUMINANCE_CUMULATIVE::RoundedReal(uint16_t raw) const {
  return text::RoundForDisplay(RawToReal(raw), kCumulativeSteps, 5);
}

void VtChTypeILLUMINANCE_CUMULATIVE::Format(uint16_t raw, bool withUnit, std::string& out) const {
  int32_t v = RawToInt(raw);
  bool kilo = v >= 10000;
  out = kilo ? text::Fixed(v, 3) : text::Fixed(v, 0);
  if (withUnit) out += kilo ? " klxh" : " lxh";
}

double VtChTypeUV_INTENSITY::RoundedReal(uint16_t raw) const {
  static constexpr text::Rounding kSteps[] = {{1000, 0}, {100, -1}, {10, -2}};
  return text::RoundForDisplay(RawToReal(raw), kSteps, std::size(kSteps));
}

std::string VtChTypeUV_INTENSITY::Digits(int32_t value) const { return text::Fixed(value, 3); }

double VtChTypeUV_INTENSITY_CUMULATIVE::RoundedReal(uint16_t raw) const {
  return text::RoundForDisplay(RawToReal(raw), kCumulativeSteps, std::size(kCumulativeSteps));
}

std::string VtChTypeUV_INTENSITY_CUMULATIVE::Digits(int32_t value) const { return text::Fixed(value, 6); }

}  // namespace vantor::detail
