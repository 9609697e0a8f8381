#include "lm/monitor/config/Duration.h"

#include <cctype>
#include <cstdint>

namespace lm::monitor {
namespace {

constexpr int64_t kMaxSeconds = 7 * 24 * 3600;

int64_t UnitSeconds(char unit) {
  switch (unit) {
    case 'd': return 24 * 3600;
    case 'h': return 3600;
    case 'm': return 60;
    case 's': return 1;
    default: return 0;
  }
}

}  // namespace

std::optional<Seconds> ParseDuration(const std::string& text) {
  int64_t total = 0;
  int64_t lastUnit = INT64_MAX;
  std::size_t at = 0;
  if (text.empty()) return std::nullopt;
  while (at < text.size()) {
    int64_t number = 0;
    std::size_t digits = 0;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at, ++digits) {
      number = number * 10 + (text[at] - '0');
      if (number > kMaxSeconds) return std::nullopt;
    }
    if (digits == 0 || at == text.size()) return std::nullopt;
    const int64_t unit = UnitSeconds(text[at++]);
    // Each unit once, largest first: "1h30m", never "30m1h" or "1m1m".
    if (unit == 0 || unit >= lastUnit) return std::nullopt;
    lastUnit = unit;
    total += number * unit;
    if (total > kMaxSeconds) return std::nullopt;
  }
  if (total == 0) return std::nullopt;
  return Seconds(total);
}

std::string FormatDuration(Seconds duration) {
  int64_t left = duration.count();
  if (left <= 0) return "0s";
  std::string text;
  for (char unit : {'d', 'h', 'm', 's'}) {
    const int64_t size = UnitSeconds(unit);
    const int64_t count = left / size;
    left %= size;
    if (count > 0 || (!text.empty() && left > 0)) text += std::to_string(count) + unit;
  }
  return text;
}

}  // namespace lm::monitor
