#include "vantor/com/TcmdWSETF.h"

#include <algorithm>
#include <vector>

#include "vantor/com/RegInfoJson.h"

namespace com::vantor {

RegInfoError TcmdWSETF::SetRegInfo(const lm::json::Value& regInfo) {
  std::vector<std::uint8_t> bytes;
  RegInfoError error = RegInfoJsonToBytes(regInfo, bytes);
  if (error) return error;
  regInfoBytes_.assign(bytes.begin(), bytes.end());
  fromRegInfo_ = true;
  return {};
}

int TcmdWSETF::SetObjectArg(std::string_view key, const lm::json::Value& value) {
  if (key != "regInfo") return kObjectRefused;
  return SetRegInfo(value).code;
}

const std::string& TcmdWSETF::Data() const {
  static const std::string kNone;
  if (fromRegInfo_) return regInfoBytes_;
  const std::string* given = KeptBytes("SendData");
  return given ? *given : kNone;
}

std::size_t TcmdWSETF::BlockSize() const {
  return static_cast<std::size_t>(KeptNumber("SendBufferSize", static_cast<std::int64_t>(kDefaultBlock)));
}

bool TcmdWSETF::HasWork() const { return !Data().empty() || KeptNumber("SAVE") != 0; }

std::size_t TcmdWSETF::FrameCount() const {
  const std::size_t block = BlockSize();
  const std::size_t blocks = (Data().size() + block - 1) / block;
  return blocks + (KeptNumber("SAVE") != 0 ? 2 : 0);
}

FieldMap TcmdWSETF::FrameFields(std::size_t index) const {
  const std::int64_t save = KeptNumber("SAVE");
  if (save != 0) {
    if (index == 0) return {{"SAVE", "0"}};
    if (index + 1 == FrameCount()) return {{"SAVE", std::to_string(save)}};
    --index;
  }
  const std::size_t at = index * BlockSize();
  const std::size_t length = std::min(BlockSize(), Data().size() - at);
  const auto offset = static_cast<std::uint64_t>(KeptNumber("OFFSET")) + at;
  return {{"DATA", Data().substr(at, length)}, {"OFFSET", std::to_string(offset)}};
}

void TcmdWSETF::Reset() {
  TcmdRow::Reset();
  answered_ = 0;
  refused_ = false;
}

Bytes TcmdWSETF::BuildSendData(int phase) {
  if (phase == kPhaseCancel || answered_ >= FrameCount()) return {};
  return BuildFrame(FrameFields(answered_));
}

void TcmdWSETF::ParseRecvData(int phase, std::string_view answer) {
  const bool accepted = AnswerAccepted(answer, GetName());
  TcmdRow::ParseRecvData(phase, answer);
  ++answered_;
  if (!accepted || !Is(Row().success)) refused_ = true;
}

bool TcmdWSETF::IsContinue(int /*phase*/) const { return !refused_ && answered_ < FrameCount(); }

bool TcmdWSETF::IsSuccess() const { return !refused_ && answered_ == FrameCount() && TcmdRow::IsSuccess(); }

}  // namespace com::vantor
