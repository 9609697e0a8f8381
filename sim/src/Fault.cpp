#include "linkmeter/sim/Fault.h"

#include <algorithm>
#include <array>
#include <utility>

namespace linkmeter::sim {
namespace {

constexpr std::array<std::pair<FaultKind, const char*>, 12> kNames{{
    {FaultKind::kDelay, "delay"},
    {FaultKind::kNoAnswer, "noAnswer"},
    {FaultKind::kBadChecksum, "badChecksum"},
    {FaultKind::kWrongName, "wrongName"},
    {FaultKind::kTruncated, "truncated"},
    {FaultKind::kClose, "close"},
    {FaultKind::kStatus, "status"},
    {FaultKind::kBusy, "busy"},
    {FaultKind::kUnreachable, "unreachable"},
    {FaultKind::kField, "field"},
    {FaultKind::kCorrupt, "corrupt"},
    {FaultKind::kWithhold, "withhold"},
}};

void Apply(const FaultRule& rule, FaultEffect& effect) {
  switch (rule.kind) {
    case FaultKind::kDelay: effect.delayMs += rule.delayMs; break;
    case FaultKind::kNoAnswer: effect.noAnswer = true; break;
    case FaultKind::kBadChecksum: effect.badChecksum = true; break;
    case FaultKind::kWrongName: effect.wrongName = true; break;
    case FaultKind::kTruncated: effect.truncated = true; break;
    case FaultKind::kClose: effect.close = true; break;
    case FaultKind::kStatus:
    case FaultKind::kBusy: effect.status = rule.status; break;
    case FaultKind::kUnreachable: break;
    case FaultKind::kField: effect.fields[rule.field] = rule.value; break;
    case FaultKind::kCorrupt: effect.corrupt.emplace_back(rule.field, rule.at); break;
    case FaultKind::kWithhold: effect.withhold = true; break;
  }
}

}  // namespace

std::optional<FaultKind> FaultKindFromName(const std::string& name) {
  for (const auto& [kind, text] : kNames) {
    if (name == text) return kind;
  }
  return std::nullopt;
}

const char* FaultKindName(FaultKind kind) {
  for (const auto& [k, text] : kNames) {
    if (k == kind) return text;
  }
  return "?";
}

void FaultPlan::Add(FaultRule rule) {
  if (rule.kind == FaultKind::kBusy && rule.status == Status{}) rule.status = status::kClockBusy;
  std::lock_guard lock(mutex_);
  rules_.push_back(std::move(rule));
}

void FaultPlan::Clear() {
  std::lock_guard lock(mutex_);
  rules_.clear();
}

FaultEffect FaultPlan::Take(const std::string& command) {
  std::lock_guard lock(mutex_);
  FaultEffect effect;
  for (auto& rule : rules_) {
    if (rule.kind == FaultKind::kUnreachable) continue;
    if (rule.command != "*" && rule.command != command) continue;
    if (rule.times == 0) continue;
    if (rule.after > 0) {
      --rule.after;  // answers let through before the rule applies
      continue;
    }
    Apply(rule, effect);
    if (rule.times > 0) --rule.times;
  }
  std::erase_if(rules_, [](const FaultRule& r) { return r.times == 0; });
  return effect;
}

bool FaultPlan::Unreachable(std::uint32_t serial) const {
  std::lock_guard lock(mutex_);
  return std::any_of(rules_.begin(), rules_.end(), [serial](const FaultRule& r) {
    return r.kind == FaultKind::kUnreachable && (r.unit == 0 || r.unit == serial);
  });
}

}  // namespace linkmeter::sim
