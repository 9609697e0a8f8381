#pragma once
// The monitor's alarm settings read from its options (and configuration
// file, merged in first): the rules, the channels and the metrics file,
// each checked before the monitor starts.

#include <optional>
#include <string>

#include "lm/monitor/config/OptionValues.h"
#include "lm/monitor/rules/AlarmRules.h"
#include "lm/monitor/mail/MailChannel.h"
#include "lm/monitor/outbox/NoticeChannel.h"
#include "lm/monitor/outbox/OutboxDispatcher.h"

namespace lm::monitor {

struct AlarmSettings {
  AlarmRules rules;
  std::optional<std::string> webhook;
  std::optional<MailSettings> mail;
  std::optional<std::string> metricsFile;
  RetryPlan retry;
  TransferLimits limits;
};

// The settings, or nullopt with the first fault in `problem`: a number out
// of range, a URL of the wrong kind, mail without a relay, a credentials
// file others may read, a metrics file in a folder that does not exist.
std::optional<AlarmSettings> ReadAlarmSettings(const OptionValues& merged, std::string& problem);

// The channels the settings name, for the outbox.
std::vector<std::unique_ptr<NoticeChannel>> MakeChannels(const AlarmSettings& settings);

// "webhook http://…, mail to a@b via smtp://…, metrics FILE" (or "none").
std::string ChannelsText(const AlarmSettings& settings);

}  // namespace lm::monitor
