#pragma once
// One-byte interval encodings of the settings and registration records.
// Encoders return nullopt for a number of seconds the byte cannot hold
// exactly, so a value is never silently changed on its way to a unit.

#include <cstdint>
#include <optional>

namespace com::vantor::interval {

// Minutes in the byte, 0 read as 30 seconds (VL-RA family intervals, judge
// times, VL-RA monitor interval): 30 -> 0, n x 60 -> n (n = 1..255).
std::optional<uint8_t> EncodeMinutes(int seconds);
int DecodeMinutes(uint8_t byte);

// VL-RD recording interval: seconds below 128 that are not whole minutes are
// stored as seconds | 0x80, everything else as minutes (1..127) in the low
// 7 bits.
std::optional<uint8_t> EncodeVlrdRecording(int seconds);
// VL-RD second interval and monitor interval: seconds below 128 stored as
// seconds | 0x80, 128 seconds or more as minutes (whole minutes only).
std::optional<uint8_t> EncodeVlrdSecond(int seconds);
// Bit 7 set: the low 7 bits are seconds; clear: minutes. `zeroIs30` reads a
// result of 0 as 30 seconds.
int DecodeVlrd(uint8_t byte, bool zeroIs30);

}  // namespace com::vantor::interval
