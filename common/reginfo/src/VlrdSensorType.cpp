#include "vantor/com/VlrdSensorType.h"

#include <array>

namespace com::vantor {
namespace {

struct Entry {
  VlrdSensor sensor;
  const char* text;
};

constexpr std::array<Entry, 13> kTable{{
    {{0, 0}, ""},
    {{161, 0}, "K"}, {{161, 1}, "J"}, {{161, 2}, "T"}, {{161, 3}, "E"},
    {{161, 4}, "N"}, {{161, 5}, "R"}, {{161, 6}, "S"}, {{161, 7}, "B"},
    {{162, 0}, "Pt1000"},
    {{163, 0}, "mA"},
    {{164, 0}, "V"},
    {{165, 0}, "Pulse"},
}};

}  // namespace

std::optional<std::string> VlrdSensorTypeText(VlrdSensor sensor) {
  for (const auto& e : kTable) {
    if (e.sensor.subtype == sensor.subtype && e.sensor.kind == sensor.kind) return e.text;
  }
  return std::nullopt;
}

std::optional<VlrdSensor> VlrdSensorOfText(const std::string& text) {
  for (const auto& e : kTable) {
    if (text == e.text) return e.sensor;
  }
  return std::nullopt;
}

}  // namespace com::vantor
