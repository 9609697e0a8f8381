#pragma once
// Digit layouts shared by the channel types.

#include <cstdint>
#include <string>

namespace vantor::detail::text {

// The integer with a decimal point `places` digits from the right, padded
// with zeros ("0.05" for 5 with 2 places); negatives as "-" and the
// magnitude.
std::string Fixed(int64_t value, int places);

// Rounds x for display: the first threshold x lies above decides the unit
// 10^exponent; the rounding adds 0.1 of the unit before truncating. Values
// at or below every threshold are returned unchanged.
struct Rounding {
  double above;
  int exponent;
};
double RoundForDisplay(double x, const Rounding* steps, int count);

}  // namespace vantor::detail::text
