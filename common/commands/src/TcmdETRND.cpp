#include "vantor/com/TcmdETRND.h"

#include <cstdlib>

namespace com::vantor {

void TcmdETRND::Reset() {
  TcmdRow::Reset();
  collected_.clear();
  max_ = 0;
  stalled_ = false;
}

Bytes TcmdETRND::BuildSendData(int phase) {
  if (phase == kPhaseFirst) return TcmdRow::BuildSendData(phase);
  if (phase == kPhaseFollowUp) return BuildFrame({{"ACT", "1"}});
  return {};
}

void TcmdETRND::ParseRecvData(int phase, std::string_view answer) {
  const bool accepted = AnswerAccepted(answer, GetName());
  TcmdRow::ParseRecvData(phase, answer);
  std::string_view data = GetRecvField("DATA").value_or("");
  // Without progress the unit would be asked for the same block for ever.
  if (!accepted || !Is(Row().success) || data.empty()) {
    stalled_ = true;
    return;
  }
  if (phase == kPhaseFirst) {
    const long long max = std::atoll(std::string(GetRecvField("MAX").value_or("0")).c_str());
    max_ = max > 0 ? static_cast<std::size_t>(max) : 0;
  }
  collected_.append(data);
}

bool TcmdETRND::IsContinue(int /*phase*/) const { return !stalled_ && collected_.size() < max_; }

}  // namespace com::vantor
