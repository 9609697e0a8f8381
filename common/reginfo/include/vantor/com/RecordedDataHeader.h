#pragma once
// The 64-byte header of a unit's recorded data (EISUC, EWSUC), with the
// fields the first and last data times are worked out from.

#include <cstdint>
#include <span>

#include "vantor/com/AdapterBase.h"

namespace com::vantor {

class RecordedDataHeader : public AdapterBaseR {
 public:
  static constexpr size_t kLength = 64;

  // Shorter headers read the missing fields as 0; IsValid() tells.
  explicit RecordedDataHeader(std::span<const uint8_t> bytes) : AdapterBaseR(bytes, kLength) {}

  uint16_t Interval() const { return U16(0); }        // recording interval, seconds
  uint64_t StartTime() const { return U64(2); }       // seconds
  uint8_t State() const { return U8(11); }
  uint32_t Age() const { return U32(12); }            // seconds
  uint16_t ExpectedBytes() const { return U16(30); }  // data bytes to fetch (EWSUC)
  uint16_t StoredBytes() const { return U16(32); }
  uint32_t ModelWord() const { return U32(36); }
  uint8_t ModelCode() const;
  uint8_t ChType1() const { return U8(42); }
  uint8_t ChType2() const { return U8(43); }          // 0: no second channel
  uint8_t Subtype() const { return U8(62); }

  // Bytes of one record: the value widths of both channel types.
  int RecordWidth() const;
};

}  // namespace com::vantor
