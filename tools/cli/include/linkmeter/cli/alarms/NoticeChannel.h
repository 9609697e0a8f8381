#pragma once
// A way notices leave the monitor: the webhook or e-mail. The outbox hands
// a channel its notices oldest first; a channel sends one at a time, or a
// digest takes every notice waiting at once.

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "linkmeter/cli/alarms/AlarmEngine.h"
#include "linkmeter/cli/alarms/CurlTransfer.h"

namespace linkmeter::cli::alarms {

class NoticeChannel {
 public:
  virtual ~NoticeChannel() = default;
  // "webhook", "mail": the outbox keeps each channel's notices apart.
  virtual std::string Name() const = 0;
  // How long the oldest notice waits before a send (a daily digest: a day).
  virtual std::chrono::milliseconds Gather() const { return std::chrono::milliseconds(0); }
  // Sends `notices` (one, unless Gather() collects); "" when the receiver
  // took them, else why not. `id` names the first one (a message id).
  virtual std::string Send(const std::vector<Notice>& notices, int64_t id, const std::atomic<bool>& stop) = 0;
};

class WebhookChannel : public NoticeChannel {
 public:
  WebhookChannel(std::string url, TransferLimits limits) : url_(std::move(url)), limits_(limits) {}
  std::string Name() const override { return "webhook"; }
  std::string Send(const std::vector<Notice>& notices, int64_t id, const std::atomic<bool>& stop) override;

 private:
  std::string url_;
  TransferLimits limits_;
};

struct MailSettings {
  std::string smtpUrl;   // smtp://host:port or smtps://host:port
  bool startTls = true;  // smtp://: require STARTTLS before anything is sent
  std::string from;
  std::vector<std::string> to;
  std::string user, password;  // from the credentials file; empty: none
  bool digest = false;         // one message a day with every notice
};

class MailChannel : public NoticeChannel {
 public:
  MailChannel(MailSettings settings, TransferLimits limits) : settings_(std::move(settings)), limits_(limits) {}
  std::string Name() const override { return "mail"; }
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

}  // namespace linkmeter::cli::alarms
