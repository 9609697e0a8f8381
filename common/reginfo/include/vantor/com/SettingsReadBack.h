#pragma once
// The read-back check after writing a settings record (EISET, EWSTW): a
// read-back matches unless it comes from a VL-RD with a thermocouple or
// platinum sensor (subtype 161 or 162); then, when the written record asked
// for a read-back, byte 16 of both records must be equal. Records that are
// not 64 bytes never match.

#include <cstdint>
#include <span>

namespace com::vantor {

bool SettingsReadBackMatches(std::span<const uint8_t> written, std::span<const uint8_t> readBack);

}  // namespace com::vantor
