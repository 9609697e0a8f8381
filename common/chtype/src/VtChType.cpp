#include "vantor/detail/VtChType.h"

#include "vantor/detail/SeriousError.h"

namespace vantor::detail {

bool VtChTypeBase::IsInRange(uint16_t raw) const {
  if (IsNoValue(raw)) return false;
  int32_t v = RawToInt(raw);
  return v >= RawToInt(MinRaw()) && v <= RawToInt(MaxRaw());
}

std::string VtChTypeBase::Text(uint16_t raw, bool withUnit) const {
  std::string out;
  Format(raw, withUnit, out);
  return out;
}

// Function-local statics: each type is built once, on first lookup, safely
// from any thread.
const VtChTypeBase& VtChTypeBase::FromCode(int code) {
  switch (code) {
    case 13: { static const VtChTypeCELSIUS t; return t; }
    case 14: { static const VtChTypeFAHRENHEIT t; return t; }
    case 65: { static const VtChTypeATMOSPHERIC_PRESSURE t; return t; }
    case 66: { static const VtChTypeCO2 t; return t; }
    case 67: { static const VtChTypeATMOSPHERIC_PRESSURE_H t; return t; }
    case 73: { static const VtChTypeILLUMINANCE t; return t; }
    case 77: case 78: { static const VtChTypePULSE_VLRD t; return t; }
    case 85: { static const VtChTypeUV_INTENSITY t; return t; }
    case 129: { static const VtChTypeCURRENT_10_MICRO_A t; return t; }
    case 146: { static const VtChTypeVOLTAGE_100_MICRO_V t; return t; }
    case 208: { static const VtChTypeHUMIDITY t; return t; }
    case 209: { static const VtChTypeHUMIDITY_H t; return t; }
    case 329: { static const VtChTypeILLUMINANCE_CUMULATIVE t; return t; }
    case 333: case 334: case 589: case 590: { static const VtChTypePULSE_VLRD_CUMULATIVE t; return t; }
    case 341: { static const VtChTypeUV_INTENSITY_CUMULATIVE t; return t; }
    case 352: { static const VtChTypePULSE_VLPV t; return t; }
    case 384: { static const VtChTypeVOLTAGE_VLPV t; return t; }
    case 1001: case 1002: case 1003: { static const VtChTypeVLQX_UINT16 t; return t; }
    default: { static const VtChTypeNull t; return t; }
  }
}

// The 16-bit operations of the 32-bit type: calling one is a programming
// error, reported as an internal fault from this file.
uint16_t VtChTypePrimitiveUINT32::MaxRaw() const { throw VANTOR_SERIOUS_ERROR("16-bit MaxRaw of a 32-bit channel type"); }
uint16_t VtChTypePrimitiveUINT32::MinRaw() const { throw VANTOR_SERIOUS_ERROR("16-bit MinRaw of a 32-bit channel type"); }
uint16_t VtChTypePrimitiveUINT32::StepUp(uint16_t) const { throw VANTOR_SERIOUS_ERROR("16-bit StepUp of a 32-bit channel type"); }
uint16_t VtChTypePrimitiveUINT32::StepDown(uint16_t) const { throw VANTOR_SERIOUS_ERROR("16-bit StepDown of a 32-bit channel type"); }
int32_t VtChTypePrimitiveUINT32::RawToInt(uint16_t) const { throw VANTOR_SERIOUS_ERROR("16-bit RawToInt of a 32-bit channel type"); }
uint16_t VtChTypePrimitiveUINT32::IntToRaw(int32_t) const { throw VANTOR_SERIOUS_ERROR("16-bit IntToRaw of a 32-bit channel type"); }
double VtChTypePrimitiveUINT32::RawToReal(uint16_t) const { throw VANTOR_SERIOUS_ERROR("16-bit RawToReal of a 32-bit channel type"); }
uint16_t VtChTypePrimitiveUINT32::RealToRaw(double) const { throw VANTOR_SERIOUS_ERROR("16-bit RealToRaw of a 32-bit channel type"); }
void VtChTypePrimitiveUINT32::Format(uint16_t, bool, std::string&) const { throw VANTOR_SERIOUS_ERROR("16-bit Format of a 32-bit channel type"); }
double VtChTypePrimitiveUINT32::RoundedReal(uint16_t) const { throw VANTOR_SERIOUS_ERROR("16-bit RoundedReal of a 32-bit channel type"); }

}  // namespace vantor::detail
