#pragma once
// A notice as the outbox keeps it (channel-neutral JSON) and as each
// channel sends it: the webhook body receivers of alert-manager webhooks
// take, and an e-mail message (one per notice, or a digest of several).
// docs/alarms.md shows each with an example.

#include <cstdint>
#include <string>
#include <vector>

#include "lm/monitor/rules/AlarmEngine.h"
#include "lm/Json.h"

namespace lm::monitor {

lm::json::Value NoticeToJson(const Notice& notice);
// A stored notice read back; members missing or of the wrong type read as
// empty, so a damaged row is still sent rather than holding up the ones
// behind it.
Notice NoticeFromJson(const lm::json::Value& json);

// A test notice of base unit `site` (its serial; "" when not known yet)
// named `siteName`, labelled as real notices are.
Notice TestNotice(const std::string& site, const std::string& siteName, int64_t at);

// "2026-12-09T06:00:00.000Z"; 0 gives the "0001-01-01T00:00:00Z" that means
// "not ended".
std::string Rfc3339(int64_t ms);

// The webhook's JSON body for one notice.
std::string WebhookBody(const Notice& notice);

struct MailHeader {
  std::string from;
  std::vector<std::string> to;
  int64_t date = 0;       // ms
  std::string messageId;  // without the angle brackets
};

// The whole message, CRLF line ends, header fields cleaned of line breaks,
// a subject outside ASCII encoded as RFC 2047 says.
std::string MailMessage(const MailHeader& header, const Notice& notice);
std::string DigestMessage(const MailHeader& header, const std::vector<Notice>& notices);

// A stable 16-hex-digit fingerprint of an alarm key.
std::string Fingerprint(const std::string& key);

}  // namespace lm::monitor
