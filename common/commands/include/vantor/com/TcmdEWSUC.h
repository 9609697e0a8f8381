#pragma once
// EWSUC: the recorded data of a far unit. A plain command (no ACT polling)
// that carries the addressing on every request: MODE and RANGE first, then
// MODE "9". Answers 0004-0001 (still working) are skipped; the first data
// answer starts with the header. Pauses are 1000 ms until the header came,
// 1 ms after. A far unit that sends no header within the row's limit
// (30000 ms from the first answer) ends the command as timed out; once the
// header came, three answers in a row without new bytes end it as failed.

#include "vantor/com/BlockProgress.h"
#include "vantor/com/RecordedTimes.h"
#include "vantor/com/RowCommand.h"

namespace com::vantor {

class TcmdEWSUC : public TcmdRow<"EWSUC"> {
 public:
  void Reset() override;
  void OnFinish() override;
  Bytes BuildSendData(int phase) override;
  void ParseRecvData(int phase, std::string_view answer) override;
  int GetRecvTimeout(int phase) const override;
  bool IsContinue(int phase) const override;
  int GetInterval() const override;
  // Success also needs the header and every announced byte.
  bool IsSuccess() const override;

  const RecordedData& Recorded() const { return recorded_; }

 private:
  void TakeHeader(std::string_view data);

  RecordedData recorded_;
  bool header_ = false;
  bool failed_ = false;  // the unit answered something else than work or data
  std::size_t expected_ = 0;
  BlockProgress progress_;  // after the header
  std::int64_t notedNow_ = 0;
  std::uint64_t startTick_ = 0;
};

}  // namespace com::vantor
