#include "lm/monitor/AlarmMonitor.h"

#include <ostream>

#include "lm/monitor/metrics/MetricsFile.h"
#include "lm/monitor/config/Secrets.h"
#include "lm/monitor/outbox/NoticeFormat.h"
#include "lm/monitor/loop/MonitorLog.h"
#include "lm/records/AlarmLedger.h"

namespace lm::monitor {
namespace {

std::vector<AlarmMonitor::Receiver> ReceiversOf(const AlarmSettings& s) {
  std::vector<AlarmMonitor::Receiver> receivers;
  for (const auto& c : MakeChannels(s)) receivers.push_back({c->Name(), c->Destination()});
  return receivers;
}

lm::records::AlarmRoundWrite RoundWrite(int64_t serial, int64_t at, const EngineState& state,
                                        const RoundOutcome& outcome, const std::string& monitor,
                                        const std::vector<AlarmMonitor::Receiver>& receivers) {
  lm::records::AlarmRoundWrite w;
  w.siteSerial = serial;
  w.at = at;
  w.stateJson = lm::json::ToText(StateToJson(state));
  for (const AlarmEvent& e : outcome.events) {
    w.events.push_back({0, serial, e.key, e.kind, e.at, std::nullopt, e.summary, lm::json::ToText(e.detail)});
  }
  for (const Notice& n : outcome.notices) {
    const std::string json = lm::json::ToText(NoticeToJson(n));
    for (const auto& r : receivers) w.notices.push_back({0, r.kind, n.key, n.status, at, json, monitor, r.destination});
  }
  return w;
}

int Member(const lm::json::Value& v, const char* group, const char* key, int otherwise) {
  if (!v.is<lm::json::Object>() || !v.contains(group) || !v.get(group).is<lm::json::Object>()) return otherwise;
  const lm::json::Value& g = v.get(group);
  return g.contains(key) && lm::json::IsIntegral(g.get(key), 1, 255) ? static_cast<int>(g.get(key).get<double>())
                                                                      : otherwise;
}

}  // namespace

void TakeThresholds(AlarmRules& rules, const lm::json::Value& thresholds) {
  rules.levelWeak = Member(thresholds, "level", "weak", rules.levelWeak);
  rules.batteryOk = Member(thresholds, "battery", "ok", rules.batteryOk);
}

std::optional<int64_t> SerialNumberOf(const std::string& hex) {
  if (hex.size() != 8) return std::nullopt;
  int64_t n = 0;
  for (char c : hex) {
    const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                      : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                      : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                                               : -1;
    if (digit < 0) return std::nullopt;
    n = n * 16 + digit;
  }
  return n;
}

AlarmMonitor::AlarmMonitor(AlarmSettings settings, std::unique_ptr<lm::records::AlarmLedger> ledger,
                           std::ostream& log, std::ostream& err)
    : settings_(std::move(settings)),
      engine_(settings_.rules),
      ledger_(std::move(ledger)),
      receivers_(ReceiversOf(settings_)),
      dispatcher_(*ledger_, settings_.monitor, MakeChannels(settings_), settings_.retry, err),
      log_(log) {}

AlarmMonitor::~AlarmMonitor() { Stop(); }

void AlarmMonitor::Start() { dispatcher_.Start(); }

void AlarmMonitor::Stop() { dispatcher_.Stop(); }

int AlarmMonitor::Firing() const {
  int firing = 0;
  for (const auto& [serial, state] : states_) {
    for (const auto& [key, s] : state.subjects) firing += s.firing ? 1 : 0;
  }
  return firing;
}

EngineState& AlarmMonitor::StateOf(int64_t serial) {
  auto it = states_.find(serial);
  if (it != states_.end()) return it->second;
  // Notices an older build left unaddressed: this site's monitor sends them.
  char prefix[16];
  std::snprintf(prefix, sizeof prefix, "%08llX/", static_cast<unsigned long long>(serial));
  for (const auto& r : receivers_) {
    if (ledger_->ClaimUnaddressed(settings_.monitor, r.destination, r.kind, prefix) > 0) dispatcher_.Wake();
  }
  EngineState state;
  if (auto text = ledger_->LoadState(serial)) {
    if (auto json = lm::json::Parse(*text)) state = StateFromJson(*json);
  }
  return states_[serial] = std::move(state);
}

Silences AlarmMonitor::ActiveSilences(int64_t serial, int64_t at) {
  Silences silences;
  for (const auto& s : ledger_->Silences(at)) {
    if (!s.siteSerial || *s.siteSerial == serial) silences.push_back(s.subject);
  }
  return silences;
}

void AlarmMonitor::OnRound(const lm::json::Value& survey, const std::string& site, const std::string& siteName,
                           int64_t at) {
  const auto serial = SerialNumberOf(site);
  if (!serial) return;
  const RoundObservation round = ObserveSurvey(survey, site, siteName, at);
  try {
    // The state moves on only once its round is kept: a failed write leaves
    // the rules where the records have them.
    EngineState next = StateOf(*serial);
    const RoundOutcome outcome = engine_.Step(next, round, ActiveSilences(*serial, at));
    ledger_->SaveRound(RoundWrite(*serial, at, next, outcome, settings_.monitor, receivers_));
    states_[*serial] = std::move(next);
    for (const AlarmEvent& e : outcome.events) {
      // Names come from the units: quoted so no name can split the line.
      log_ << UtcText(std::chrono::system_clock::time_point(std::chrono::milliseconds(e.at))) << " alarm="
           << e.kind << " key=" << LogWord(e.key) << " summary=" << QuotedLogWord(e.summary) << "\n";
    }
    log_ << std::flush;
    if (!outcome.notices.empty()) dispatcher_.Wake();
  } catch (const std::exception& e) {
    log_ << UtcText(std::chrono::system_clock::now()) << " alarms failed="
         << QuotedLogWord(std::string("site records: ") + e.what()) << "\n" << std::flush;
  }
  if (settings_.metricsFile) {
    const std::string why = WriteFileAtomically(*settings_.metricsFile, MetricsText(round, StateOf(*serial)));
    if (!why.empty()) log_ << UtcText(std::chrono::system_clock::now()) << " metrics failed=" << QuotedLogWord(why) << "\n" << std::flush;
  }
}

bool SendTestNotices(const AlarmSettings& settings, const std::string& site, const std::string& siteName,
                     std::ostream& out) {
  const int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::system_clock::now().time_since_epoch()).count();
  const Notice notice = TestNotice(site, siteName, now);
  const std::atomic<bool> never{false};
  bool all = true;
  for (const auto& channel : MakeChannels(settings)) {
    const std::string why = channel->Send({notice}, now, never);
    out << channel->Name() << ": " << (why.empty() ? "test notice sent" : "failed: " + Scrubbed(why, settings.secrets)) << "\n";
    all = all && why.empty();
  }
  return all;
}

}  // namespace lm::monitor
