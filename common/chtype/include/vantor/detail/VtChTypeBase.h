#pragma once
// A channel type turns the raw value of a measured channel into a number in
// display units and into display text, and back. Types are stateless
// singletons obtained by code with VtChTypeBase::FromCode (see VtChType.h).
//
// "Integer value" is the value in the type's integer unit (tenths of a
// degree, hundredths of a lux, ...); "real" is the value in display units.
// Conversions towards raw clamp to the type's limits, so an out-of-range or
// non-finite input can never wrap around into another value or a no-value
// marker.

#include <cstdint>
#include <string>
#include <vector>

namespace vantor::detail {

class VtChTypeBase {
 public:
  virtual ~VtChTypeBase() = default;

  virtual bool IsNoValue(uint16_t raw) const = 0;
  // The no-value marker as stored (little-endian); empty when there is none.
  virtual std::vector<uint8_t> MarkerBytes() const = 0;
  // Bytes per value: 2, 4 for the 32-bit cumulative pulse type, 0 for null.
  virtual int Width() const = 0;
  virtual uint16_t MaxRaw() const = 0;
  virtual uint16_t MinRaw() const = 0;
  // The next raw value up or down, bounded by the limits.
  virtual uint16_t StepUp(uint16_t raw) const = 0;
  virtual uint16_t StepDown(uint16_t raw) const = 0;
  virtual int32_t RawToInt(uint16_t raw) const = 0;
  virtual uint16_t IntToRaw(int32_t value) const = 0;
  virtual double RawToReal(uint16_t raw) const = 0;
  virtual uint16_t RealToRaw(double real) const = 0;
  // Display text; "----" when the raw value has no value. The unit (with its
  // prefix) is appended only when asked for.
  virtual void Format(uint16_t raw, bool withUnit, std::string& out) const = 0;
  // The real value rounded for display.
  virtual double RoundedReal(uint16_t raw) const { return RawToReal(raw); }

  // A value inside the limits that is not a no-value marker.
  bool IsInRange(uint16_t raw) const;
  std::string Text(uint16_t raw, bool withUnit = false) const;

  // The type of a channel-type code; the null type for unknown codes. Safe to
  // call from any thread.
  static const VtChTypeBase& FromCode(int code);
};

}  // namespace vantor::detail
