#include <gtest/gtest.h>

#include <thread>

#include "ComSimRig.h"
#include "sorrel/com/TcmdHandler.h"
#include "vantor/com/TcmdWireless.h"

using namespace comsim;
using namespace std::chrono_literals;

namespace {

// A survey of one remote unit, registered by the test.
class Survey : public com::vantor::TcmdWireless {
 public:
  Survey() : TcmdWireless("EWLEX") {
    SetSendNumber("CH", 12);
    std::string id(8, '\0');
    const uint32_t serial = 0x00BC0103;  // three hops from the USB base unit
    for (int i = 0; i < 4; ++i) id[4 + i] = static_cast<char>((serial >> (8 * i)) & 0xFF);
    SetSendField("ID", id);
  }
};

// Keeps the result object of the last call, which a router cancel never delivers.
std::mutex lastMutex;
std::string lastResult;

class TcmdSurvey : public Sorrel::Com::TcmdOf<TcmdSurvey, Survey> {
 public:
  TcmdSurvey() : TcmdOf("TestSurvey") {}
  void AddResult(const Survey& command, lm::json::Object& result) override {
    (void)command;
    std::lock_guard lock(lastMutex);
    lastResult = "pending";
    (void)result;
  }
  std::string MakeMessage(const Survey& command) override {
    std::string msg = Sorrel::Com::tcmd_result::Message(command);
    std::lock_guard lock(lastMutex);
    lastResult = msg;
    return msg;
  }
};

class Cancel : public ::testing::Test {
 protected:
  Cancel() : rig(700) {  // about two seconds of air time
    rig.GetManager().AddQuery(std::make_shared<TcmdSurvey>());
  }
  // ACT values of the survey frames the unit received, in order.
  std::vector<std::string> Acts() {
    std::vector<std::string> acts;
    for (const auto& body : rig.Received(kUsbUnit, "EWLEX")) acts.emplace_back(*body.Find("ACT"));
    return acts;
  }
  int64_t Start(const std::shared_ptr<bridge_test::RecordingCallback>& cb) {
    int64_t id = rig.Send("jsquery:ComTcmdTestSurvey {\"comInfo\":" + rig.UsbComInfo() + "}", cb);
    std::this_thread::sleep_for(200ms);  // the operation is in the air
    return id;
  }

  ComSimRig rig;
};

TEST_F(Cancel, ExplicitCancelSendsAct2AndFollowsTheUnit) {
  auto cb = std::make_shared<bridge_test::RecordingCallback>();
  int64_t id = Start(cb);
  EXPECT_EQ(rig.Query("jsquery:cancel " + std::to_string(id)).text, "null");
  ASSERT_TRUE(cb->WaitFor(1, 10s));
  auto result = Obj(cb->Answers()[0]);
  EXPECT_TRUE(result["isCancel"].get<bool>()) << cb->Answers()[0].text;
  EXPECT_EQ(result["msg"].get<std::string>(), "cancel");
  auto acts = Acts();
  ASSERT_GE(acts.size(), 3u);
  EXPECT_EQ(acts.front(), "0");
  auto cancelAt = std::find(acts.begin(), acts.end(), "2");
  ASSERT_NE(cancelAt, acts.end());
  EXPECT_NE(cancelAt + 1, acts.end()) << "polled after the cancel until the unit wound down";
}

TEST_F(Cancel, RouterCancelAbandonsRightAfterTheCancelAnswer) {
  auto cb = std::make_shared<bridge_test::RecordingCallback>();
  int64_t id = Start(cb);
  rig.Router().OnQueryCanceled(rig.Browser(), id);
  // Wait for the call to end: the unit is closed again afterwards.
  const std::string isOpen = "jsquery:ComIsOpen {\"comInfo\":" + rig.UsbComInfo() + "}";
  for (int i = 0; i < 100 && rig.Query(isOpen).text == "true"; ++i) std::this_thread::sleep_for(50ms);
  {
    std::lock_guard lock(lastMutex);
    EXPECT_EQ(lastResult, "cancel");
  }
  EXPECT_EQ(cb->Count(), 0u);  // the router gave the query up
  auto acts = Acts();
  ASSERT_FALSE(acts.empty());
  EXPECT_EQ(acts.back(), "2");
}

}  // namespace
