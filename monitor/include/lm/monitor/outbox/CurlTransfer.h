#pragma once
// One libcurl transfer with the monitor's bounds: a connect timeout, a
// whole-transfer timeout, no signals, only the protocols asked for, and an
// abort as soon as the stop flag is set.

#include <atomic>
#include <chrono>
#include <string>

typedef void CURL;

namespace lm::monitor {

struct TransferLimits {
  std::chrono::milliseconds connect{10000};
  std::chrono::milliseconds total{30000};
};

class CurlTransfer {
 public:
  // `protocols`: "http,https" or "smtp,smtps". Throws std::runtime_error
  // when libcurl cannot make a handle.
  CurlTransfer(const std::string& url, const std::string& protocols, TransferLimits limits,
               const std::atomic<bool>* stop);
  ~CurlTransfer();
  CurlTransfer(const CurlTransfer&) = delete;
  CurlTransfer& operator=(const CurlTransfer&) = delete;

  CURL* Handle() { return curl_; }
  // "" when done, else why not ("HTTP 503", "Couldn't connect to server: ...").
  // An HTTP answer outside 2xx is a failure.
  std::string Perform();

 private:
  CURL* curl_ = nullptr;
  const std::atomic<bool>* stop_;
  char error_[256] = {0};
};

}  // namespace lm::monitor
