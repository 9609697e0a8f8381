#pragma once
// Notices to an HTTP receiver of alert-manager webhooks: one POST a notice,
// the body NoticeFormat.h gives.

#include <string>

#include "lm/monitor/outbox/CurlTransfer.h"
#include "lm/monitor/outbox/NoticeChannel.h"

namespace lm::monitor {

class WebhookChannel : public NoticeChannel {
 public:
  WebhookChannel(std::string url, TransferLimits limits) : url_(std::move(url)), limits_(limits) {}
  std::string Name() const override { return "webhook"; }
  std::string Destination() const override;
  std::string Describe() const override;
  std::string Send(const std::vector<Notice>& notices, int64_t id, const std::atomic<bool>& stop) override;

 private:
  std::string url_;
  TransferLimits limits_;
};

}  // namespace lm::monitor
