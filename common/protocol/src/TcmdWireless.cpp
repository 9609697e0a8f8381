#include "vantor/com/TcmdWireless.h"

namespace com::vantor {
namespace {

constexpr std::uint16_t kGroupRadio = 4;
constexpr std::uint16_t kAccepted = 0;
constexpr std::uint16_t kWorking = 1;

}  // namespace

Bytes TcmdWireless::BuildSendData(int phase) {
  switch (phase) {
    case kPhaseFirst:
      SetSendNumber("ACT", act_);
      return Tcmd::BuildSendData(phase);
    case kPhaseFollowUp:
      return BuildFrame({{"ACT", "1"}});
    default:
      return BuildFrame({{"ACT", "2"}});
  }
}

bool TcmdWireless::IsContinue(int phase) const {
  // After the start or the cancel request the unit accepts with 0004-0000;
  // while polled it answers 0004-0001 until the radio operation ends.
  if (phase == kPhaseFollowUp) return IsStatus(kGroupRadio, kWorking);
  return IsStatus(kGroupRadio, kAccepted);
}

int TcmdWireless::GetInterval() const { return kPollInterval; }

bool TcmdWireless::IsSuccess() const { return IsStatus(kGroupRadio, kAccepted); }

}  // namespace com::vantor
