#pragma once
// The command behind signal-level measurement: one exchange, accepted when
// the unit answers 0004-0000.

#include <cstdint>

#include "vantor/com/Tcmd.h"

namespace com::vantor {

class TcmdVLB1 : public Tcmd {
 public:
  TcmdVLB1();

  int SetMODE(std::int32_t mode);
  int SetTIME(std::int32_t time);
  int SetSendData(Bytes data);

  bool IsSuccess() const override;
};

}  // namespace com::vantor
