#include "vantor/com/TcmdEWSTW.h"

#include "vantor/com/SettingsReadBack.h"
#include "vantor/com/TcmdEISET.h"

namespace com::vantor {
namespace {

std::span<const uint8_t> AsBytes(std::string_view s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

}  // namespace

std::shared_ptr<TcmdEWSTW> TcmdEWSTW::ForArguments(const std::function<bool(std::string_view)>&) {
  return std::make_shared<TcmdEWSTWValid>();
}

void TcmdEWSTWValid::Reset() {
  TcmdEWSTW::Reset();
  stage_ = Stage::kWrite;
  matched_ = false;
  cancelled_ = false;
  since_ = 0;
}

Bytes TcmdEWSTWValid::BuildSendData(int phase) {
  if (phase > kPhaseCancel || phase < kPhaseFirst) throw ExecResult::Error("TcmdEWSTWValid", kCodePhase, 0);
  if (phase == kPhaseCancel) cancelled_ = true;
  if (stage_ == Stage::kReadBack && phase == kPhaseFollowUp) {
    if (since_ == 0) since_ = Clock().tick();
    FieldMap fields = GetSendFields();
    fields.insert_or_assign("ACT", Bytes(1, '1'));
    return BuildFrame(fields);
  }
  return TcmdEWSTW::BuildSendData(phase);
}

void TcmdEWSTWValid::ParseRecvData(int phase, std::string_view answer) {
  const bool accepted = AnswerAccepted(answer, GetName());
  TcmdEWSTW::ParseRecvData(phase, answer);
  const bool ok = accepted && Is(Row().success);
  const Bytes& record = GetSendFields().count("DATA") ? GetSendFields().at("DATA") : Bytes();
  if (stage_ == Stage::kWrite) {
    // The write is over once the unit stops asking to be polled.
    const bool writeOver = phase == kPhaseFollowUp && !TcmdEWSTW::IsContinue(phase);
    if (writeOver && ok && !cancelled_ && AsksReadBack(record)) stage_ = Stage::kReadBack;
    return;
  }
  auto readBack = GetRecvField("DATA");
  matched_ = ok && readBack && SettingsReadBackMatches(AsBytes(record), AsBytes(*readBack));
}

bool TcmdEWSTWValid::IsContinue(int phase) const {
  if (stage_ == Stage::kWrite) return TcmdEWSTW::IsContinue(phase);
  if (phase == kPhaseCancel || matched_) return false;
  if (since_ != 0 && Clock().tick() - since_ > static_cast<std::uint64_t>(Row().timing.limitMs)) {
    throw ExecResult::Error("TcmdEWSTWValid", kCodeTimeout, 0);
  }
  return true;
}

}  // namespace com::vantor
