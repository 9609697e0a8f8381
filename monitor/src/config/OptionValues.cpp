#include "lm/monitor/config/OptionValues.h"

#include <cctype>

namespace lm::monitor {

std::optional<long> ParseWhole(const std::string& text, long lo, long hi) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  long value = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < lo || value > hi) return std::nullopt;
  return value;
}

}  // namespace lm::monitor
