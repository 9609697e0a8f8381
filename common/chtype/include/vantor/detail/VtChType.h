#pragma once
// Every channel type, and the lookup by code (VtChTypeBase::FromCode):
//
//   13 CELSIUS, 14 FAHRENHEIT, 65 ATMOSPHERIC_PRESSURE, 66 CO2,
//   67 ATMOSPHERIC_PRESSURE_H, 73 ILLUMINANCE, 77/78 PULSE_VLRD,
//   85 UV_INTENSITY, 129 CURRENT_10_MICRO_A, 146 VOLTAGE_100_MICRO_V,
//   208 HUMIDITY, 209 HUMIDITY_H, 329 ILLUMINANCE_CUMULATIVE,
//   333/334/589/590 PULSE_VLRD_CUMULATIVE (32-bit), 341 UV_INTENSITY_CUMULATIVE,
//   352 PULSE_VLPV, 384 VOLTAGE_VLPV, 1001..1003 VLQX_UINT16, others Null.

#include "vantor/detail/VtChTypeBase.h"
#include "vantor/detail/VtChTypeFloating.h"
#include "vantor/detail/VtChTypeLinear.h"
#include "vantor/detail/VtChTypePrimitive.h"
#include "vantor/detail/VtChTypeSignedFloating.h"
