#pragma once
// Channel types whose raw value is the integer value itself: the shared
// unsigned bases, pulse counts, the VLQX value, the null type, and the
// sign-magnitude VL-PV voltage.

#include "vantor/detail/VtChTypeBase.h"

namespace vantor::detail {

// Unsigned 16-bit raw value = integer value = real; no no-value marker.
// Also the base of the linear and floating types: its steps move the raw
// value by one while the integer value stays inside the limits.
class VtChTypePrimitiveUINT16 : public VtChTypeBase {
 public:
  bool IsNoValue(uint16_t raw) const override;
  std::vector<uint8_t> MarkerBytes() const override;
  int Width() const override;
  uint16_t MaxRaw() const override;
  uint16_t MinRaw() const override;
  uint16_t StepUp(uint16_t raw) const override;
  uint16_t StepDown(uint16_t raw) const override;
  int32_t RawToInt(uint16_t raw) const override;
  uint16_t IntToRaw(int32_t value) const override;
  double RawToReal(uint16_t raw) const override;
  uint16_t RealToRaw(double real) const override;
  void Format(uint16_t raw, bool withUnit, std::string& out) const override;

 protected:
  // Integer units per display unit (10 for tenths).
  virtual double Scale() const { return 1.0; }
  virtual const char* Unit() const { return ""; }
  // The digits of an integer value, without unit.
  virtual std::string Digits(int32_t value) const;
  // floor(real x Scale + 0.1), clamped to the integer limits.
  int32_t RealToInt(double real) const;
  int32_t MinInt() const { return RawToInt(MinRaw()); }
  int32_t MaxInt() const { return RawToInt(MaxRaw()); }
};

// 32-bit raw values (the cumulative pulse counts). The 16-bit operations are
// not meaningful for them and raise an internal fault.
class VtChTypePrimitiveUINT32 : public VtChTypeBase {
 public:
  bool IsNoValue(uint16_t raw) const override;
  std::vector<uint8_t> MarkerBytes() const override;
  int Width() const override;
  uint16_t MaxRaw() const override;
  uint16_t MinRaw() const override;
  uint16_t StepUp(uint16_t raw) const override;
  uint16_t StepDown(uint16_t raw) const override;
  int32_t RawToInt(uint16_t raw) const override;
  uint16_t IntToRaw(int32_t value) const override;
  double RawToReal(uint16_t raw) const override;
  uint16_t RealToRaw(double real) const override;
  void Format(uint16_t raw, bool withUnit, std::string& out) const override;
  double RoundedReal(uint16_t raw) const override;

  virtual uint32_t MaxRaw32() const { return 0xFFFFFFFFu; }
  virtual uint32_t MinRaw32() const { return 0; }
  virtual uint32_t StepUp32(uint32_t raw) const { return raw < MaxRaw32() ? raw + 1 : raw; }
  virtual uint32_t StepDown32(uint32_t raw) const { return raw > MinRaw32() ? raw - 1 : raw; }
  virtual int64_t RawToInt32(uint32_t raw) const { return raw; }
  virtual uint32_t IntToRaw32(int64_t value) const;
  virtual double RawToReal32(uint32_t raw) const { return raw; }
  // floor(x + 0.1), clamped to the limits.
  virtual uint32_t RealToRaw32(double real) const;
  virtual void Format32(uint32_t raw, bool withUnit, std::string& out) const;
};

class VtChTypeNull : public VtChTypePrimitiveUINT16 {
 public:
  int Width() const override { return 0; }
  uint16_t RealToRaw(double real) const override;  // truncation
};

class VtChTypePULSE_VLRD : public VtChTypePrimitiveUINT16 {
 public:
  bool IsNoValue(uint16_t raw) const override { return raw > 0xEFFF; }
  std::vector<uint8_t> MarkerBytes() const override { return {0xFF, 0xFF}; }
  uint16_t MaxRaw() const override { return 0xEFFF; }

 protected:
  const char* Unit() const override { return " pulse"; }
};

class VtChTypeVLQX_UINT16 : public VtChTypePULSE_VLRD {
 protected:
  const char* Unit() const override { return ""; }
};

class VtChTypePULSE_VLPV : public VtChTypePrimitiveUINT16 {
 public:
  bool IsNoValue(uint16_t raw) const override { return (raw & 0x8000) != 0; }
  std::vector<uint8_t> MarkerBytes() const override { return {0x00, 0x80}; }
  uint16_t MaxRaw() const override { return 0x3FFF; }

 protected:
  const char* Unit() const override { return " pulse"; }
};

// Bit 14 the sign, bits 0..13 the magnitude in mV; real in V.
class VtChTypeVOLTAGE_VLPV : public VtChTypePrimitiveUINT16 {
 public:
  bool IsNoValue(uint16_t raw) const override { return (raw & 0x8000) != 0; }
  std::vector<uint8_t> MarkerBytes() const override { return {0x00, 0x80}; }
  uint16_t MaxRaw() const override { return 0x3FFF; }
  uint16_t MinRaw() const override { return 0x7FFF; }
  uint16_t StepUp(uint16_t raw) const override;
  uint16_t StepDown(uint16_t raw) const override;
  int32_t RawToInt(uint16_t raw) const override;
  uint16_t IntToRaw(int32_t value) const override;

 protected:
  double Scale() const override { return 1000.0; }
  const char* Unit() const override { return " mV"; }
};

class VtChTypePULSE_VLRD_CUMULATIVE : public VtChTypePrimitiveUINT32 {};

}  // namespace vantor::detail
