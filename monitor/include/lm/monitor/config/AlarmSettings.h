#pragma once
// The monitor's alarm settings read from its options (and configuration
// file, merged in first): the rules, the channels and the metrics file,
// each checked before the monitor starts.

#include <optional>
#include <string>
#include <vector>

#include "lm/monitor/config/OptionValues.h"
#include "lm/monitor/rules/AlarmRules.h"
#include "lm/monitor/mail/MailChannel.h"
#include "lm/monitor/outbox/NoticeChannel.h"
#include "lm/monitor/outbox/OutboxDispatcher.h"
#include "lm/monitor/sync/TeamSyncWorker.h"
#include "lm/records/Thinning.h"

namespace lm::monitor {

struct AlarmSettings {
  std::string monitor;  // the instance: "monitor-" and the unit it watches
  AlarmRules rules;
  std::optional<std::string> webhook;
  std::optional<MailSettings> mail;
  std::optional<std::string> metricsFile;
  RetryPlan retry;
  TransferLimits limits;
  std::optional<SyncSettings> sync;
  lm::records::RetentionPolicy retention;  // days: --keep-probes, --keep-hop-stats
  std::vector<std::string> secrets;  // every password and token the settings hold, never to be printed
};

// The settings, or nullopt with the first fault in `problem`: a number out
// of range, a URL of the wrong kind, mail without a relay, a credentials
// file others may read or write, a metrics file in a folder that does not
// exist, a password or token that would travel without TLS (docs/alarms.md,
// "Secrets"). `problem` never holds a secret.
std::optional<AlarmSettings> ReadAlarmSettings(const OptionValues& merged, std::string& problem);

// The Message-IDs' right-hand side of a monitor: "monitor-009A0011.linkmeter".
std::string MessageDomain(const std::string& monitor);

// The channels the settings name, for the outbox.
std::vector<std::unique_ptr<NoticeChannel>> MakeChannels(const AlarmSettings& settings);

// "webhook http://…, mail to a@b via smtp://…, metrics FILE, team server S"
// (or "none"), every password and token shown as "***".
std::string ChannelsText(const AlarmSettings& settings);

}  // namespace lm::monitor
