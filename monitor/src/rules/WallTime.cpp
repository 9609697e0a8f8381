#include "lm/monitor/rules/WallTime.h"

#include <chrono>
#include <ctime>

namespace lm::monitor {

int64_t WallNowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string UtcFormat(int64_t ms, const char* format) {
  const std::time_t t = static_cast<std::time_t>(ms / 1000);
  std::tm utc{};
  gmtime_r(&t, &utc);
  char text[64];
  return std::strftime(text, sizeof text, format, &utc) ? text : "";
}

}  // namespace lm::monitor
