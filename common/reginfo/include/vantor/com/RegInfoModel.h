#pragma once
// Model codes (bits 17..23 of a serial number) and model names.

#include <cstdint>
#include <optional>
#include <string>

namespace com::vantor {

// The name given to codes outside the table, spelled as the units report it.
inline constexpr const char* kUnknownModelName = "UNKOWN";

constexpr uint8_t ModelCodeOf(uint32_t serial) { return static_cast<uint8_t>((serial >> 17) & 0x7F); }

// The model text of a serial number; `subtype` (161..165) refines model 97.
std::string ModelName(uint32_t serial, uint8_t subtype = 0);
std::string ModelNameOfCode(uint8_t code, uint8_t subtype = 0);

// The model code a model text stands for ("VL-RD-mA" gives 97); nullopt for
// texts outside the table, "UNKOWN" included.
std::optional<uint8_t> ModelCodeOfName(const std::string& name);

// The VL-RD sensor subtype a model text carries ("VL-RD-mA" gives 163), 0 for
// every other text.
uint8_t SubtypeOfModelName(const std::string& name);

// Serial numbers travel as eight upper-case hexadecimal digits.
std::string SerialText(uint32_t serial);
// Accepts 1..8 hexadecimal digits and nothing else.
std::optional<uint32_t> ParseSerialText(const std::string& text);

}  // namespace com::vantor
