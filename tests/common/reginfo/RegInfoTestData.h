#pragma once
// JSON of one remote unit per model, and an image around them, for the
// registration tests.

#include <gtest/gtest.h>

#include <string>

#include "lm/Json.h"
#include "lm/Text.h"

namespace com::vantor::testdata {

using lm::json::Value;

inline Value Parse(const std::string& text) {
  auto v = lm::json::Parse(text);
  EXPECT_TRUE(v) << text;
  return v.value_or(Value());
}

// A channel object with every member.
inline std::string Channel(int type, int judge, bool lo, bool hi, int lower, int upper) {
  return lm::text::Format(
      R"({"chType":%d,"enableLowerLimit":%s,"enableUpperLimit":%s,"judgeTime":%d,"lowerLimit":%d,"upperLimit":%d})",
      type, lo ? "true" : "false", hi ? "true" : "false", judge, lower, upper);
}

inline std::string Vlra(const char* model, const char* serial, bool twoChannels) {
  std::string json = lm::text::Format(
      R"({"ch1":%s,)", Channel(13, 30, true, false, 900, 1300).c_str());
  if (twoChannels) json += R"("ch2":)" + Channel(208, 600, false, true, 1200, 1900) + ",";
  json += lm::text::Format(
      R"("enableDownloading":true,"enableMonitoring":false,"enableWarning":true,"model":"%s",)"
      R"("monitorInterval":120,"name":"Room1","num":3,"parent":0,"record":{"interval":7,"onetime":true},"serial":"%s"})",
      model, serial);
  return json;
}

inline std::string Vlrd(const char* model, const char* sensor, const char* scale) {
  return lm::text::Format(
      R"({"ch1":{"chType":129,"enableLowerLimit":false,"enableUpperLimit":true,"judgeTime":60,)"
      R"("lowerLimit":0,"scaleExpr":"%s","upperLimit":2000},"chatteringFilter":true,"enableDownloading":false,)"
      R"("enableMonitoring":true,"enableWarning":true,"measurementInterval":9,"measurementMode":1,"model":"%s",)"
      R"("monitorInterval":90,"name":"Tank","num":4,"parent":1,"preheat":2,"preheatTime":30,)"
      R"("pulseWarningCondition":5,"record":{"interval":3,"onetime":false},"sensorType":"%s",)"
      R"("serial":"00C20010","voltageSensorRange":2})",
      scale, model, sensor);
}

inline std::string Vlrf() {
  std::string json = "{";
  for (int ch = 1; ch <= 4; ++ch) {
    json += lm::text::Format(R"("ch%d":%s,)", ch, Channel(60 + ch, ch * 60, ch % 2, ch > 2, ch * 100, ch * 1000).c_str());
  }
  json += R"("ch5":{"enableUpperLimit":true,"upperLimit":40000},"ch6":{"enableUpperLimit":false,"upperLimit":123},)"
          R"("display":{"rotateCh1":true,"rotateCh2":false,"rotateCh3":true,"rotateCh4":false,"rotateCh5":true,"rotateCh6":true},)"
          R"("enableDownloadingH":true,"enableDownloadingL":false,"enableMonitoring":true,"enableWarning":false,)"
          R"("lockButton":{"display":true,"interval":false,"power":true,"recstop":false},"model":"VL-RF",)"
          R"("monitorInterval":600,"name":"Field","num":9,"parent":2,"record":{"interval":12,"onetime":true},"serial":"00C00005"})";
  return json;
}

inline std::string Vlrg() {
  return R"({"ch1":)" + Channel(13, 30, true, true, 1, 2) + R"(,"ch2":)" + Channel(208, 120, false, true, 3, 4) +
         R"(,"ch3":)" + Channel(66, 180, true, false, 5, 6) +
         R"(,"display":{"rotateCh2":true,"rotateCh3":false},"enableDownloadingH":false,"enableDownloadingL":true,)"
         R"("enableMonitoring":false,"enableWarning":true,"lockButton":{"display":false,"interval":true,"power":false,)"
         R"("recstop":true},"model":"VL-RG","monitorInterval":300,"name":"\u6e29\u5ea6","num":10,"parent":0,)"
         R"("record":{"interval":1,"onetime":false},"serial":"00C40001"})";
}

inline std::string Vlrh() {
  return R"({"autoPowerOff":600,"backlight":3,"buzzer":true,"delta":7,"diffTime":15,"enableDownloading":true,)"
         R"("itemTableID":1001,"judgeLED":false,"lockButton":true,"model":"VL-RH","name":"Hand","num":11,"parent":0,)"
         R"("record":{"onetime":true},"serial":"007E0002","userTableID":2002,"workTableID":65535})";
}

inline std::string Image(const std::string& units) {
  return R"({"groups":[{"band":2,"freq":14,"id":[1,2,3,4,5,6,7,8],"name":"G1","remoteUnits":[)" + units +
         R"(],"repeaters":[{"num":1,"parent":0,"serial":"00A00001"}]}],"serial":"009C0001"})";
}

}  // namespace com::vantor::testdata
