#include "vantor/com/TcmdETRND.h"

#include <cstdlib>

namespace com::vantor {
namespace {

constexpr const char* kTrendKeys[] = {"MAX", "INT", "START", "UTC"};

}  // namespace

void TcmdETRND::Reset() {
  TcmdRow::Reset();
  collected_.reset();
  fields_.clear();
  max_ = 0;
  refused_ = false;
  progress_.Reset();
}

Bytes TcmdETRND::BuildSendData(int phase) {
  if (phase == kPhaseFirst) return TcmdRow::BuildSendData(phase);
  if (phase == kPhaseFollowUp) return BuildFrame({{"ACT", "1"}});
  return {};
}

void TcmdETRND::ParseRecvData(int phase, std::string_view answer) {
  const bool accepted = AnswerAccepted(answer, GetName());
  TcmdRow::ParseRecvData(phase, answer);
  if (!accepted) {
    progress_.Answered(0);  // unreadable: no progress, ask again
    return;
  }
  if (!Is(Row().success)) {
    refused_ = true;  // the unit said no: asking again changes nothing
    return;
  }
  for (const char* key : kTrendKeys) {
    if (auto value = GetRecvField(key)) fields_[key] = std::string(*value);
  }
  if (auto max = GetRecvField("MAX")) {
    const long long n = std::atoll(std::string(*max).c_str());
    max_ = n > 0 ? static_cast<std::size_t>(n) : 0;
  }
  auto data = GetRecvField("DATA");
  if (data) {
    if (!collected_) collected_.emplace();
    collected_->append(*data);
  }
  progress_.Answered(data ? data->size() : 0);
}

bool TcmdETRND::IsContinue(int /*phase*/) const {
  return !refused_ && !progress_.GaveUp() && CollectedSize() < max_;
}

bool TcmdETRND::IsSuccess() const { return TcmdRow::IsSuccess() && CollectedSize() >= max_; }

void TcmdETRND::OnFinish() {
  if (progress_.GaveUp()) SetResult(BlockProgress::StoppedShort(CollectedSize(), max_));
}

}  // namespace com::vantor
