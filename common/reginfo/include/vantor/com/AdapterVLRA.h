#pragma once
// Views over the 64-byte settings record of one remote unit, as EISET and
// EWSTW write it (send view) and as a unit answers with it (receive view).
// The settings record has a layout of its own, distinct from the
// registration record:
//
//   0 16-bit value   2 ID (8 bytes, serial number at 6..9)   10, 11 bytes
//   12 32-bit value  16 byte compared by the read-back       17 byte
//   18 recording interval   19 second interval   20, 22 16-bit values
//   30 flags (31 holds their complement; bit 4 asks for a read-back)
//   41 bits 0..3 a value, bit 4 a flag   62 sensor subtype (VL-RD)   63 bit 0 a flag
//
// The receive record carries the unit's serial number at 36.
//
// The VL-RA family stores intervals as minutes, 0 meaning 30 seconds.

#include <cstdint>
#include <span>

#include "vantor/com/AdapterBase.h"

namespace com::vantor {

class AdapterVLRASend : public AdapterBaseW {
 public:
  static constexpr size_t kLength = 64;
  static constexpr uint8_t kReadBackFlag = 0x10;

  // Refuses (IsValid() false) a record that is not 64 bytes.
  explicit AdapterVLRASend(std::span<uint8_t> record) : AdapterBaseW(record, kLength) {}

  void SetId(std::span<const uint8_t, 8> id);
  uint32_t Serial() const { return Reader().U32(6); }

  // False, and the byte unchanged, when the seconds have no exact encoding.
  virtual bool SetRecordingInterval(int seconds);
  virtual bool SetSecondInterval(int seconds);
  virtual int RecordingInterval() const;
  virtual int SecondInterval() const;

  // Byte 30 and its complement in byte 31.
  void SetFlags(uint8_t flags);
  uint8_t Flags() const { return Reader().U8(30); }
  bool FlagsIntact() const { return Reader().U8(31) == static_cast<uint8_t>(~Flags()); }
  bool ReadBackRequested() const { return (Flags() & kReadBackFlag) != 0; }
  void SetReadBackRequested(bool on);

  uint8_t CompareByte() const { return Reader().U8(16); }
  void SetCompareByte(uint8_t value) { SetU8(16, value); }
};

class AdapterVLRARecv : public AdapterBaseR {
 public:
  static constexpr size_t kLength = 64;

  explicit AdapterVLRARecv(std::span<const uint8_t> record) : AdapterBaseR(record, kLength) {}

  uint32_t Serial() const { return U32(36); }
  uint8_t ModelCode() const;
  uint8_t Subtype() const { return U8(62); }
  uint8_t CompareByte() const { return U8(16); }
  virtual int RecordingInterval() const;
  virtual int SecondInterval() const;
};

}  // namespace com::vantor
