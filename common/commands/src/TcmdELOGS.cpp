#include "vantor/com/TcmdELOGS.h"

namespace com::vantor {
namespace {

std::uint64_t Le(std::string_view bytes, std::size_t offset, std::size_t width) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < width; ++i) v |= std::uint64_t{static_cast<unsigned char>(bytes[offset + i])} << (8 * i);
  return v;
}

}  // namespace

void TcmdELOGS::Reset() {
  TcmdRow::Reset();
  buffer_.clear();
  parsed_ = 0;
  logs_.clear();
  end_ = false;
}

Bytes TcmdELOGS::BuildSendData(int phase) {
  if (phase == kPhaseFirst) {
    if (KeptNumber("NUM", -1) >= 0) SetSendNumber("NUM", KeptNumber("NUM"));
    return TcmdRow::BuildSendData(phase);
  }
  if (phase == kPhaseFollowUp) return BuildFrame({{"ACT", "1"}});
  return {};
}

void TcmdELOGS::ParseRecvData(int phase, std::string_view answer) {
  const bool accepted = AnswerAccepted(answer, GetName());
  TcmdRow::ParseRecvData(phase, answer);
  // A refused or unreadable block ends the read: asking again would get the
  // same answer for ever.
  if (!accepted || !Is(Row().success)) {
    end_ = true;
    return;
  }
  std::string_view data = GetRecvField("DATA").value_or("");
  if (data.empty()) {
    end_ = true;
    return;
  }
  buffer_.append(data);
  TakeRecords();
}

void TcmdELOGS::TakeRecords() {
  const std::int64_t limit = KeptNumber("Limit", 0);
  while (!end_ && parsed_ < buffer_.size()) {
    const std::size_t length = static_cast<unsigned char>(buffer_[parsed_]);
    if (length < kRecordHeader) {
      end_ = true;  // nothing after a broken record can be framed
      return;
    }
    if (length > buffer_.size() - parsed_) return;  // the rest may come with the next block
    std::string_view r(buffer_.data() + parsed_, length);
    logs_.push_back({static_cast<std::uint16_t>(Le(r, 2, 2)), static_cast<std::uint8_t>(r[1]), Le(r, 4, 4),
                     Le(r, 8, 4), std::string(r.substr(kRecordHeader))});
    parsed_ += length;
    if (limit > 0 && static_cast<std::int64_t>(logs_.size()) >= limit) end_ = true;
  }
}

bool TcmdELOGS::IsContinue(int /*phase*/) const {
  auto mode = GetSendFields().find("MODE");
  return mode != GetSendFields().end() && mode->second == "0" && !end_;
}

}  // namespace com::vantor
