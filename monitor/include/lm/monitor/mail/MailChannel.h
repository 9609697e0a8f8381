#pragma once
// Notices by e-mail through an SMTP relay (libcurl): one message a notice,
// or a daily digest; the relay's user and password from a file of their own.

#include <optional>
#include <string>
#include <vector>

#include "lm/monitor/outbox/CurlTransfer.h"
#include "lm/monitor/outbox/NoticeChannel.h"

namespace lm::monitor {

struct MailSettings {
  std::string smtpUrl;   // smtp://host:port or smtps://host:port
  bool startTls = true;  // smtp://: require STARTTLS before anything is sent
  std::string from;
  std::vector<std::string> to;
  std::string user, password;  // from the credentials file; empty: none
  bool digest = false;         // one message a day with every notice
  std::string messageDomain = "linkmeter";  // the Message-IDs' right-hand side: the monitor's
};

class MailChannel : public NoticeChannel {
 public:
  MailChannel(MailSettings settings, TransferLimits limits) : settings_(std::move(settings)), limits_(limits) {}
  std::string Name() const override { return "mail"; }
  std::string Destination() const override;
  std::string Describe() const override;
  std::chrono::milliseconds Gather() const override;
  std::string Send(const std::vector<Notice>& notices, int64_t id, const std::atomic<bool>& stop) override;

 private:
  MailSettings settings_;
  TransferLimits limits_;
};

// The user name and password of an SMTP relay, from a file of two lines
// (user, then password). A file that its group or others may read is
// refused. Nullopt with `error` set.
struct SmtpCredentials {
  std::string user, password;
};
std::optional<SmtpCredentials> ReadSmtpCredentials(const std::string& path, std::string& error);

}  // namespace lm::monitor
