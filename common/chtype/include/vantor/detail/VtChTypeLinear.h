#pragma once
// Temperature, humidity and pressure: raw values with a fixed offset and a
// decimal scale, no value at 0xEEEE.

#include "vantor/detail/VtChTypePrimitive.h"

namespace vantor::detail {

// Signed raw value - 1000, in tenths of a degree Celsius; -273.0 .. 3000.0.
class VtChTypeCELSIUS : public VtChTypePrimitiveUINT16 {
 public:
  bool IsNoValue(uint16_t raw) const override { return raw == 0xEEEE; }
  std::vector<uint8_t> MarkerBytes() const override { return {0xEE, 0xEE}; }
  uint16_t MaxRaw() const override { return 31000; }
  uint16_t MinRaw() const override { return 63806; }  // int16 -1730
  int32_t RawToInt(uint16_t raw) const override;
  uint16_t IntToRaw(int32_t value) const override;

 protected:
  double Scale() const override { return 10.0; }
  const char* Unit() const override { return " \xC2\xB0" "C"; }
  std::string Digits(int32_t value) const override;
};

// floor(Celsius tenths x 1.8) + 320, in tenths of a degree Fahrenheit.
class VtChTypeFAHRENHEIT : public VtChTypeCELSIUS {
 public:
  int32_t RawToInt(uint16_t raw) const override;
  // ceil((v x 5 - 1600) / 9) + 1000: the smallest raw value showing v.
  uint16_t IntToRaw(int32_t value) const override;

 protected:
  const char* Unit() const override { return " \xC2\xB0" "F"; }
};

// Tenths of a percent; the text shows whole percent.
class VtChTypeHUMIDITY : public VtChTypeCELSIUS {
 protected:
  const char* Unit() const override { return " %"; }
  std::string Digits(int32_t value) const override;
};

// As HUMIDITY with the tenth shown.
class VtChTypeHUMIDITY_H : public VtChTypeHUMIDITY {
 protected:
  std::string Digits(int32_t value) const override;
};

// Tenths of a hectopascal.
class VtChTypeATMOSPHERIC_PRESSURE : public VtChTypePrimitiveUINT16 {
 public:
  bool IsNoValue(uint16_t raw) const override { return raw == 0xEEEE; }
  std::vector<uint8_t> MarkerBytes() const override { return {0xEE, 0xEE}; }
  uint16_t MaxRaw() const override { return 61165; }

 protected:
  double Scale() const override { return 10.0; }
  const char* Unit() const override { return " hPa"; }
  std::string Digits(int32_t value) const override;
};

// Raw + 50000, in hundredths of a hectopascal.
class VtChTypeATMOSPHERIC_PRESSURE_H : public VtChTypeATMOSPHERIC_PRESSURE {
 public:
  uint16_t MaxRaw() const override { return 61152; }
  int32_t RawToInt(uint16_t raw) const override { return raw + 50000; }
  uint16_t IntToRaw(int32_t value) const override;

 protected:
  double Scale() const override { return 100.0; }
  std::string Digits(int32_t value) const override;
};

}  // namespace vantor::detail
