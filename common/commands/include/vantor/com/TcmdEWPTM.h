#pragma once
// EWPTM: sets a far unit's clock. DATA is built when the request is:
// the PC's Unix time + TimeOffset (low 32 bits), four 0x00 bytes and
// DiffTime as a signed 32-bit number, all little-endian.

#include "vantor/com/RowCommand.h"

namespace com::vantor {

class TcmdEWPTM : public TcmdRow<"EWPTM"> {
 public:
  Bytes BuildSendData(int phase) override;
  // The 12 bytes for a given PC time.
  static Bytes ClockData(std::int64_t unixNow, std::int64_t timeOffset, std::int32_t diffTime);
};

}  // namespace com::vantor
