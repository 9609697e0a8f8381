#include "vantor/com/RegInfoModel.h"

#include <array>
#include <cstdio>
#include <utility>

namespace com::vantor {
namespace {

constexpr std::array<std::pair<uint8_t, const char*>, 20> kModels{{
    {9, "VL-N1"},  {10, "VL-N2"}, {11, "VL-N3"}, {12, "VL-N4"}, {41, "VL-B3"},
    {42, "VL-B4"}, {62, "VL-RJ"}, {63, "VL-RH"}, {77, "VL-B1"}, {78, "VL-B7"},
    {80, "VL-B6"}, {81, "VL-B5"}, {92, "VL-RA"}, {93, "VL-RB"}, {94, "VL-RC"},
    {96, "VL-RF"}, {97, "VL-RD"}, {98, "VL-RG"}, {99, "VL-RE"}, {0, nullptr},
}};

constexpr uint8_t kVlrdCode = 97;

constexpr std::array<std::pair<uint8_t, const char*>, 5> kVlrdSubtypes{{
    {161, "VL-RD-TC"}, {162, "VL-RD-Pt"}, {163, "VL-RD-mA"}, {164, "VL-RD-V"}, {165, "VL-RD-P"},
}};

}  // namespace

std::string ModelNameOfCode(uint8_t code, uint8_t subtype) {
  if (code == kVlrdCode) {
    for (const auto& [st, name] : kVlrdSubtypes) {
      if (st == subtype) return name;
    }
  }
  for (const auto& [c, name] : kModels) {
    if (name != nullptr && c == code) return name;
  }
  return kUnknownModelName;
}

std::string ModelName(uint32_t serial, uint8_t subtype) { return ModelNameOfCode(ModelCodeOf(serial), subtype); }

std::optional<uint8_t> ModelCodeOfName(const std::string& name) {
  if (SubtypeOfModelName(name) != 0) return kVlrdCode;
  for (const auto& [c, n] : kModels) {
    if (n != nullptr && name == n) return c;
  }
  return std::nullopt;
}

uint8_t SubtypeOfModelName(const std::string& name) {
  for (const auto& [st, n] : kVlrdSubtypes) {
    if (name == n) return st;
  }
  return 0;
}

std::string SerialText(uint32_t serial) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(serial));
  return text;
}

std::optional<uint32_t> ParseSerialText(const std::string& text) {
  if (text.empty() || text.size() > 8) return std::nullopt;
  uint32_t value = 0;
  for (char c : text) {
    unsigned digit;
    if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
    else if (c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
    else if (c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
    else return std::nullopt;
    value = (value << 4) | digit;
  }
  return value;
}

}  // namespace com::vantor
