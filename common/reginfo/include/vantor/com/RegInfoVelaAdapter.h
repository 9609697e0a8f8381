#pragma once
// The registration view of one remote-unit model: which JSON member lives
// where in the 64-byte record. Each model lists its members as a table of
// fields; reading and writing both walk the same table, so a member is
// always written to the place it is read from.

#include <cstdint>
#include <span>

#include "lm/Json.h"
#include "vantor/com/AdapterBase.h"
#include "vantor/com/RegInfoError.h"
#include "vantor/com/RegInfoVelaRemoteUnit.h"

namespace com::vantor {

enum class RegInfoFieldKind {
  kBool,      // bit `shift` of the byte
  kUInt,      // `bits` bits from bit `shift` of the byte; 16: a 16-bit value
  kOneTime,   // true when the byte is 0x80
  kMinutes,   // seconds; the byte holds minutes, 0 meaning 30 seconds
  kVlrdInterval,  // seconds in the VL-RD second-interval encoding, 0 meaning 30
  kText,      // `bits` bytes of device text, zero-filled
};

struct RegInfoField {
  const char* path;  // dotted JSON path
  RegInfoFieldKind kind;
  uint8_t offset;
  uint8_t shift;
  uint8_t bits;
  int error;
};

class RegInfoVelaAdapter {
 public:
  virtual ~RegInfoVelaAdapter() = default;

  // The record type byte written for this model.
  virtual uint8_t RecordType() const = 0;
  virtual uint8_t NameOffset() const = 0;
  virtual std::span<const RegInfoField> Fields(uint8_t modelCode) const = 0;

  // Adds the model's members (name included) to `out`.
  void ToJson(const RegInfoVelaRemoteUnit& unit, lm::json::Object& out) const;
  // Writes the model's members from `in` into `unit`; the first bad member
  // is returned with its path relative to the unit.
  RegInfoError FromJson(const lm::json::Object& in, RegInfoVelaRemoteUnit& unit) const;

  // The view of a model code; nullptr for models without one.
  static const RegInfoVelaAdapter* ForModelCode(uint8_t code);

 protected:
  // Members that a table cannot express (VL-RD sensor type).
  virtual void ReadExtra(const AdapterBaseR&, lm::json::Object&) const {}
  virtual RegInfoError WriteExtra(const lm::json::Object&, AdapterBaseW&) const { return {}; }
};

}  // namespace com::vantor
