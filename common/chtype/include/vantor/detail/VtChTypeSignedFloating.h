#pragma once
// The signed floating format of CO2, current and voltage: bit 15 the sign,
// bits 12..14 the exponent e, bits 0..11 the mantissa. Positive values are
// (raw & 0xFFF) << e, negative ones -(((~raw & 0xFFF) + 1) << e). No value at
// 0xF000..0xF00F.

#include "vantor/detail/VtChTypePrimitive.h"

namespace vantor::detail {

// Parts per million.
class VtChTypeCO2 : public VtChTypePrimitiveUINT16 {
 public:
  bool IsNoValue(uint16_t raw) const override { return raw >= 0xF000 && raw <= 0xF00F; }
  std::vector<uint8_t> MarkerBytes() const override { return {0x00, 0xF0}; }
  uint16_t MaxRaw() const override { return 0x7FFF; }
  uint16_t MinRaw() const override { return 0xF000; }
  // The neighbouring representable value, across exponent boundaries.
  uint16_t StepUp(uint16_t raw) const override;
  uint16_t StepDown(uint16_t raw) const override;
  int32_t RawToInt(uint16_t raw) const override;
  // Packs the value (truncating towards zero where it is not representable);
  // values beyond the format, or inside the no-value range, give the nearest
  // value outside it.
  uint16_t IntToRaw(int32_t value) const override;

  static int32_t Unpack(uint16_t raw);
  static uint16_t Pack(int32_t value);

 protected:
  const char* Unit() const override { return " ppm"; }
};

// Hundredths of a milliampere.
class VtChTypeCURRENT_10_MICRO_A : public VtChTypeCO2 {
 protected:
  double Scale() const override { return 100.0; }
  const char* Unit() const override { return " mA"; }
  std::string Digits(int32_t value) const override;
};

// Tenths of a millivolt.
class VtChTypeVOLTAGE_100_MICRO_V : public VtChTypeCO2 {
 public:
  double RoundedReal(uint16_t raw) const override;

 protected:
  double Scale() const override { return 10.0; }
  const char* Unit() const override { return " mV"; }
  std::string Digits(int32_t value) const override;
};

}  // namespace vantor::detail
