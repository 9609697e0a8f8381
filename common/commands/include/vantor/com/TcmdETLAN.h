#pragma once
// ETLAN: the LAN test. With ACT 1 the base unit runs the test and is polled
// with ACT "1" every 1000 ms while it answers 0007-0001.

#include "vantor/com/RowCommand.h"

namespace com::vantor {

class TcmdETLAN : public TcmdRow<"ETLAN"> {
 public:
  Bytes BuildSendData(int phase) override;
  bool IsContinue(int phase) const override;
  int GetInterval() const override { return Row().timing.intervalMs; }
};

}  // namespace com::vantor
