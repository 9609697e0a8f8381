#include <curl/curl.h>

#include "lm/monitor/webhook/WebhookChannel.h"
#include "lm/monitor/outbox/NoticeFormat.h"

#include "lm/monitor/config/Secrets.h"

namespace lm::monitor {

std::string WebhookChannel::Destination() const { return ReceiverId("webhook", url_); }

std::string WebhookChannel::Describe() const { return "webhook " + HiddenUrl(url_); }

std::string WebhookChannel::Send(const std::vector<Notice>& notices, int64_t, const std::atomic<bool>& stop) {
  for (const Notice& notice : notices) {
    const std::string body = WebhookBody(notice);
    CurlTransfer transfer(url_, "http,https", limits_, &stop);
    curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/json");
    headers = curl_slist_append(headers, "User-Agent: linkmeter-monitor");
    curl_easy_setopt(transfer.Handle(), CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(transfer.Handle(), CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(transfer.Handle(), CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    const std::string error = transfer.Perform();
    curl_slist_free_all(headers);
    if (!error.empty()) return error;
  }
  return "";
}

}  // namespace lm::monitor
