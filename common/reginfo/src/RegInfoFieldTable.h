#pragma once
// Shorthands for the field tables of the registration views.

#include "vantor/com/RegInfoError.h"
#include "vantor/com/RegInfoVelaAdapter.h"

namespace com::vantor::fields {

using K = RegInfoFieldKind;

constexpr RegInfoField Bool(const char* p, uint8_t off, uint8_t bit, int err) { return {p, K::kBool, off, bit, 1, err}; }
constexpr RegInfoField Byte(const char* p, uint8_t off, int err) { return {p, K::kUInt, off, 0, 8, err}; }
constexpr RegInfoField Bits(const char* p, uint8_t off, uint8_t shift, uint8_t bits, int err) {
  return {p, K::kUInt, off, shift, bits, err};
}
constexpr RegInfoField Word(const char* p, uint8_t off, int err) { return {p, K::kUInt, off, 0, 16, err}; }
constexpr RegInfoField OneTime(const char* p, uint8_t off) { return {p, K::kOneTime, off, 0, 8, regerr::kRecordOnetime}; }
constexpr RegInfoField Minutes(const char* p, uint8_t off, int err) { return {p, K::kMinutes, off, 0, 8, err}; }
constexpr RegInfoField VlrdInterval(const char* p, uint8_t off, int err) { return {p, K::kVlrdInterval, off, 0, 8, err}; }
constexpr RegInfoField Text(const char* p, uint8_t off, uint8_t len, int err) { return {p, K::kText, off, 0, len, err}; }

}  // namespace com::vantor::fields

// Channel slot k (0..3) of the VL-RF layout: type at 20 + k, judge time at
// 24 + k, limits at 28 + 4k and 30 + 4k, enable bits 2k and 2k + 1 of byte 44.
#define LM_VLRF_CHANNEL(ch, k)                                               \
  Byte(ch ".chType", 20 + (k), regerr::kChType),                            \
      Minutes(ch ".judgeTime", 24 + (k), regerr::kJudgeTime),               \
      Bool(ch ".enableLowerLimit", 44, 2 * (k), regerr::kEnableLowerLimit), \
      Bool(ch ".enableUpperLimit", 44, 2 * (k) + 1, regerr::kEnableUpperLimit), \
      Word(ch ".lowerLimit", 28 + 4 * (k), regerr::kLowerLimit),            \
      Word(ch ".upperLimit", 30 + 4 * (k), regerr::kUpperLimit)

