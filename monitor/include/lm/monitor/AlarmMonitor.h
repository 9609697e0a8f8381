#pragma once
// The monitor's alarms: after each finished survey round, the rules move
// on from the state the site records hold, what changed is written there
// (events, state and outbox notices in one transaction), the outbox is
// woken and the metrics file rewritten. The monitor's loop calls OnRound;
// delivery runs on the outbox's own thread.

#include <cstdint>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>

#include "lm/monitor/rules/AlarmEngine.h"
#include "lm/monitor/config/AlarmSettings.h"
#include "lm/monitor/outbox/OutboxDispatcher.h"
#include "lm/Json.h"

namespace lm::records {
class AlarmLedger;
}

namespace lm::monitor {

class AlarmMonitor {
 public:
  // A channel as the outbox addresses it.
  struct Receiver {
    std::string kind;         // "webhook", "mail"
    std::string destination;  // NoticeChannel::Destination()
  };

  // `log` takes the alarm lines (the survey thread's stream), `err` the
  // outbox's lines (its own thread).
  AlarmMonitor(AlarmSettings settings, std::unique_ptr<lm::records::AlarmLedger> ledger, std::ostream& log,
               std::ostream& err);
  ~AlarmMonitor();
  AlarmMonitor(const AlarmMonitor&) = delete;
  AlarmMonitor& operator=(const AlarmMonitor&) = delete;

  // Starts delivering, the notices a previous run left first.
  void Start();
  // `survey`: the judged site survey of base unit `site` (serial) named
  // `siteName`, finished at `at` (ms).
  void OnRound(const lm::json::Value& survey, const std::string& site, const std::string& siteName, int64_t at);
  // Ends delivery; what is left stays in the outbox for the next start.
  void Stop();
  // Alarms firing over every site watched (the round thread's view).
  int Firing() const;

 private:
  EngineState& StateOf(int64_t serial);
  Silences ActiveSilences(int64_t serial, int64_t at);

  AlarmSettings settings_;
  AlarmEngine engine_;
  std::unique_ptr<lm::records::AlarmLedger> ledger_;
  std::vector<Receiver> receivers_;
  OutboxDispatcher dispatcher_;
  std::ostream& log_;
  std::map<int64_t, EngineState> states_;
};

// The page's boundaries (defaultThresholds() of the site logic) into the rules.
void TakeThresholds(AlarmRules& rules, const lm::json::Value& thresholds);

// A site serial (eight hex digits) as the records keep it; nullopt otherwise.
std::optional<int64_t> SerialNumberOf(const std::string& hex);

// One test notice through every channel, sent at once (not through the
// outbox), naming the site as real notices do (its serial, its name); a
// line per channel on `out`. True when every channel took it.
bool SendTestNotices(const AlarmSettings& settings, const std::string& site, const std::string& siteName,
                     std::ostream& out);

}  // namespace lm::monitor
