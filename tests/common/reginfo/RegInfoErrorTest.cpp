// JSON -> bytes refuses each bad member with its own number and writes nothing.
#include <gtest/gtest.h>

#include "RegInfoTestData.h"
#include "vantor/com/RegInfoJson.h"

namespace com::vantor {
namespace {

using lm::json::Object;
using lm::json::Value;

// Replaces (or with a null `value`, removes) the member at a dotted path.
void Edit(Value& root, const std::string& path, const Value* value) {
  Object* obj = &root.get<Object>();
  std::string rest = path;
  for (auto dot = rest.find('.'); dot != std::string::npos; dot = rest.find('.')) {
    obj = &(*obj)[rest.substr(0, dot)].get<Object>();
    rest = rest.substr(dot + 1);
  }
  if (value) (*obj)[rest] = *value;
  else obj->erase(rest);
}

struct Case {
  std::string unit;  // JSON of the remote unit
  std::string path;
  std::string bad;   // JSON text of the bad value, empty to remove the member
  int code;
};

RegInfoError Convert(const std::string& unit, const std::string& path, const std::string& bad) {
  Value unitJson = testdata::Parse(unit);
  if (bad.empty()) {
    Edit(unitJson, path, nullptr);
  } else {
    Value v = testdata::Parse(bad);
    Edit(unitJson, path, &v);
  }
  Value image = testdata::Parse(testdata::Image(lm::json::ToText(unitJson)));
  std::vector<uint8_t> bytes = {1, 2, 3};
  RegInfoError e = RegInfoJsonToBytes(image, bytes);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 2, 3})) << "output touched on error";
  return e;
}

TEST(RegInfoErrors, EachRemoteUnitMemberHasItsNumber) {
  using namespace testdata;
  const std::string ra = Vlra("VL-RC", "00BC0003", true), rd = Vlrd("VL-RD-mA", "mA", "x"), rf = Vlrf(),
                    rg = Vlrg(), rh = Vlrh();
  const std::vector<Case> cases = {
      {ra, "model", "", 3031},                  {ra, "model", "\"VL-RF\"", 3031},
      {ra, "model", "\"VL-XX\"", 3031},         {ra, "serial", "\"0x00BC0003\"", 3032},
      {ra, "serial", "\"123456789\"", 3032},    {ra, "num", "256", 3033},
      {ra, "ch2.chType", "\"13\"", 3034},       {ra, "ch1", "", 3034},
      {ra, "ch1.judgeTime", "45", 3035},        {ra, "ch2.enableLowerLimit", "1", 3036},
      {ra, "ch1.enableUpperLimit", "", 3037},   {ra, "ch1.lowerLimit", "65536", 3038},
      {ra, "ch2.upperLimit", "-1", 3039},       {rd, "ch1.scaleExpr", "\"123456789012345678901\"", 3040},
      {rd, "sensorType", "\"K\"", 3041},        {rd, "sensorType", "\"Pt100\"", 3041},
      {rd, "measurementInterval", "16", 3042},  {ra, "parent", "1.5", 3043},
      {ra, "enableWarning", "null", 3044},      {ra, "enableMonitoring", "", 3045},
      {ra, "enableDownloading", "0", 3046},     {rf, "enableDownloadingH", "\"x\"", 3046},
      {ra, "record.interval", "256", 3047},     {ra, "record", "7", 3047},
      {rh, "record.onetime", "128", 3048},      {rd, "measurementMode", "2", 3049},
      {rd, "chatteringFilter", "1", 3050},      {rd, "voltageSensorRange", "4", 3051},
      {rd, "preheat", "300", 3052},             {rd, "preheatTime", "-1", 3053},
      {rd, "pulseWarningCondition", "", 3054},  {rf, "lockButton.recstop", "1", 3055},
      {rf, "lockButton", "true", 3055},         {ra, "name", "\"NINEBYTES\"", 3056},
      {rf, "lockButton.interval", "", 3057},    {rg, "lockButton.display", "2", 3058},
      {rg, "lockButton.power", "", 3059},       {rf, "display.rotateCh1", "1", 3060},
      {rg, "display.rotateCh2", "", 3061},      {rg, "display.rotateCh3", "0", 3062},
      {rf, "display.rotateCh4", "", 3063},      {rf, "display.rotateCh5", "", 3064},
      {rf, "display.rotateCh6", "", 3065},      {rh, "lockButton", "{}", 3066},
      {rh, "itemTableID", "65536", 3067},       {rh, "userTableID", "", 3068},
      {rh, "workTableID", "-3", 3069},          {ra, "monitorInterval", "0", 3070},
      {rd, "monitorInterval", "150", 3070},     {rf, "monitorInterval", "70000", 3070},
      {rh, "autoPowerOff", "\"600\"", 3200},    {rh, "buzzer", "", 3201},
      {rh, "judgeLED", "1", 3202},              {rh, "backlight", "256", 3203},
      {rh, "delta", "", 3204},                  {rh, "diffTime", "2.5", 3205},
      {rf, "ch5.upperLimit", "70000", 3039},    {rg, "ch3.chType", "", 3034},
  };
  for (const auto& c : cases) {
    RegInfoError e = Convert(c.unit, c.path, c.bad);
    EXPECT_EQ(e.code, c.code) << c.path << " = " << c.bad;
    EXPECT_EQ(e.member.rfind("groups[0].remoteUnits[0]", 0), 0u) << e.member;
  }
}

TEST(RegInfoErrors, EachGroupAndTopLevelMemberHasItsNumber) {
  const std::string unit = testdata::Vlrh();
  const std::vector<std::pair<std::string, int>> cases = {
      {R"({"serial":"00000001"})", 3000},
      {R"({"groups":{},"serial":"00000001"})", 3000},
      {R"({"groups":[]})", 3001},
      {R"({"groups":[],"serial":"-1"})", 3001},
      {R"({"groups":[],"serial":" 1"})", 3001},
      {R"({"groups":[5],"serial":"1"})", 3010},
      {R"({"groups":[{"remoteUnits":[],"freq":1,"band":1,"id":[1,2,3,4,5,6,7,8],"name":""}],"serial":"1"})", 3011},
      {R"({"groups":[{"repeaters":[],"freq":1,"band":1,"id":[1,2,3,4,5,6,7,8],"name":""}],"serial":"1"})", 3012},
      {R"({"groups":[{"repeaters":[],"remoteUnits":[],"freq":256,"band":1,"id":[1,2,3,4,5,6,7,8],"name":""}],"serial":"1"})", 3013},
      {R"({"groups":[{"repeaters":[],"remoteUnits":[],"freq":1,"id":[1,2,3,4,5,6,7,8],"name":""}],"serial":"1"})", 3014},
      {R"({"groups":[{"repeaters":[],"remoteUnits":[],"freq":1,"band":1,"id":"x","name":""}],"serial":"1"})", 3015},
      {R"({"groups":[{"repeaters":[],"remoteUnits":[],"freq":1,"band":1,"id":[1,2,3,4,5,6,7],"name":""}],"serial":"1"})", 3016},
      {R"({"groups":[{"repeaters":[],"remoteUnits":[],"freq":1,"band":1,"id":[1,2,3,4,5,6,7,256],"name":""}],"serial":"1"})", 3016},
      {R"({"groups":[{"repeaters":[],"remoteUnits":[],"freq":1,"band":1,"id":[1,2,3,4,5,6,7,8],"name":3}],"serial":"1"})", 3017},
      {R"({"groups":[{"repeaters":[],"remoteUnits":[],"freq":1,"band":1,"id":[1,2,3,4,5,6,7,8],"name":"123456789"}],"serial":"1"})", 3018},
      {R"({"groups":[{"repeaters":[{"num":1,"parent":0}],"remoteUnits":[],"freq":1,"band":1,"id":[1,2,3,4,5,6,7,8],"name":""}],"serial":"1"})", 3206},
  };
  for (const auto& [json, code] : cases) {
    std::vector<uint8_t> bytes;
    EXPECT_EQ(RegInfoJsonToBytes(testdata::Parse(json), bytes).code, code) << json;
    EXPECT_TRUE(bytes.empty());
  }
}

TEST(RegInfoErrors, CountsThatDoNotFitTheirByteAreRefused) {
  Value image = testdata::Parse(testdata::Image(testdata::Vlrh()));
  auto& group = image.get<Object>()["groups"].get<lm::json::Array>()[0].get<Object>();
  lm::json::Array many(256, testdata::Parse(R"({"num":1,"parent":0,"serial":"00A00001"})"));
  group["repeaters"] = Value(many);
  std::vector<uint8_t> bytes;
  EXPECT_EQ(RegInfoJsonToBytes(image, bytes).code, 3011);
  many.pop_back();
  group["repeaters"] = Value(many);
  EXPECT_EQ(RegInfoJsonToBytes(image, bytes).code, 0);
}

}  // namespace
}  // namespace com::vantor
