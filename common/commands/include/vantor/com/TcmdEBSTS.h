#pragma once
// EBSTS: asks a base unit for its state; no send fields, accepted with 0002-0000.

#include "vantor/com/Tcmd.h"

namespace com::vantor {

class TcmdEBSTS : public Tcmd {
 public:
  TcmdEBSTS() : Tcmd("EBSTS") {}
  bool IsSuccess() const override { return IsStatus(2, 0); }
};

}  // namespace com::vantor
