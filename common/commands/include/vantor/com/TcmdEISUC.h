#pragma once
// EISUC: the recorded data of the logger on the optical port. The first
// answer carries the 64-byte header and SIZE, the number of data bytes;
// then MODE "9" fetches block after block until SIZE bytes arrived. Three
// failed blocks in a row end the read: refused, unreadable, or accepted
// without new bytes.

#include "vantor/com/BlockProgress.h"
#include "vantor/com/RecordedTimes.h"
#include "vantor/com/RowCommand.h"

namespace com::vantor {

class TcmdEISUC : public TcmdRow<"EISUC"> {
 public:
  static constexpr int kMaxFailures = BlockProgress::kLimit;

  void Reset() override;
  void OnFinish() override;
  Bytes BuildSendData(int phase) override;
  void ParseRecvData(int phase, std::string_view answer) override;
  int GetRecvTimeout(int phase) const override;
  bool IsContinue(int phase) const override;
  // Success also needs every announced byte: a stale STATUS must not pass.
  bool IsSuccess() const override;

  const RecordedData& Recorded() const { return recorded_; }

 private:
  RecordedData recorded_;
  std::size_t expected_ = 0;
  BlockProgress progress_;
};

}  // namespace com::vantor
