#pragma once
// WSETF: writes registration information (or any bytes) in blocks. With
// SAVE the transfer is framed: SAVE "0" first, then the blocks, then SAVE
// with the given value, which makes the unit store what it received. Each
// block carries OFFSET (the given offset + bytes sent so far) and DATA (the
// next SendBufferSize bytes). The first frame the unit refuses, or an answer
// not taken in, ends the transfer: later blocks would leave a gap.

#include <cstddef>

#include "lm/Json.h"
#include "vantor/com/RegInfoError.h"
#include "vantor/com/RowCommand.h"

namespace com::vantor {

class TcmdWSETF : public TcmdRow<"WSETF"> {
 public:
  static constexpr std::size_t kDefaultBlock = 1024;

  // The registration in JSON form becomes the bytes to send; on an error
  // nothing changes.
  RegInfoError SetRegInfo(const lm::json::Value& regInfo);
  // regInfo from the page: 0, or the number of the conversion error.
  int SetObjectArg(std::string_view key, const lm::json::Value& value) override;
  // Whether there is anything to send (bytes, or a SAVE frame).
  bool HasWork() const;

  void Reset() override;
  Bytes BuildSendData(int phase) override;
  void ParseRecvData(int phase, std::string_view answer) override;
  bool IsContinue(int phase) const override;
  int GetInterval() const override { return Row().timing.intervalMs; }
  // Every frame sent and the last one accepted.
  bool IsSuccess() const override;

  // Frames of the whole transfer and how many were answered.
  std::size_t FrameCount() const;
  std::size_t Answered() const { return answered_; }

 private:
  const std::string& Data() const;
  std::size_t BlockSize() const;
  FieldMap FrameFields(std::size_t index) const;

  std::string regInfoBytes_;
  bool fromRegInfo_ = false;
  std::size_t answered_ = 0;
  bool refused_ = false;
};

}  // namespace com::vantor
