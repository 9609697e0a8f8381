#include "vantor/detail/VtChTypePrimitive.h"

#include <algorithm>
#include <cmath>

#include "ChTypeText.h"

namespace vantor::detail {

bool VtChTypePrimitiveUINT16::IsNoValue(uint16_t) const { return false; }
std::vector<uint8_t> VtChTypePrimitiveUINT16::MarkerBytes() const { return {}; }
int VtChTypePrimitiveUINT16::Width() const { return 2; }
uint16_t VtChTypePrimitiveUINT16::MaxRaw() const { return 0xFFFF; }
uint16_t VtChTypePrimitiveUINT16::MinRaw() const { return 0; }

uint16_t VtChTypePrimitiveUINT16::StepUp(uint16_t raw) const {
  return RawToInt(raw) < MaxInt() ? static_cast<uint16_t>(raw + 1) : raw;
}

uint16_t VtChTypePrimitiveUINT16::StepDown(uint16_t raw) const {
  return RawToInt(raw) > MinInt() ? static_cast<uint16_t>(raw - 1) : raw;
}

int32_t VtChTypePrimitiveUINT16::RawToInt(uint16_t raw) const { return raw; }

uint16_t VtChTypePrimitiveUINT16::IntToRaw(int32_t value) const {
  return static_cast<uint16_t>(std::clamp(value, MinInt(), MaxInt()));
}

double VtChTypePrimitiveUINT16::RawToReal(uint16_t raw) const { return RawToInt(raw) / Scale(); }

int32_t VtChTypePrimitiveUINT16::RealToInt(double real) const {
  double v = std::floor(real * Scale() + 0.1);
  if (std::isnan(v) || v < MinInt()) return MinInt();
  if (v > MaxInt()) return MaxInt();
  return static_cast<int32_t>(v);
}

uint16_t VtChTypePrimitiveUINT16::RealToRaw(double real) const { return IntToRaw(RealToInt(real)); }

std::string VtChTypePrimitiveUINT16::Digits(int32_t value) const { return text::Fixed(value, 0); }

void VtChTypePrimitiveUINT16::Format(uint16_t raw, bool withUnit, std::string& out) const {
  if (IsNoValue(raw)) {
    out = "----";
    return;
  }
  out = Digits(RawToInt(raw));
  if (withUnit) out += Unit();
}

uint32_t VtChTypePrimitiveUINT32::IntToRaw32(int64_t value) const {
  return static_cast<uint32_t>(std::clamp<int64_t>(value, MinRaw32(), MaxRaw32()));
}

uint32_t VtChTypePrimitiveUINT32::RealToRaw32(double real) const {
  double v = std::floor(real + 0.1);
  if (std::isnan(v) || v <= MinRaw32()) return MinRaw32();
  if (v >= MaxRaw32()) return MaxRaw32();
  return static_cast<uint32_t>(v);
}

void VtChTypePrimitiveUINT32::Format32(uint32_t raw, bool withUnit, std::string& out) const {
  out = std::to_string(raw);
  if (withUnit) out += " pulse";
}

bool VtChTypePrimitiveUINT32::IsNoValue(uint16_t) const { return false; }
std::vector<uint8_t> VtChTypePrimitiveUINT32::MarkerBytes() const { return {}; }
int VtChTypePrimitiveUINT32::Width() const { return 4; }

uint16_t VtChTypeNull::RealToRaw(double real) const {
  if (!(real > 0)) return 0;  // NaN too
  return real >= 65535.0 ? 0xFFFF : static_cast<uint16_t>(real);
}

int32_t VtChTypeVOLTAGE_VLPV::RawToInt(uint16_t raw) const {
  int32_t magnitude = raw & 0x3FFF;
  return (raw & 0x4000) ? -magnitude : magnitude;
}

uint16_t VtChTypeVOLTAGE_VLPV::IntToRaw(int32_t value) const {
  value = std::clamp(value, MinInt(), MaxInt());
  return static_cast<uint16_t>(value < 0 ? 0x4000 | -value : value);
}

uint16_t VtChTypeVOLTAGE_VLPV::StepUp(uint16_t raw) const {
  int32_t v = RawToInt(raw);
  return v < MaxInt() ? IntToRaw(v + 1) : raw;
}

uint16_t VtChTypeVOLTAGE_VLPV::StepDown(uint16_t raw) const {
  int32_t v = RawToInt(raw);
  return v > MinInt() ? IntToRaw(v - 1) : raw;
}

}  // namespace vantor::detail
