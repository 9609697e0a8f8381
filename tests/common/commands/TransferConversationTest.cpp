// The registration transfer (RSETF, WSETF) and the clock (RDTIM, WDTIM)
// against a scripted unit.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include "ScriptedUnit.h"
#include "linkmeter/sim/Registration.h"
#include "linkmeter/sim/SiteFile.h"
#include "sorrel/cef/Exception.h"
#include "vantor/com/RegInfoJson.h"

namespace {

using namespace commands_test;

std::string DemoImage() { return linkmeter::sim::BuildRegistrationImage(linkmeter::sim::DemoSite().baseUnits[0]); }

lm::json::Value JsonOf(const std::string& image) {
  return *com::vantor::RegInfoBytesToJson({reinterpret_cast<const std::uint8_t*>(image.data()), image.size()});
}

FieldMap Ok(std::string data) { return {{"STATUS", "0002-0000"}, {"DATA", std::move(data)}}; }

TEST(TransferConversation, WsetfFramesSaveBlocksAndOffsets) {
  struct Case {
    std::string args;
    std::size_t bytes;
    std::vector<FieldMap> frames;  // DATA given as its length in "DATA"
  };
  const std::vector<Case> cases = {
      {R"("SAVE":1)", 2500,
       {{{"SAVE", "0"}},
        {{"DATA", "1024"}, {"OFFSET", "0"}},
        {{"DATA", "1024"}, {"OFFSET", "1024"}},
        {{"DATA", "452"}, {"OFFSET", "2048"}},
        {{"SAVE", "1"}}}},
      {R"("OFFSET":5,"SendBufferSize":1000)", 2000,
       {{{"DATA", "1000"}, {"OFFSET", "5"}}, {{"DATA", "1000"}, {"OFFSET", "1005"}}}},
      {R"("SAVE":2)", 0, {{{"SAVE", "0"}}, {{"SAVE", "2"}}}},
  };
  for (const Case& c : cases) {
    std::string data(c.bytes, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
    lm::json::Array send;
    for (char b : data) send.push_back(lm::json::Number(static_cast<unsigned char>(b)));
    ScriptedUnit unit("WSETF");
    for (std::size_t i = 0; i < c.frames.size(); ++i) unit.Answer({{"STATUS", "0002-0000"}});
    Sorrel::Com::TcmdWSETF handler{Sorrel::Com::NoUnits()};
    auto r = RunCall(handler, unit, "{\"SendData\":" + lm::json::ToText(lm::json::Value(send)) + "," + c.args + "}");
    EXPECT_TRUE(r["isSuccess"].get<bool>()) << c.args;
    ASSERT_EQ(unit.sent.size(), c.frames.size()) << c.args;
    std::string joined;
    for (std::size_t i = 0; i < c.frames.size(); ++i) {
      FieldMap sent = unit.sent[i];
      if (sent.count("DATA")) {
        joined += sent["DATA"];
        sent["DATA"] = std::to_string(sent["DATA"].size());
      }
      EXPECT_EQ(sent, c.frames[i]) << c.args << " frame " << i;
    }
    EXPECT_EQ(joined, data) << c.args;
  }
}

TEST(TransferConversation, WsetfStopsAtTheFirstRefusedFrame) {
  const std::string image = DemoImage();
  ScriptedUnit unit("WSETF");
  unit.Answer({{"STATUS", "0002-0000"}});
  unit.Answer({{"STATUS", "0002-0002"}});  // the first block refused
  unit.Answer({{"STATUS", "0002-0000"}});
  Sorrel::Com::TcmdWSETF handler{Sorrel::Com::NoUnits()};
  auto json = lm::json::ToText(JsonOf(image));
  auto r = RunCall(handler, unit, R"({"SAVE":1,"SendBufferSize":100,"regInfo":)" + json + "}");
  EXPECT_EQ(unit.sent.size(), 2u);  // no later block, no SAVE that would store a torn image
  EXPECT_FALSE(r["isSuccess"].get<bool>());
}

TEST(TransferConversation, WsetfRegInfoIsConvertedOrRefusedWithItsNumberBeforeAnythingIsSent) {
  const std::string image = DemoImage();
  {
    ScriptedUnit unit("WSETF");
    const std::size_t blocks = (image.size() + 1023) / 1024;
    for (std::size_t i = 0; i < blocks; ++i) unit.Answer({{"STATUS", "0002-0000"}});
    Sorrel::Com::TcmdWSETF handler{Sorrel::Com::NoUnits()};
    auto r = RunCall(handler, unit, R"({"regInfo":)" + lm::json::ToText(JsonOf(image)) + "}");
    ASSERT_EQ(unit.sent.size(), blocks);
    std::string joined;
    for (const FieldMap& frame : unit.sent) joined += frame.at("DATA");
    EXPECT_EQ(joined, image);  // the JSON form turns back into the same bytes
    EXPECT_TRUE(r["isSuccess"].get<bool>());
  }
  lm::json::Value bad = JsonOf(image);
  bad.get<lm::json::Object>()["groups"].get<lm::json::Array>()[0].get<lm::json::Object>()["freq"] =
      lm::json::String("twelve");
  struct Case {
    std::string args;
    int code;
  };
  for (const Case& c : {Case{R"({"regInfo":)" + lm::json::ToText(bad) + "}", 3013},
                        Case{R"({"regInfo":{"serial":"009A0011"}})", 3000}, Case{"{}", -1},
                        Case{R"({"SendData":[]})", -1}}) {
    Sorrel::Com::TcmdWSETF handler{Sorrel::Com::NoUnits()};
    try {
      handler.MakeCommand(*lm::json::Parse(c.args));
      ADD_FAILURE() << c.args << " accepted";
    } catch (const Sorrel::cef::JsArgumentException& e) {
      EXPECT_EQ(e.Code(), c.code) << c.args << " " << e.Text();
    }
  }
}

TEST(TransferConversation, RsetfReadsBlocksAtTheBytesReceivedUntilTheRegistrationIsWhole) {
  const std::string image = DemoImage();
  ASSERT_GT(image.size(), 400u);
  ScriptedUnit unit("RSETF");
  unit.Answer(Ok(image.substr(0, 200)));
  unit.Answer(Ok(image.substr(200, 200)));
  FieldMap last = Ok(image.substr(400));
  last["SAVE"] = "1";
  last["VER"] = "7";
  unit.Answer(last);
  Sorrel::Com::TcmdRSETF handler{Sorrel::Com::NoUnits()};
  auto r = RunCall(handler, unit, "{}");
  ASSERT_EQ(unit.sent.size(), 3u);  // complete: no request past the end
  EXPECT_EQ(unit.sent[0], (FieldMap{{"OFFSET", "0"}, {"SIZE", "1024"}}));
  EXPECT_EQ(unit.sent[2], (FieldMap{{"OFFSET", "400"}, {"SIZE", "1024"}}));
  EXPECT_TRUE(r["isSuccess"].get<bool>());
  EXPECT_EQ(lm::json::ToText(r["regInfo"]), lm::json::ToText(JsonOf(image)));
  EXPECT_EQ(r["regInfo"].get<lm::json::Object>().at("serial").get<std::string>(), "009A0011");
  // The bytes as read, for the site records.
  const auto& data = r["DATA"].get<lm::json::Array>();
  ASSERT_EQ(data.size(), image.size());
  for (std::size_t i = 0; i < image.size(); ++i) {
    EXPECT_EQ(data[i].get<double>(), static_cast<unsigned char>(image[i])) << i;
  }
  EXPECT_EQ(r["SAVE"].get<double>(), 1);
  EXPECT_EQ(r["VER"].get<double>(), 7);
}

TEST(TransferConversation, RsetfWithoutTheWholeRegistrationFailsWithoutRegInfo) {
  const std::string image = DemoImage();
  std::string corrupt = image;
  corrupt[16 + 2] = 0x55;  // the group record's type byte
  struct Case {
    const char* what;
    std::vector<FieldMap> answers;
    std::size_t requests;
  };
  const std::vector<Case> cases = {
      {"wrong record type", {Ok(corrupt.substr(0, 100))}, 1},
      {"no more data before the end", {Ok(image.substr(0, 100)), {{"STATUS", "0002-0001"}, {"DATA", ""}}}, 2},
      {"an empty block", {Ok(image.substr(0, 100)), Ok("")}, 2},
      {"a refused block", {Ok(image.substr(0, 100)), {{"STATUS", "0002-0002"}}}, 2},
  };
  for (const Case& c : cases) {
    ScriptedUnit unit("RSETF");
    for (const FieldMap& a : c.answers) unit.Answer(a);
    unit.Answer(Ok(image.substr(100)));  // never asked for: every case ends before
    Sorrel::Com::TcmdRSETF handler{Sorrel::Com::NoUnits()};
    auto r = RunCall(handler, unit, "{}");
    EXPECT_EQ(unit.sent.size(), c.requests) << c.what;
    EXPECT_FALSE(r["isSuccess"].get<bool>()) << c.what;
    EXPECT_FALSE(r.count("regInfo")) << c.what;
    EXPECT_FALSE(r.count("DATA")) << c.what;
  }
}

TEST(TransferConversation, DeviceTimeIsTheUnitsWallClockLessBiasWhateverThePcZone) {
  const char* saved = getenv("TZ");
  const std::string before = saved ? saved : "";
  setenv("TZ", "JST-9", 1);  // a PC zone that must not shift the result
  tzset();
  EXPECT_EQ(com::vantor::DeviceUnixTime("20240102030405", 540), 1704132245);
  EXPECT_EQ(com::vantor::DeviceUnixTime("20240102030405", std::nullopt), 1704164645);
  for (const char* bad : {"2024010203040", "202401020304051", "2024013203040x", "20241302030405", "20230229000000"}) {
    EXPECT_EQ(com::vantor::DeviceUnixTime(bad, 0), std::nullopt) << bad;
  }
  ScriptedUnit unit("RDTIM");
  unit.Answer({{"STATUS", "0003-0000"}, {"DTIME", "20240102030405"}, {"BIAS", "540"}, {"SYNC", "1"}});
  Sorrel::Com::TcmdRDTIM handler{Sorrel::Com::NoUnits()};
  auto r = RunCall(handler, unit, "{}", {.unixNow = [] { return std::int64_t{1704132000}; }});
  EXPECT_EQ(r["TimeOffset"].get<double>(), 245);
  EXPECT_EQ(r["DTIME"].get<std::string>(), "20240102030405");
  EXPECT_EQ(r["BIAS"].get<double>(), 540);
  EXPECT_TRUE(r["isSuccess"].get<bool>());
  if (saved) {
    setenv("TZ", before.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

TEST(TransferConversation, ClockBusyIsPolledWithFreshTimeAndBounded) {
  std::int64_t now = 1000;
  std::uint64_t tick = 0;
  com::vantor::CommandClock clock{.unixNow = [&] { return now++; }, .tick = [&] { return tick; }};
  {
    ScriptedUnit unit("WDTIM");
    unit.Answer({{"STATUS", "0003-0090"}});
    unit.Answer({{"STATUS", "0003-0090"}});
    unit.Answer({{"STATUS", "0003-0000"}});
    Sorrel::Com::TcmdWDTIM handler{Sorrel::Com::NoUnits()};
    auto r = RunCall(handler, unit, R"({"TimeOffset":-30,"SYNC":2,"DIFF":"+0900"})", clock);
    ASSERT_EQ(unit.sent.size(), 3u);
    EXPECT_EQ(unit.sent[0], (FieldMap{{"DIFF", "+0900"}, {"SYNC", "2"}, {"UTC", "970"}}));
    EXPECT_EQ(unit.sent[2].at("UTC"), "972");  // the time of the request, not of the first one
    EXPECT_TRUE(r["isSuccess"].get<bool>());
  }
  {
    ScriptedUnit unit("RDTIM");
    for (int i = 0; i < 20; ++i) unit.Answer({{"STATUS", "0003-0090"}});
    auto command = Sorrel::Com::TcmdRDTIM(Sorrel::Com::NoUnits()).MakeCommand(*lm::json::Parse("{}"));
    command->SetClock({.unixNow = clock.unixNow, .tick = [&] { return tick += 3000; }});
    unit.Execute(*command, 0);
    EXPECT_EQ(command->GetResult().status, ExecResult::kTimeout);
    EXPECT_EQ(unit.sent.size(), 4u);  // 3 s per poll on this clock: the 10 s bound ends it
    EXPECT_FALSE(command->IsSuccess());
  }
  for (const auto& [status, success] : std::vector<std::pair<std::string, bool>>{
           {"0003-0001", true}, {"0001-0003", true}, {"0002-0000", true}, {"0002-0002", false}}) {
    ScriptedUnit unit("RDTIM");
    unit.Answer({{"STATUS", status}});
    Sorrel::Com::TcmdRDTIM handler{Sorrel::Com::NoUnits()};
    EXPECT_EQ(RunCall(handler, unit, "{}")["isSuccess"].get<bool>(), success) << status;
  }
}

}  // namespace
