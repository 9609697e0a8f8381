#include "vantor/com/TcmdEWSUC.h"

#include <algorithm>
#include <cstdlib>

namespace com::vantor {
namespace {

constexpr std::size_t kExpectedOffset = 30;  // 16-bit count of data bytes after the header

long long NumberField(const Tcmd& c, const std::string& key) {
  auto v = c.GetRecvField(key);
  return v ? std::atoll(std::string(*v).c_str()) : 0;
}

}  // namespace

void TcmdEWSUC::Reset() {
  TcmdRow::Reset();
  recorded_ = {};
  header_ = false;
  failed_ = false;
  expected_ = 0;
  progress_.Reset();
  notedNow_ = 0;
  startTick_ = 0;
}

Bytes TcmdEWSUC::BuildSendData(int phase) {
  if (phase == kPhaseFirst) return TcmdRow::BuildSendData(phase);
  if (phase != kPhaseFollowUp) return {};
  FieldMap fields = GetSendFields();
  fields.erase("RANGE");
  fields.insert_or_assign("MODE", Bytes(1, '9'));
  return BuildFrame(fields);
}

void TcmdEWSUC::ParseRecvData(int phase, std::string_view answer) {
  const bool accepted = AnswerAccepted(answer, GetName());
  TcmdRow::ParseRecvData(phase, answer);
  if (phase == kPhaseFirst) {
    notedNow_ = Clock().unixNow();
    startTick_ = Clock().tick();
  }
  const bool waiting = !accepted || Is(status::kRadioWorking) || (phase == kPhaseFirst && Is(status::kRadioAccepted));
  if (!waiting && !Is(Row().success)) {
    failed_ = true;  // no answer from the far unit, a refused request …: asking again changes nothing
    return;
  }
  const std::string_view data = waiting ? std::string_view() : GetRecvField("DATA").value_or("");
  if (!header_) {
    // Until the header the row's time limit bounds the waiting.
    if (!data.empty()) TakeHeader(data);
    return;
  }
  recorded_.data.append(data);
  progress_.Answered(data.size());
  if (progress_.GaveUp()) failed_ = true;
}

void TcmdEWSUC::TakeHeader(std::string_view data) {
  header_ = true;
  std::size_t expected = 0;
  if (data.size() >= kExpectedOffset + 2) {
    expected = static_cast<unsigned char>(data[kExpectedOffset]) |
               static_cast<std::size_t>(static_cast<unsigned char>(data[kExpectedOffset + 1])) << 8;
  }
  expected_ = expected;
  const long long size = NumberField(*this, "SIZE");
  const long long headerLength = std::clamp<long long>(size - static_cast<long long>(expected), 0,
                                                       static_cast<long long>(data.size()));
  recorded_.header = std::string(data.substr(0, static_cast<std::size_t>(headerLength)));
  recorded_.data = std::string(data.substr(static_cast<std::size_t>(headerLength)));
  recorded_.lastDataTime = LastTimeRadio(HeaderView(recorded_.header), notedNow_, NumberField(*this, "TIME"));
}

int TcmdEWSUC::GetRecvTimeout(int phase) const {
  return phase == kPhaseFollowUp ? Row().timing.followUpTimeoutMs : Row().timing.recvTimeoutMs;
}

bool TcmdEWSUC::IsContinue(int /*phase*/) const {
  if (failed_) return false;
  if (header_) return recorded_.data.size() < expected_;
  if (Clock().tick() - startTick_ > static_cast<std::uint64_t>(Row().timing.limitMs)) throw ExecResult::Timeout();
  return true;
}

int TcmdEWSUC::GetInterval() const { return header_ ? Row().timing.settledIntervalMs : Row().timing.intervalMs; }

bool TcmdEWSUC::IsSuccess() const {
  return TcmdRow::IsSuccess() && header_ && !failed_ && recorded_.data.size() >= expected_;
}

void TcmdEWSUC::OnFinish() {
  if (progress_.GaveUpOnEmptyAnswers()) SetResult(BlockProgress::StoppedShort(recorded_.data.size(), expected_));
  recorded_.firstDataTime = FirstTime(HeaderView(recorded_.header), recorded_.lastDataTime, recorded_.data.size());
}

}  // namespace com::vantor
