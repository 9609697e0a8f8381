#include <curl/curl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>

#include "lm/monitor/mail/MailChannel.h"
#include "lm/monitor/config/Secrets.h"
#include "lm/monitor/outbox/NoticeFormat.h"

namespace lm::monitor {
namespace {

struct Upload {
  const std::string& text;
  size_t sent = 0;
};

size_t ReadUpload(char* buffer, size_t size, size_t count, void* data) {
  auto* upload = static_cast<Upload*>(data);
  const size_t n = std::min(size * count, upload->text.size() - upload->sent);
  std::memcpy(buffer, upload->text.data() + upload->sent, n);
  upload->sent += n;
  return n;
}

std::string Angle(const std::string& address) { return "<" + address + ">"; }

}  // namespace

std::string MailChannel::Destination() const {
  std::string text = settings_.smtpUrl + " " + settings_.user;
  for (const std::string& to : settings_.to) text += " " + to;
  return ReceiverId("mail", text);
}

std::string MailChannel::Describe() const {
  std::string to;
  for (const std::string& a : settings_.to) to += (to.empty() ? "" : ",") + a;
  return "mail to " + to + " via " + HiddenUrl(settings_.smtpUrl) + (settings_.digest ? " (daily digest)" : "");
}

std::chrono::milliseconds MailChannel::Gather() const {
  return settings_.digest ? std::chrono::hours(24) : std::chrono::milliseconds(0);
}

std::string MailChannel::Send(const std::vector<Notice>& notices, int64_t id, const std::atomic<bool>& stop) {
  if (notices.empty()) return "";
  MailHeader header{settings_.from, settings_.to, notices.front().startsAt, ""};
  header.date = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::system_clock::now().time_since_epoch()).count();
  // The same notice sent again (after a kill between the send and its mark)
  // keeps its Message-ID, so a mail reader can drop the repeat.
  header.messageId = "notice-" + std::to_string(id) + "." + Fingerprint(notices.front().key) + "@" + settings_.messageDomain;
  const std::string message = settings_.digest || notices.size() > 1 ? DigestMessage(header, notices)
                                                                     : MailMessage(header, notices.front());
  CurlTransfer transfer(settings_.smtpUrl, "smtp,smtps", limits_, &stop);
  CURL* curl = transfer.Handle();
  curl_easy_setopt(curl, CURLOPT_MAIL_FROM, Angle(settings_.from).c_str());
  curl_slist* rcpt = nullptr;
  for (const std::string& to : settings_.to) rcpt = curl_slist_append(rcpt, Angle(to).c_str());
  curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, rcpt);
  curl_easy_setopt(curl, CURLOPT_USE_SSL, settings_.startTls ? CURLUSESSL_ALL : CURLUSESSL_NONE);
  if (!settings_.user.empty()) {
    curl_easy_setopt(curl, CURLOPT_USERNAME, settings_.user.c_str());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, settings_.password.c_str());
  }
  Upload upload{message};
  curl_easy_setopt(curl, CURLOPT_READFUNCTION, ReadUpload);
  curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
  curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
  const std::string error = transfer.Perform();
  curl_slist_free_all(rcpt);
  return error;
}

std::optional<SmtpCredentials> ReadSmtpCredentials(const std::string& path, std::string& error) {
  if (std::string why = FileModeProblem(path, true); !why.empty()) return error = why, std::nullopt;
  std::ifstream in(path);
  SmtpCredentials c;
  if (!in || !std::getline(in, c.user) || !std::getline(in, c.password) || c.user.empty()) {
    error = path + " must hold two lines: the user name, then the password";
    return std::nullopt;
  }
  for (std::string* s : {&c.user, &c.password}) {
    if (!s->empty() && s->back() == '\r') s->pop_back();
  }
  return c;
}

}  // namespace lm::monitor
