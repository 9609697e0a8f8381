#include "lm/monitor/outbox/CurlTransfer.h"

#include <curl/curl.h>

#include <mutex>
#include <stdexcept>

namespace lm::monitor {
namespace {

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

int Progress(void* stop, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto* flag = static_cast<const std::atomic<bool>*>(stop);
  return flag && flag->load() ? 1 : 0;  // non-zero aborts the transfer
}

size_t Discard(char*, size_t size, size_t count, void*) { return size * count; }

}  // namespace

CurlTransfer::CurlTransfer(const std::string& url, const std::string& protocols, TransferLimits limits,
                           const std::atomic<bool>* stop)
    : stop_(stop) {
  GlobalInit();
  curl_ = curl_easy_init();
  if (!curl_) throw std::runtime_error("libcurl could not start a transfer");
  curl_easy_setopt(curl_, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl_, CURLOPT_PROTOCOLS_STR, protocols.c_str());
  curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl_, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connect.count()));
  curl_easy_setopt(curl_, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.total.count()));
  curl_easy_setopt(curl_, CURLOPT_ERRORBUFFER, error_);
  curl_easy_setopt(curl_, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl_, CURLOPT_XFERINFOFUNCTION, Progress);
  curl_easy_setopt(curl_, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(stop_));
  curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, Discard);
}

CurlTransfer::~CurlTransfer() {
  if (curl_) curl_easy_cleanup(curl_);
}

std::string CurlTransfer::Perform() {
  error_[0] = '\0';
  const CURLcode rc = curl_easy_perform(curl_);
  long status = 0;
  curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &status);
  char* scheme = nullptr;
  curl_easy_getinfo(curl_, CURLINFO_SCHEME, &scheme);
  const bool http = scheme && (std::string(scheme) == "HTTP" || std::string(scheme) == "HTTPS" ||
                               std::string(scheme) == "http" || std::string(scheme) == "https");
  if (rc != CURLE_OK) {
    if (rc == CURLE_ABORTED_BY_CALLBACK) return "stopped";
    const std::string said = std::string(curl_easy_strerror(rc)) + (error_[0] ? std::string(": ") + error_ : "");
    // A mail relay's refusal in its own code, which libcurl's words may not name.
    if (!http && status >= 400) {
      return "the mail relay answered " + std::to_string(status) +
             (status < 500 ? " (try again later)" : " (refused)") + ": " + said;
    }
    return said;
  }
  if (http && (status < 200 || status > 299)) return "HTTP " + std::to_string(status);
  return "";
}

}  // namespace lm::monitor
