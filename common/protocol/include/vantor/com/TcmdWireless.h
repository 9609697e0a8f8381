#pragma once
// Base of the commands a base unit relays by radio: the request goes with
// ACT (0 unless set), then the unit is polled with ACT "1" while it answers
// 0004-0001 ("still working"); a cancel sends ACT "2".

#include <cstdint>

#include "vantor/com/Tcmd.h"

namespace com::vantor {

class TcmdWireless : public Tcmd {
 public:
  static constexpr int kPollInterval = 500;

  using Tcmd::Tcmd;

  std::int32_t GetACT() const { return act_; }
  void SetACT(std::int32_t act) { act_ = act; }

  Bytes BuildSendData(int phase) override;
  bool IsContinue(int phase) const override;
  int GetInterval() const override;
  bool IsSuccess() const override;

 private:
  std::int32_t act_ = 0;
};

}  // namespace com::vantor
