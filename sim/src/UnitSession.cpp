#include "linkmeter/sim/UnitSession.h"

#include "linkmeter/sim/CommandTable.h"

namespace linkmeter::sim {
namespace {

std::int64_t UnixNow() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

UnitSession::UnitSession(UnitState& unit, const RadioModel& radio, const CommandTable& commands,
                         Transcript& transcript)
    : unit_(unit), radio_(radio), commands_(commands), transcript_(transcript) {}

sim::Answer UnitSession::Compose(const com::vantor::TBody& request) {
  const Handler* handler = commands_.Find(request.name);
  if (!handler) return WithStatus(status::kUnknownCommand);
  std::lock_guard lock(unit_.mutex);
  Exchange x{request, unit_, conversation_, radio_, UnixNow(), std::chrono::steady_clock::now()};
  return (*handler)(x);
}

Reply UnitSession::Answer(const std::string& frame) {
  transcript_.Received(unit_.design.serial, frame);
  auto request = com::vantor::ParseFrame(frame);
  if (!request) {
    transcript_.Note(unit_.design.serial, "request not understood, no answer");
    return {};
  }
  FaultEffect effect = unit_.faults.Take(request->name);
  if (effect.close) {
    transcript_.Note(unit_.design.serial, "fault: closing the connection");
    return {.bytes = {}, .delayMs = effect.delayMs, .close = true};
  }
  if (effect.noAnswer) {
    transcript_.Note(unit_.design.serial, "fault: no answer");
    return {.bytes = {}, .delayMs = effect.delayMs, .close = false};
  }
  sim::Answer fields = effect.status ? WithStatus(*effect.status) : Compose(*request);
  Withhold(request->name, effect.withhold, fields);
  for (const auto& [key, value] : effect.fields) fields[key] = value;
  for (const auto& [key, at] : effect.corrupt) {
    auto field = fields.find(key);
    if (field == fields.end() || static_cast<std::size_t>(at) >= field->second.size()) continue;
    field->second[at] = static_cast<char>(~field->second[at]);
  }
  return Frame(request->name, fields, effect);
}

void UnitSession::Withhold(const std::string& name, bool withhold, sim::Answer& fields) {
  auto data = fields.find("DATA");
  if (data == fields.end()) return;
  if (withhold) {
    transcript_.Note(unit_.design.serial, "fault: DATA withheld");
    withheld_[name] += data->second;
    data->second.clear();
  } else if (auto kept = withheld_.find(name); kept != withheld_.end()) {
    data->second.insert(0, kept->second);
    withheld_.erase(kept);
  }
}

Reply UnitSession::Login(const std::string& frame, bool& accepted) {
  transcript_.Received(unit_.design.serial, frame);
  auto request = com::vantor::ParseFrame(frame);
  auto password = request ? request->Find("PW") : std::nullopt;
  accepted = request && request->name == "LOGIN" && password && *password == unit_.design.lanPassword;
  if (!accepted) transcript_.Note(unit_.design.serial, "login refused");
  return Frame("LOGIN", WithStatus(accepted ? status::kLoginAccepted : status::kLoginRefused), FaultEffect{});
}

Reply UnitSession::Frame(const std::string& name, const sim::Answer& fields, const FaultEffect& effect) {
  const std::string sentName = effect.wrongName ? (name == "XXXXX" ? "YYYYY" : "XXXXX") : name;
  auto frame = com::vantor::BuildFrame(sentName, fields, com::vantor::LengthForm::Two);
  if (!frame) frame = com::vantor::BuildFrame(sentName, fields, com::vantor::LengthForm::Four);
  Reply reply{frame.value_or(std::string()), effect.delayMs, false};
  if (effect.badChecksum && !reply.bytes.empty()) reply.bytes.back() = static_cast<char>(reply.bytes.back() + 1);
  if (effect.truncated) reply.bytes.resize(reply.bytes.size() / 2);
  return reply;
}

}  // namespace linkmeter::sim
