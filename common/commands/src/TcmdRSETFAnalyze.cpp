#include "vantor/com/TcmdRSETFAnalyze.h"

namespace com::vantor {

bool TcmdRSETFAnalyze::SetBlockSize(int bytes) {
  if (bytes < 1 || bytes > kMaxBlock) return false;
  SetSendNumber("SIZE", bytes);
  return true;
}

void TcmdRSETFAnalyze::Reset() {
  TcmdRow::Reset();
  if (GetSendFields().find("SIZE") == GetSendFields().end()) SetSendNumber("SIZE", kDefaultBlock);
  reader_ = RegInfoReader();
  json_ = RegInfoJsonBuilder();
  step_ = RegInfoStep::kNeedMore;
  more_ = false;
}

Bytes TcmdRSETFAnalyze::BuildSendData(int phase) {
  if (phase == kPhaseCancel) return {};
  SetSendNumber("OFFSET", static_cast<std::int64_t>(Received()));
  return TcmdRow::BuildSendData(phase);
}

void TcmdRSETFAnalyze::ParseRecvData(int phase, std::string_view answer) {
  TcmdRow::ParseRecvData(phase, answer);
  more_ = false;
  if (!LastAnswerAccepted() || !Is(Row().success)) return;
  const std::string_view data = GetRecvField("DATA").value_or("");
  if (data.empty()) return;
  reader_.Append({reinterpret_cast<const std::uint8_t*>(data.data()), data.size()});
  step_ = reader_.Run();
  more_ = step_ == RegInfoStep::kNeedMore;
  if (step_ != RegInfoStep::kError) json_.Take(reader_.Image());
}

std::optional<lm::json::Value> TcmdRSETFAnalyze::TakeRegInfo() {
  if (!IsSuccess()) return std::nullopt;
  return json_.Finish(reader_.Image());
}

bool TcmdRSETFAnalyze::IsContinue(int /*phase*/) const { return more_; }

bool TcmdRSETFAnalyze::IsSuccess() const { return TcmdRow::IsSuccess() && step_ == RegInfoStep::kComplete; }

}  // namespace com::vantor
