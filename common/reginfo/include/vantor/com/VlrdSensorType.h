#pragma once
// The VL-RD sensor type text: the subtype byte (161..165) and, for
// thermocouples, the thermocouple kind (0..7) at byte 38 of the registration
// record. A record without a sensor (subtype 0) has the empty text.

#include <cstdint>
#include <optional>
#include <string>

namespace com::vantor {

struct VlrdSensor {
  uint8_t subtype = 0;
  uint8_t kind = 0;
};

// nullopt for a pair outside the table.
std::optional<std::string> VlrdSensorTypeText(VlrdSensor sensor);
std::optional<VlrdSensor> VlrdSensorOfText(const std::string& text);

}  // namespace com::vantor
