// Properties over every raw value of every 16-bit channel type: nothing
// crashes, and inside the valid range real -> raw -> real is stable and the
// steps move monotonically without leaving the limits.
#include <gtest/gtest.h>

#include "vantor/detail/VtChType.h"

namespace vantor::detail {
namespace {

constexpr int kSixteenBitCodes[] = {13, 14, 65, 66, 67, 73, 77, 85, 129, 146, 208, 209, 329, 341, 352, 384, 1001, 999};

class ChTypeProperty : public ::testing::TestWithParam<int> {
 protected:
  const VtChTypeBase& type_ = VtChTypeBase::FromCode(GetParam());
  int32_t minInt_ = type_.RawToInt(type_.MinRaw());
  int32_t maxInt_ = type_.RawToInt(type_.MaxRaw());
};

TEST_P(ChTypeProperty, EveryRawValueConvertsAndFormats) {
  for (uint32_t r = 0; r <= 0xFFFF; ++r) {
    auto raw = static_cast<uint16_t>(r);
    std::string text;
    type_.Format(raw, true, text);
    ASSERT_FALSE(text.empty()) << raw;
    (void)type_.RoundedReal(raw);
    (void)type_.StepUp(raw);
    (void)type_.StepDown(raw);
    (void)type_.RealToRaw(type_.RawToReal(raw));
    ASSERT_EQ(type_.IsNoValue(raw), text == "----") << raw;
  }
}

TEST_P(ChTypeProperty, RealToRawToRealIsStableInRange) {
  for (uint32_t r = 0; r <= 0xFFFF; ++r) {
    auto raw = static_cast<uint16_t>(r);
    if (!type_.IsInRange(raw)) continue;
    double real = type_.RawToReal(raw);
    uint16_t back = type_.RealToRaw(real);
    ASSERT_EQ(type_.RawToReal(back), real) << "raw " << raw << " -> " << back;
    ASSERT_EQ(type_.RawToInt(type_.IntToRaw(type_.RawToInt(raw))), type_.RawToInt(raw)) << raw;
  }
}

TEST_P(ChTypeProperty, StepsAreMonotonicAndStayInsideTheLimits) {
  for (uint32_t r = 0; r <= 0xFFFF; ++r) {
    auto raw = static_cast<uint16_t>(r);
    if (!type_.IsInRange(raw)) continue;
    int32_t v = type_.RawToInt(raw);
    int32_t up = type_.RawToInt(type_.StepUp(raw));
    int32_t down = type_.RawToInt(type_.StepDown(raw));
    ASSERT_TRUE(up > v || (up == v && v == maxInt_)) << "up from " << raw;
    ASSERT_TRUE(down < v || (down == v && v == minInt_)) << "down from " << raw;
    ASSERT_LE(up, maxInt_) << raw;
    ASSERT_GE(down, minInt_) << raw;
  }
}

INSTANTIATE_TEST_SUITE_P(AllTypes, ChTypeProperty, ::testing::ValuesIn(kSixteenBitCodes));

}  // namespace
}  // namespace vantor::detail
