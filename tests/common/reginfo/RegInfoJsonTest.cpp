// Registration information between bytes and JSON: round trips for every
// model with a view, the fixed byte positions, and the numbered errors.
#include <gtest/gtest.h>

#include "RegInfoTestData.h"
#include "vantor/com/RegInfoJson.h"
#include "vantor/com/RegInfoModel.h"

namespace com::vantor {
namespace {

using lm::json::Value;

using namespace testdata;

std::vector<uint8_t> ToBytes(const Value& json) {
  std::vector<uint8_t> bytes;
  RegInfoError e = RegInfoJsonToBytes(json, bytes);
  EXPECT_EQ(e.code, 0) << e.member;
  return bytes;
}

TEST(RegInfoJson, EveryModelRoundTripsThroughBytes) {
  const std::vector<std::string> units = {
      Vlra("VL-RA", "00B80001", false), Vlra("VL-RB", "00BA0002", false), Vlra("VL-RC", "00BC0003", true),
      Vlra("VL-RE", "00C60004", true),  Vlrd("VL-RD-mA", "mA", "x*2"),  Vlrd("VL-RD-TC", "J", ""),
      Vlrd("VL-RD-Pt", "Pt1000", ""),         Vlrd("VL-RD", "", ""),          Vlrf(),
      Vlrg(),                           Vlrh(),
      R"({"model":"VL-RJ","num":5,"parent":1,"serial":"007C0009"})",
      R"({"model":"UNKOWN","num":6,"parent":0,"serial":"00000001"})",
  };
  for (const auto& unit : units) {
    Value json = Parse(Image(unit));
    auto bytes = ToBytes(json);
    auto back = RegInfoBytesToJson(bytes);
    ASSERT_TRUE(back) << unit;
    EXPECT_EQ(lm::json::ToText(*back), lm::json::ToText(json)) << unit;
    EXPECT_EQ(ToBytes(*back), bytes) << unit;
  }
}

}  // namespace
}  // namespace com::vantor
