#include "vantor/com/Tcmd.h"

#include <cstdio>
#include <cstdlib>


namespace com::vantor {
namespace {

constexpr std::size_t kStatusLength = 9;  // "gggg-dddd"

// A request too large to frame fails as the communication library fails a
// send with a bad argument (ARGUMENT_ERR, -16): code1 1016, code2 of a send.
constexpr std::int32_t kArgumentCode1 = 1016;
constexpr std::int32_t kSendCode2 = 102;

std::uint16_t LeadingNumber(std::string_view digits) {
  return static_cast<std::uint16_t>(std::atoi(std::string(digits).c_str()));
}

}  // namespace

Tcmd::Tcmd(std::string name) : name_(std::move(name)) {}

void Tcmd::SetSendField(const std::string& key, Bytes value) { sendFields_[key] = std::move(value); }

void Tcmd::SetSendNumber(const std::string& key, std::int64_t value) { sendFields_[key] = std::to_string(value); }

void Tcmd::EraseSendField(const std::string& key) { sendFields_.erase(key); }

std::optional<std::string_view> Tcmd::GetRecvField(const std::string& key) const {
  auto it = recvFields_.find(key);
  if (it == recvFields_.end()) return std::nullopt;
  return std::string_view(it->second);
}

std::string Tcmd::GetStatusText() const {
  char text[16];
  std::snprintf(text, sizeof(text), "%04d-%04d", int{statusGroup_}, int{statusDetail_});
  return text;
}

void Tcmd::Reset() {
  recvFields_.clear();
  accepted_ = false;
  statusGroup_ = 0;
  statusDetail_ = 0;
}

Bytes Tcmd::BuildSendData(int phase) {
  // Follow-ups repeat the request; a plain command has no cancel exchange.
  if (phase == kPhaseCancel) return {};
  return BuildFrame(sendFields_);
}

Bytes Tcmd::BuildFrame(const FieldMap& fields) const {
  auto frame = com::vantor::BuildFrame(name_, fields, LengthForm::Two);
  // A value or body of 64 KiB or more cannot be framed; truncating would
  // send a corrupt request.
  if (!frame) throw ExecResult::Error("Tcmd::BuildSendData : ARGUMENT_ERR(-16)", kArgumentCode1, kSendCode2);
  return std::move(*frame);
}

void Tcmd::ParseRecvData(int /*phase*/, std::string_view answer) {
  auto body = ParseFrame(answer);
  accepted_ = body && body->name == name_;
  if (!accepted_) return;
  recvFields_ = std::move(body->fields);
  if (auto status = GetRecvField("STATUS")) TakeStatus(*status);
}

void Tcmd::TakeStatus(std::string_view value) {
  if (value.size() != kStatusLength) return;
  statusGroup_ = LeadingNumber(value.substr(0, 4));
  statusDetail_ = LeadingNumber(value.substr(5, 4));
}

int Tcmd::GetRecvTimeout(int /*phase*/) const { return kDefaultRecvTimeout; }

bool Tcmd::IsContinue(int /*phase*/) const { return false; }

int Tcmd::GetInterval() const { return kDefaultInterval; }

}  // namespace com::vantor
