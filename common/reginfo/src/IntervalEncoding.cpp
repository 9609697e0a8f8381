#include "vantor/com/IntervalEncoding.h"

namespace com::vantor::interval {
namespace {

std::optional<uint8_t> Minutes(int seconds, int maxMinutes) {
  if (seconds <= 0 || seconds % 60 != 0 || seconds / 60 > maxMinutes) return std::nullopt;
  return static_cast<uint8_t>(seconds / 60);
}

}  // namespace

std::optional<uint8_t> EncodeMinutes(int seconds) {
  if (seconds == 30) return 0;
  return Minutes(seconds, 255);
}

int DecodeMinutes(uint8_t byte) { return byte == 0 ? 30 : byte * 60; }

std::optional<uint8_t> EncodeVlrdRecording(int seconds) {
  if (seconds > 0 && seconds < 128 && seconds % 60 != 0) return static_cast<uint8_t>(0x80 | seconds);
  return Minutes(seconds, 127);
}

std::optional<uint8_t> EncodeVlrdSecond(int seconds) {
  if (seconds > 0 && seconds < 128) return static_cast<uint8_t>(0x80 | seconds);
  return Minutes(seconds, 127);
}

int DecodeVlrd(uint8_t byte, bool zeroIs30) {
  int seconds = (byte & 0x80) ? (byte & 0x7F) : (byte & 0x7F) * 60;
  return seconds == 0 && zeroIs30 ? 30 : seconds;
}

}  // namespace com::vantor::interval
