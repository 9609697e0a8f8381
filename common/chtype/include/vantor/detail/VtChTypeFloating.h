#pragma once
// The floating 12+4 format of the illuminance and UV types: bits 0..11 the
// mantissa m, bits 12..15 the exponent e, value m << e. No value at 0xEEEE
// for the instantaneous types; the cumulative ones have none.

#include "vantor/detail/VtChTypePrimitive.h"

namespace vantor::detail {

class VtChTypeFloatingPointNumberType0 : public VtChTypePrimitiveUINT16 {
 public:
  bool IsNoValue(uint16_t raw) const override { return raw == 0xEEEE; }
  std::vector<uint8_t> MarkerBytes() const override { return {0xEE, 0xEE}; }
  uint16_t StepUp(uint16_t raw) const override;
  uint16_t StepDown(uint16_t raw) const override;
  int32_t RawToInt(uint16_t raw) const override { return (raw & 0x0FFF) << (raw >> 12); }
  uint16_t IntToRaw(int32_t value) const override;

  // The format's own steps, unbounded.
  static uint16_t FloatStepUp(uint16_t raw);
  static uint16_t FloatStepDown(uint16_t raw);
  // Packs a value (negative counts as 0); values beyond the format give 0xFFFF.
  static uint16_t Pack(int64_t value);
};

// Hundredths of a lux.
class VtChTypeILLUMINANCE : public VtChTypeFloatingPointNumberType0 {
 public:
  uint16_t MaxRaw() const override { return 55885; }
  double RoundedReal(uint16_t raw) const override;

 protected:
  double Scale() const override { return 100.0; }
  const char* Unit() const override { return " lx"; }
  std::string Digits(int32_t value) const override;
};

// Lux hours; five digits or more are shown in klxh.
class VtChTypeILLUMINANCE_CUMULATIVE : public VtChTypeFloatingPointNumberType0 {
 public:
  bool IsNoValue(uint16_t) const override { return false; }
  std::vector<uint8_t> MarkerBytes() const override { return {}; }
  uint16_t MaxRaw() const override { return 64190; }
  double RoundedReal(uint16_t raw) const override;
  void Format(uint16_t raw, bool withUnit, std::string& out) const override;
};

// Thousandths, shown as mW/cm2 with three decimals.
class VtChTypeUV_INTENSITY : public VtChTypeFloatingPointNumberType0 {
 public:
  uint16_t MaxRaw() const override { return 39399; }
  double RoundedReal(uint16_t raw) const override;

 protected:
  double Scale() const override { return 1000.0; }
  const char* Unit() const override { return " mW/cm2"; }
  std::string Digits(int32_t value) const override;
};

// Millionths, shown as mW/cm2h with six decimals.
class VtChTypeUV_INTENSITY_CUMULATIVE : public VtChTypeFloatingPointNumberType0 {
 public:
  bool IsNoValue(uint16_t) const override { return false; }
  std::vector<uint8_t> MarkerBytes() const override { return {}; }
  uint16_t MaxRaw() const override { return 61165; }
  double RoundedReal(uint16_t raw) const override;

 protected:
  double Scale() const override { return 1000000.0; }
  const char* Unit() const override { return " mW/cm2h"; }
  std::string Digits(int32_t value) const override;
};

}  // namespace vantor::detail
