// Conversions and texts of the channel types at the values that tell a right
// formula from a nearly right one.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

#include "vantor/detail/SeriousError.h"
#include "vantor/detail/VtChType.h"

namespace vantor::detail {
namespace {

const VtChTypeBase& T(int code) { return VtChTypeBase::FromCode(code); }

TEST(ChTypeLookup, CodesFindTheirClassesAndUnknownCodesTheNullType) {
  EXPECT_NE(dynamic_cast<const VtChTypeCELSIUS*>(&T(13)), nullptr);
  EXPECT_NE(dynamic_cast<const VtChTypeFAHRENHEIT*>(&T(14)), nullptr);
  EXPECT_EQ(&T(77), &T(78));
  EXPECT_EQ(&T(333), &T(590));
  EXPECT_NE(dynamic_cast<const VtChTypePULSE_VLRD_CUMULATIVE*>(&T(589)), nullptr);
  EXPECT_NE(dynamic_cast<const VtChTypeVLQX_UINT16*>(&T(1002)), nullptr);
  const VtChTypeBase& null = T(999);
  EXPECT_NE(dynamic_cast<const VtChTypeNull*>(&null), nullptr);
  EXPECT_EQ(null.Width(), 0);
  EXPECT_EQ(&T(0), &null);
  EXPECT_EQ(null.RealToRaw(12.9), 12);  // truncation
  EXPECT_EQ(null.Text(65535), "65535");
  EXPECT_EQ(T(13).Width(), 2);
  EXPECT_EQ(T(333).Width(), 4);
}

TEST(ChTypeLookup, FirstLookupFromManyThreadsYieldsOneObject) {
  std::vector<const VtChTypeBase*> seen(8);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < seen.size(); ++i) threads.emplace_back([&, i] { seen[i] = &T(146); });
  for (auto& t : threads) t.join();
  for (auto* p : seen) EXPECT_EQ(p, seen[0]);
}

TEST(ChTypeTemperature, CelsiusValuesSignsAndNoValue) {
  const auto& c = T(13);
  EXPECT_EQ(c.RawToInt(1250), 250);
  EXPECT_DOUBLE_EQ(c.RawToReal(1250), 25.0);
  EXPECT_EQ(c.Text(1250), "25.0");
  EXPECT_EQ(c.Text(1250, true), "25.0 \xC2\xB0" "C");
  EXPECT_EQ(c.Text(750), "-25.0");
  EXPECT_EQ(c.Text(995), "-0.5");  // sign kept although the whole part is 0
  EXPECT_EQ(c.Text(0xEEEE), "----");
  EXPECT_EQ(c.Text(0xEEEE, true), "----");
  EXPECT_TRUE(c.IsNoValue(0xEEEE));
  EXPECT_EQ(c.MarkerBytes(), (std::vector<uint8_t>{0xEE, 0xEE}));
  EXPECT_EQ(c.RealToRaw(25.0), 1250);
  EXPECT_EQ(c.RealToRaw(-25.0), 750);
  EXPECT_EQ(c.RealToRaw(-273.0), 63806);  // the minimum, a negative int16
}

TEST(ChTypeTemperature, RealsOutsideTheLimitsClampInsteadOfWrapping) {
  const auto& c = T(13);
  EXPECT_EQ(c.RealToRaw(5000.0), c.MaxRaw());
  EXPECT_EQ(c.RealToRaw(-1000.0), c.MinRaw());
  EXPECT_EQ(c.RealToRaw(std::nan("")), c.MinRaw());
  EXPECT_EQ(c.IntToRaw(1 << 30), c.MaxRaw());
}

TEST(ChTypeTemperature, FahrenheitAndHumidity) {
  const auto& f = T(14);
  EXPECT_EQ(f.RawToInt(1250), 770);
  EXPECT_EQ(f.Text(1250), "77.0");
  EXPECT_EQ(f.Text(1250, true), "77.0 \xC2\xB0" "F");
  EXPECT_EQ(f.RealToRaw(77.0), 1250);
  EXPECT_EQ(f.RawToInt(995), 311);  // floor(-0.5 x 1.8 ...) = floor(-0.9) + 320
  EXPECT_EQ(f.RealToRaw(31.1), 995);
  EXPECT_EQ(T(208).Text(1555), "55");
  EXPECT_EQ(T(209).Text(1555), "55.5");
  EXPECT_EQ(T(209).Text(1555, true), "55.5 %");
  EXPECT_EQ(T(208).Text(995), "0");
}

TEST(ChTypePressure, TenthsAndHundredths) {
  EXPECT_EQ(T(65).Text(10132), "1013.2");
  EXPECT_EQ(T(65).Text(0xEEEE), "----");
  const auto& h = T(67);
  EXPECT_EQ(h.RawToInt(51325), 101325);
  EXPECT_EQ(h.Text(51325), "1013.25");
  EXPECT_EQ(h.Text(51325, true), "1013.25 hPa");
  EXPECT_DOUBLE_EQ(h.RawToReal(51325), 1013.25);
  EXPECT_EQ(h.RealToRaw(1013.25), 51325);
  EXPECT_EQ(h.Text(0), "500.00");
  EXPECT_EQ(h.RealToRaw(100.0), 0);  // below the range: the minimum
}

TEST(ChTypeFloating, IlluminanceUnpacksPacksAndFormats) {
  const auto& lx = T(73);
  EXPECT_EQ(lx.RawToInt(0x1FFF), 8190);
  EXPECT_EQ(lx.Text(0x1FFF), "81.90");
  EXPECT_EQ(lx.Text(0x1FFF, true), "81.90 lx");
  EXPECT_EQ(lx.Text(5), "0.05");
  EXPECT_EQ(lx.Text(45), "0.45");
  EXPECT_EQ(lx.Text(0xEEEE), "----");
  EXPECT_EQ(lx.RealToRaw(81.90), 0x1FFF);
  EXPECT_EQ(lx.RealToRaw(40.96), 0x1800);  // 4096 hundredths: first value with exponent 1
  EXPECT_EQ(lx.RealToRaw(40.97), 0x1800);  // not representable: packing truncates
  EXPECT_EQ(lx.RealToRaw(1e12), lx.MaxRaw());
  EXPECT_DOUBLE_EQ(lx.RoundedReal(lx.RealToRaw(123456.0)), 123400.0);  // 123453.44 to hundreds
}

TEST(ChTypeFloating, FormatStepsAcrossExponentBoundaries) {
  using F = VtChTypeFloatingPointNumberType0;
  EXPECT_EQ(F::FloatStepUp(0x0FFF), 0x1800);
  EXPECT_EQ(F::FloatStepDown(0x1800), 0x0FFF);
  EXPECT_EQ(F::FloatStepUp(0x2FFF), 0x3800);
  EXPECT_EQ(F::FloatStepDown(0x3800), 0x2FFF);
  EXPECT_EQ(F::FloatStepUp(0xF123), 0xF124);
  EXPECT_EQ(F::FloatStepUp(0xFFFF), 0xFFFF);
  EXPECT_EQ(F::FloatStepDown(0), 0);
  EXPECT_EQ(F::Pack(8191), 0x1FFF);
  EXPECT_EQ(F::Pack(8192), 0x2800);
  EXPECT_EQ(F::Pack(-5), 0);
  EXPECT_EQ(F::Pack(int64_t{1} << 40), 0xFFFF);
  EXPECT_EQ(T(73).StepUp(T(73).MaxRaw()), T(73).MaxRaw());
}

TEST(ChTypeFloating, CumulativeAndUvTexts) {
  const auto& lxh = T(329);
  EXPECT_EQ(lxh.Text(1234, true), "1234 lxh");
  EXPECT_EQ(lxh.Text(VtChTypeFloatingPointNumberType0::Pack(12346), true)  /* packs to 12344 */, "12.344 klxh");
  EXPECT_FALSE(lxh.IsNoValue(0xEEEE));
  EXPECT_TRUE(lxh.MarkerBytes().empty());
  EXPECT_EQ(T(85).Text(5, true), "0.005 mW/cm2");
  EXPECT_EQ(T(85).Text(2345), "2.345");
  EXPECT_EQ(T(341).Text(123, true), "0.000123 mW/cm2h");
  EXPECT_DOUBLE_EQ(T(85).RoundedReal(2345), 2.345);  // at most 10: unchanged
  EXPECT_DOUBLE_EQ(T(85).RoundedReal(0x2000 | 3086), 12.34);  // 12.344 to hundredths
}

TEST(ChTypeSignedFloating, Co2CurrentAndVoltage) {
  const auto& co2 = T(66);
  EXPECT_EQ(co2.RawToInt(0x8FFF), -1);
  EXPECT_EQ(co2.RawToInt(0x8000), -4096);
  EXPECT_EQ(co2.RawToInt(0x7FFF), 4095 << 7);
  EXPECT_EQ(co2.Text(0x8FFF, true), "-1 ppm");
  EXPECT_TRUE(co2.IsNoValue(0xF000));
  EXPECT_TRUE(co2.IsNoValue(0xF00F));
  EXPECT_FALSE(co2.IsNoValue(0xF010));
  EXPECT_EQ(co2.Text(0xF005), "----");
  EXPECT_EQ(co2.RealToRaw(-1.0), 0x8FFF);
  EXPECT_EQ(co2.RealToRaw(0.0), 0x0000);
  EXPECT_FALSE(co2.IsNoValue(co2.RealToRaw(-1e9)));  // clamps outside the no-value range
  EXPECT_EQ(co2.StepUp(0x8FFF), 0x0000);
  EXPECT_EQ(co2.StepDown(0x0000), 0x8FFF);
  EXPECT_EQ(co2.StepUp(0x0FFF), 0x1800);
  EXPECT_EQ(co2.StepUp(0x7FFF), 0x7FFF);
  EXPECT_EQ(co2.StepDown(0xF000), 0xF000);
  EXPECT_EQ(T(129).Text(co2.RealToRaw(-5), true), "-0.05 mA");
  EXPECT_EQ(T(129).RealToRaw(-0.05), 0x8FFB);
  EXPECT_EQ(T(146).Text(7, true), "0.7 mV");
}

// Magnitudes of 4096 and above are stored normalised (mantissa 0x800 or more
// after halving), even where a raw with mantissa 0 shows the same value:
// 0x8000 and 0x9800 both read -4096, but only 0x9800 may be written.
TEST(ChTypeSignedFloating, PacksLargeMagnitudesNormalised) {
  struct Case {
    int32_t value;
    uint16_t raw;
  };
  const Case cases[] = {
      {-4095, 0x8001}, {-4096, 0x9800}, {-4097, 0x9800} /* truncated towards zero */,
      {-4098, 0x97FF}, {-8190, 0x9001}, {-8192, 0xA800}, {-16384, 0xB800},
      {4095, 0x0FFF},  {4096, 0x1800},  {4097, 0x1800}, {8190, 0x1FFF},
      {8192, 0x2800},
  };
  const auto& co2 = T(66);
  for (const auto& c : cases) {
    EXPECT_EQ(co2.IntToRaw(c.value), c.raw) << c.value;
    EXPECT_EQ(co2.RealToRaw(c.value), c.raw) << c.value;
  }
  // Stepping across the boundary lands on the written form too.
  EXPECT_EQ(co2.StepDown(0x8001), 0x9800);
  EXPECT_EQ(co2.StepUp(0x97FF), 0x9800);
  EXPECT_EQ(co2.StepUp(0x9800), 0x8001);
  // A stored -4096 in the other form still reads and rewrites soundly.
  EXPECT_EQ(co2.RawToInt(0x8000), -4096);
  EXPECT_EQ(co2.IntToRaw(co2.RawToInt(0x8000)), 0x9800);
  EXPECT_EQ(T(129).RealToRaw(-40.96), 0x9800);
  EXPECT_EQ(T(146).RealToRaw(-409.6), 0x9800);
}

TEST(ChTypePrimitive, PulseVlpvVoltageAndVlqx) {
  EXPECT_EQ(T(77).Text(0xEFFF, true), "61439 pulse");
  EXPECT_EQ(T(77).Text(0xF000), "----");
  EXPECT_EQ(T(1001).Text(12, true), "12");
  EXPECT_EQ(T(1001).MarkerBytes(), (std::vector<uint8_t>{0xFF, 0xFF}));
  EXPECT_TRUE(T(352).IsNoValue(0x8000));
  const auto& v = T(384);
  EXPECT_EQ(v.RawToInt(0x4005), -5);
  EXPECT_EQ(v.Text(0x4005, true), "-5 mV");
  EXPECT_DOUBLE_EQ(v.RawToReal(0x4005), -0.005);
  EXPECT_EQ(v.RealToRaw(-0.005), 0x4005);
  EXPECT_EQ(v.StepUp(0x4001), 0x0000);
  EXPECT_EQ(v.StepDown(0x0000), 0x4001);
  EXPECT_EQ(v.StepDown(0x7FFF), 0x7FFF);
}

TEST(ChTypePrimitive, CumulativePulseIs32BitOnly) {
  const auto& base = T(333);
  const auto& p = dynamic_cast<const VtChTypePrimitiveUINT32&>(base);
  EXPECT_EQ(p.MaxRaw32(), 0xFFFFFFFFu);
  EXPECT_EQ(p.StepUp32(0xFFFFFFFFu), 0xFFFFFFFFu);
  EXPECT_EQ(p.StepDown32(0), 0u);
  EXPECT_EQ(p.RealToRaw32(41.95), 42u);  // floor(x + 0.1)
  EXPECT_EQ(p.RealToRaw32(-3), 0u);
  EXPECT_EQ(p.RealToRaw32(1e20), 0xFFFFFFFFu);
  try {
    (void)base.RawToReal(1);
    FAIL() << "16-bit operation of the 32-bit type did not fail";
  } catch (const SeriousError& e) {
    EXPECT_EQ(e.FileName(), "VtChType.cpp");
  }
  EXPECT_THROW(base.StepUp(1), SeriousError);
}

}  // namespace
}  // namespace vantor::detail
