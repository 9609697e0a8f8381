#pragma once
// The monitor's alarm settings read from its options (and configuration
// file, merged in first): the rules, the channels and the metrics file,
// each checked before the monitor starts.

#include <optional>
#include <string>

#include "linkmeter/cli/ArgParser.h"
#include "linkmeter/cli/alarms/AlarmRules.h"
#include "linkmeter/cli/alarms/NoticeChannel.h"
#include "linkmeter/cli/alarms/OutboxDispatcher.h"

namespace linkmeter::cli::alarms {

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
std::optional<AlarmSettings> ReadAlarmSettings(const ParsedArgs& merged, std::string& problem);

// The channels the settings name, for the outbox.
std::vector<std::unique_ptr<NoticeChannel>> MakeChannels(const AlarmSettings& settings);

// "webhook http://…, mail to a@b via smtp://…, metrics FILE" (or "none").
std::string ChannelsText(const AlarmSettings& settings);

}  // namespace linkmeter::cli::alarms
