#include <gtest/gtest.h>

#include <functional>

#include "ComSimRig.h"

using namespace comsim;
using linkmeter::sim::FaultKind;
using linkmeter::sim::FaultRule;

namespace {

class RsLevel : public ::testing::Test {
 protected:
  bridge_test::Answer Measure(const std::string& freqs) {
    rig.Sim().GetTranscript().Clear();
    return rig.Query("jsquery:ComTcmdGetRsLevel {\"comInfo\":" + rig.UsbComInfo() + ",\"freqs\":" + freqs + "}");
  }
  // The DATA fields of the VLB1 requests the unit received.
  std::vector<std::string> SentData() {
    std::vector<std::string> data;
    for (const auto& body : rig.Received(kUsbUnit, "VLB1")) {
      EXPECT_EQ(std::string(*body.Find("MODE")), "0");
      EXPECT_EQ(std::string(*body.Find("TIME")), "100");
      data.emplace_back(*body.Find("DATA"));
    }
    return data;
  }

  ComSimRig rig;
};

TEST_F(RsLevel, MeasuresEachChannelThenCloses) {
  auto answer = Measure("[10, 20]");
  ASSERT_TRUE(answer.success) << answer.text;
  EXPECT_EQ(SentData(), (std::vector<std::string>{std::string("\x01\x3E\x00\x02\x00\x0A\x00", 7),
                                                  std::string("\x01\x3E\x00\x02\x00\x14\x00", 7),
                                                  std::string("\x01\xAF\x00\x02\x00\x00\x00", 7)}));
  auto levels = lm::json::Parse(answer.text)->get<lm::json::Array>();
  ASSERT_EQ(levels.size(), 2u);
  EXPECT_EQ(levels[0].get("freq").get<double>(), 10);
  EXPECT_EQ(levels[1].get("freq").get<double>(), 20);
  // The demo site has an interferer on channel 20: it is heard louder than 10.
  EXPECT_GT(levels[1].get("level").get<double>(), levels[0].get("level").get<double>());
}

TEST_F(RsLevel, EmptyListSendsOnlyTheClosingCommand) {
  auto answer = Measure("[]");
  EXPECT_EQ(answer.text, "[]");
  EXPECT_EQ(SentData(), std::vector<std::string>{std::string("\x01\xAF\x00\x02\x00\x00\x00", 7)});
}

TEST_F(RsLevel, BadChannelFailsBeforeAnythingIsSent) {
  auto answer = Measure("[10, 256]");
  EXPECT_EQ(answer.text, R"({"code1":-2,"msg":"Invalid arguments : 'freqs[1]' value is invalid."})");
  EXPECT_TRUE(SentData().empty());
  EXPECT_EQ(Measure("[1.5]").code, -2);
  EXPECT_EQ(Obj(Measure("{}"))["msg"].get<std::string>(), "Invalid arguments : 'freqs' must have type array.");
}

TEST_F(RsLevel, AnswerWithoutSevenDataBytesStopsTheMeasurement) {
  FaultRule sixBytes = Fault("VLB1", FaultKind::kField);
  sixBytes.field = "DATA";
  sixBytes.value = std::string("\x01\x3E\x00\x02\x00\x0A", 6);
  rig.Sim().InjectFault(kUsbUnit, sixBytes);
  auto answer = Measure("[10, 20]");
  EXPECT_FALSE(answer.success);
  EXPECT_EQ(answer.text, R"({"code1":0,"msg":"VLB1 answer without its 7 DATA bytes (6 bytes) on channel 10"})");
  EXPECT_EQ(SentData().size(), 1u);  // neither the second channel nor the closing command

  FaultRule noData = Fault("VLB1", FaultKind::kStatus);  // 0004-0000 and nothing else
  noData.status = {4, 0};
  rig.Sim().InjectFault(kUsbUnit, noData);
  EXPECT_EQ(Measure("[10]").text, R"({"code1":0,"msg":"VLB1 answer without its 7 DATA bytes (none) on channel 10"})");
}

TEST_F(RsLevel, RefusedMeasurementFailsWithItsStatus) {
  FaultRule rule = Fault("VLB1", FaultKind::kStatus);
  rule.status = {4, 1};
  rig.Sim().InjectFault(kUsbUnit, rule);
  auto answer = Measure("[10]");
  EXPECT_EQ(answer.text, R"x({"code1":-22,"msg":"通信が失敗しました。(VLB1 STATUS=0004-0001)"})x");
}

// A link that fails under the scan is told by its library failure, never as
// a measurement the unit refused: the page then shows a lost link with
// Reconnect instead of advising a restart of the base unit.
TEST_F(RsLevel, LostLinkFailsWithTheLibraryFailure) {
  struct Case {
    const char* what;
    std::function<void()> lose;
  };
  const Case cases[] = {
      {"the stream closed after the first channel", [&] {
         FaultRule close = Fault("VLB1", FaultKind::kClose);
         close.after = 1;
         rig.Sim().InjectFault(kUsbUnit, close);
       }},
      {"the unit unplugged while open", [&] { ASSERT_TRUE(rig.Sim().DetachUsb(kUsbUnit)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(rig.Query("jsquery:ComOpen {\"comInfo\":" + rig.UsbComInfo() + "}").success);
    c.lose();
    auto answer = Measure("[10, 20, 30]");
    ASSERT_FALSE(answer.success);
    auto failure = Obj(answer);
    const std::string msg = failure["msg"].get<std::string>();
    EXPECT_TRUE(msg.rfind("Vcomm_SendComm : ", 0) == 0 || msg.rfind("Vcomm_RecvComm : ", 0) == 0) << msg;
    EXPECT_GT(failure["code1"].get<double>(), 1000);
    EXPECT_TRUE(failure.count("code2")) << answer.text;
    rig.Query("jsquery:ComClose {\"comInfo\":" + rig.UsbComInfo() + "}");
  }
}

}  // namespace
