#include "ChTypeText.h"

#include <cmath>

namespace vantor::detail::text {

std::string Fixed(int64_t value, int places) {
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  std::string digits = std::to_string(magnitude);
  if (places > 0) {
    if (digits.size() <= static_cast<size_t>(places)) digits.insert(0, places + 1 - digits.size(), '0');
    digits.insert(digits.size() - places, 1, '.');
  }
  return value < 0 ? "-" + digits : digits;
}

double RoundForDisplay(double x, const Rounding* steps, int count) {
  for (int i = 0; i < count; ++i) {
    if (x > steps[i].above) {
      double unit = std::pow(10.0, steps[i].exponent);
      // Divide by 10^-n rather than multiply by 10^n so tenths stay exact.
      return steps[i].exponent >= 0 ? std::floor(x / unit + 0.1) * unit
                                    : std::floor(x * (1.0 / unit) + 0.1) / (1.0 / unit);
    }
  }
  return x;
}

}  // namespace vantor::detail::text
