#include "vantor/com/TcmdETLAN.h"

namespace com::vantor {

Bytes TcmdETLAN::BuildSendData(int phase) {
  if (phase == kPhaseFirst) return TcmdRow::BuildSendData(phase);
  if (phase == kPhaseFollowUp) return BuildFrame({{"ACT", "1"}});
  return {};
}

bool TcmdETLAN::IsContinue(int /*phase*/) const {
  auto act = GetSendFields().find("ACT");
  return act != GetSendFields().end() && act->second == "1" && Is(status::kLanTestRunning);
}

}  // namespace com::vantor
