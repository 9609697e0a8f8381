#pragma once
// EWSTW: writes a far unit's settings record. It always runs as
// TcmdEWSTWValid: every pause is 2000 ms; after an accepted write whose
// record asks for it (bit 4 of byte 30), the whole request is sent again
// with ACT "1" until the record read back matches; more than 10000 ms of
// read-back ends with code 520, an unexpected phase with 521. Once the
// cancel frame went out no read-back starts: the write ends cancelled,
// whatever the polls after the cancel answer.

#include <functional>
#include <memory>

#include "vantor/com/RowCommand.h"

namespace com::vantor {

class TcmdEWSTW : public TcmdRow<"EWSTW"> {
 public:
  static std::shared_ptr<TcmdEWSTW> ForArguments(const std::function<bool(std::string_view)>& given);
};

class TcmdEWSTWValid : public TcmdEWSTW {
 public:
  static constexpr std::int32_t kCodeTimeout = 520;
  static constexpr std::int32_t kCodePhase = 521;

  void Reset() override;
  Bytes BuildSendData(int phase) override;
  void ParseRecvData(int phase, std::string_view answer) override;
  bool IsContinue(int phase) const override;
  int GetInterval() const override { return Row().timing.intervalMs; }

 private:
  enum class Stage { kWrite, kReadBack };
  Stage stage_ = Stage::kWrite;
  bool matched_ = false;
  bool cancelled_ = false;   // the cancel frame was built
  std::uint64_t since_ = 0;  // the first read-back request; 0 before it
};

}  // namespace com::vantor
