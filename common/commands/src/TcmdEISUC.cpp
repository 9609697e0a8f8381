#include "vantor/com/TcmdEISUC.h"

#include <cstdlib>

namespace com::vantor {
namespace {

std::size_t SizeField(const Tcmd& c) {
  auto size = c.GetRecvField("SIZE");
  const long long n = size ? std::atoll(std::string(*size).c_str()) : 0;
  return n > 0 ? static_cast<std::size_t>(n) : 0;
}

}  // namespace

void TcmdEISUC::Reset() {
  TcmdRow::Reset();
  recorded_ = {};
  expected_ = 0;
  progress_.Reset();
}

Bytes TcmdEISUC::BuildSendData(int phase) {
  if (phase == kPhaseFirst) {
    return BuildFrame({{"MODE", std::to_string(KeptNumber("MODE"))}, {"RANGE", std::to_string(KeptNumber("RANGE"))}});
  }
  if (phase == kPhaseFollowUp) return BuildFrame({{"MODE", "9"}});
  return {};
}

void TcmdEISUC::ParseRecvData(int phase, std::string_view answer) {
  const bool accepted = AnswerAccepted(answer, GetName());
  TcmdRow::ParseRecvData(phase, answer);
  const bool ok = accepted && Is(Row().success);
  if (phase == kPhaseFirst) {
    if (!ok) return;  // nothing announced: the read ends here
    recorded_.header = std::string(GetRecvField("DATA").value_or(""));
    expected_ = SizeField(*this);
    recorded_.lastDataTime = LastTimeOptical(HeaderView(recorded_.header), Clock().unixNow());
    return;
  }
  // An answer that was not taken in, or that brought nothing, is a failed block too.
  const std::string_view data = ok ? GetRecvField("DATA").value_or("") : std::string_view();
  recorded_.data += data;
  progress_.Answered(data.size(), accepted && !ok);  // refused: a failure status
}

int TcmdEISUC::GetRecvTimeout(int phase) const {
  return phase == kPhaseFollowUp ? Row().timing.followUpTimeoutMs : Tcmd::GetRecvTimeout(phase);
}

bool TcmdEISUC::IsContinue(int /*phase*/) const {
  return recorded_.data.size() < expected_ && !progress_.GaveUp();
}

bool TcmdEISUC::IsSuccess() const { return TcmdRow::IsSuccess() && recorded_.data.size() >= expected_; }

void TcmdEISUC::OnFinish() {
  // A unit that refused keeps its own STATUS text; the added words are for
  // accepted answers that brought nothing.
  if (progress_.GaveUpOnEmptyAnswers()) SetResult(BlockProgress::StoppedShort(recorded_.data.size(), expected_));
  recorded_.firstDataTime = FirstTime(HeaderView(recorded_.header), recorded_.lastDataTime, recorded_.data.size());
}

}  // namespace com::vantor
