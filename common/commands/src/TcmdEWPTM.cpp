#include "vantor/com/TcmdEWPTM.h"

namespace com::vantor {
namespace {

void PutLe32(Bytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace

Bytes TcmdEWPTM::ClockData(std::int64_t unixNow, std::int64_t timeOffset, std::int32_t diffTime) {
  Bytes data;
  PutLe32(data, static_cast<std::uint32_t>(static_cast<std::uint64_t>(unixNow + timeOffset) & 0xFFFFFFFFu));
  PutLe32(data, 0);
  PutLe32(data, static_cast<std::uint32_t>(diffTime));
  return data;
}

Bytes TcmdEWPTM::BuildSendData(int phase) {
  if (phase == kPhaseFirst) {
    SetSendField("DATA", ClockData(Clock().unixNow(), KeptNumber("TimeOffset"),
                                   static_cast<std::int32_t>(KeptNumber("DiffTime"))));
  }
  return TcmdRow::BuildSendData(phase);
}

}  // namespace com::vantor
