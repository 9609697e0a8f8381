#pragma once
// EISET: reads the settings record of the logger on the optical port, or
// with SendData writes it. TcmdEISETValid is the write: when bit 4 of byte
// 30 of the record asks for it, the record is read back (ACT "1", DATA
// again) every 2000 ms until it matches; more than 10000 ms of read-back
// ends with code 500, an unexpected phase with 501.

#include <functional>
#include <memory>

#include "vantor/com/RowCommand.h"

namespace com::vantor {

class TcmdEISET : public TcmdRow<"EISET"> {
 public:
  // The command for a call: the write-and-verify when SendData is given.
  static std::shared_ptr<TcmdEISET> ForArguments(const std::function<bool(std::string_view)>& given);
};

class TcmdEISETValid : public TcmdEISET {
 public:
  static constexpr std::int32_t kCodeTimeout = 500;
  static constexpr std::int32_t kCodePhase = 501;
  static constexpr std::uint8_t kReadBackFlag = 0x10;  // byte 30 of the record

  void Reset() override;
  Bytes BuildSendData(int phase) override;
  void ParseRecvData(int phase, std::string_view answer) override;
  bool IsContinue(int phase) const override;
  int GetInterval() const override { return Row().timing.intervalMs; }

 private:
  bool readBack_ = false;
  bool matched_ = false;
  std::uint64_t since_ = 0;
};

// Whether a written 64-byte record asks to be read back.
bool AsksReadBack(std::string_view record);

}  // namespace com::vantor
