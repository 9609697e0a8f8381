#include "vantor/com/TcmdEISET.h"

#include "vantor/com/SettingsReadBack.h"

namespace com::vantor {
namespace {

std::span<const uint8_t> AsBytes(std::string_view s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

}  // namespace

bool AsksReadBack(std::string_view record) {
  return record.size() > 30 && (static_cast<unsigned char>(record[30]) & TcmdEISETValid::kReadBackFlag) != 0;
}

std::shared_ptr<TcmdEISET> TcmdEISET::ForArguments(const std::function<bool(std::string_view)>& given) {
  if (given("SendData")) return std::make_shared<TcmdEISETValid>();
  return std::make_shared<TcmdEISET>();
}

void TcmdEISETValid::Reset() {
  TcmdEISET::Reset();
  readBack_ = false;
  matched_ = false;
  since_ = 0;
}

Bytes TcmdEISETValid::BuildSendData(int phase) {
  if (phase == kPhaseFirst) return TcmdEISET::BuildSendData(phase);
  if (phase == kPhaseFollowUp) {
    FieldMap fields = GetSendFields();
    fields.insert_or_assign("ACT", Bytes(1, '1'));
    return BuildFrame(fields);
  }
  if (phase == kPhaseCancel) return {};
  throw ExecResult::Error("TcmdEISETValid", kCodePhase, 0);
}

void TcmdEISETValid::ParseRecvData(int phase, std::string_view answer) {
  const bool accepted = AnswerAccepted(answer, GetName());
  TcmdEISET::ParseRecvData(phase, answer);
  const bool ok = accepted && Is(Row().success);
  auto written = GetSendFields().find("DATA");
  const std::string_view record = written == GetSendFields().end() ? std::string_view() : written->second;
  if (phase == kPhaseFirst) {
    // Only an accepted write is worth reading back.
    readBack_ = ok && AsksReadBack(record);
    since_ = Clock().tick();
    return;
  }
  auto readBack = GetRecvField("DATA");
  matched_ = ok && readBack && SettingsReadBackMatches(AsBytes(record), AsBytes(*readBack));
}

bool TcmdEISETValid::IsContinue(int /*phase*/) const {
  if (!readBack_ || matched_) return false;
  if (Clock().tick() - since_ > static_cast<std::uint64_t>(Row().timing.limitMs)) {
    throw ExecResult::Error("TcmdEISETValid", kCodeTimeout, 0);
  }
  return true;
}

}  // namespace com::vantor
