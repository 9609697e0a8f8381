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
  explicit TcmdSurvey(Sorrel::Com::ComExecutorTable& units) : TcmdOf("TestSurvey", units) {}
  void AddResult(Survey& command, lm::json::Object& result) override {
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
    rig.GetManager().AddQuery(std::make_shared<TcmdSurvey>(rig.Units()));
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
  {
    std::lock_guard lock(lastMutex);
    lastResult.clear();
  }
  auto cb = std::make_shared<bridge_test::RecordingCallback>();
  int64_t id = Start(cb);
  rig.Router().OnQueryCanceled(rig.Browser(), id);
  // Wait for the call to end; its result object is never delivered.
  std::string last;
  for (int i = 0; i < 100; ++i) {
    {
      std::lock_guard lock(lastMutex);
      last = lastResult;
    }
    if (last == "cancel") break;
    std::this_thread::sleep_for(50ms);
  }
  EXPECT_EQ(last, "cancel");
  EXPECT_EQ(cb->Count(), 0u);  // the router gave the query up
  auto acts = Acts();
  ASSERT_FALSE(acts.empty());
  EXPECT_EQ(acts.back(), "2");
}

// A second survey queued behind a running one on the same unit, then
// cancelled: it never reaches the unit, whichever way it is cancelled, and
// the running survey is not disturbed.
TEST_F(Cancel, QueuedSurveyCancelledWhileWaitingSendsNothing) {
  for (bool routerCancel : {false, true}) {
    SCOPED_TRACE(routerCancel ? "router cancel" : "explicit cancel");
    const size_t before = Acts().size();
    auto first = std::make_shared<bridge_test::RecordingCallback>();
    auto queued = std::make_shared<bridge_test::RecordingCallback>();
    Start(first);
    int64_t id = rig.Send("jsquery:ComTcmdTestSurvey {\"comInfo\":" + rig.UsbComInfo() + "}", queued);
    std::this_thread::sleep_for(100ms);
    if (routerCancel) {
      rig.Router().OnQueryCanceled(rig.Browser(), id);
    } else {
      EXPECT_EQ(rig.Query("jsquery:cancel " + std::to_string(id)).text, "null");
      ASSERT_TRUE(queued->WaitFor(1, 2s)) << "answered without waiting for the unit";
      EXPECT_EQ(first->Count(), 0u) << "answered while the first survey still runs";
      auto result = Obj(queued->Answers()[0]);
      EXPECT_TRUE(result["isCancel"].get<bool>()) << queued->Answers()[0].text;
      EXPECT_FALSE(result["isSuccess"].get<bool>());
      EXPECT_EQ(result.count("STATUS"), 0u);
    }
    ASSERT_TRUE(first->WaitFor(1, 10s));
    EXPECT_FALSE(Obj(first->Answers()[0])["isCancel"].get<bool>()) << first->Answers()[0].text;
    std::this_thread::sleep_for(200ms);
    auto acts = Acts();
    acts.erase(acts.begin(), acts.begin() + static_cast<std::ptrdiff_t>(before));
    EXPECT_EQ(std::count(acts.begin(), acts.end(), "0"), 1) << "only the first survey started";
    EXPECT_EQ(std::count(acts.begin(), acts.end(), "2"), 0) << "the first survey was not cancelled";
    if (routerCancel) {
      EXPECT_EQ(queued->Count(), 0u);
    }
  }
}

// Two measurements on two units at once, one cancelled: the cancel reaches
// that call only, whichever started last.
TEST_F(Cancel, ConcurrentLevelMeasurementsCancelOnlyTheirOwnCall) {
  auto slow = Fault("VLB1", linkmeter::sim::FaultKind::kDelay, -1);
  slow.delayMs = 150;
  rig.Sim().InjectFault(kUsbUnit, slow);
  rig.Sim().InjectFault(kLanUnit, slow);
  const std::string freqs = ",\"freqs\":[1,2,3,4,5,6]}";
  auto usb = std::make_shared<bridge_test::RecordingCallback>();
  auto lan = std::make_shared<bridge_test::RecordingCallback>();
  int64_t usbId = rig.Send("jsquery:ComTcmdGetRsLevel {\"comInfo\":" + rig.UsbComInfo() + freqs, usb);
  std::this_thread::sleep_for(50ms);
  rig.Send("jsquery:ComTcmdGetRsLevel {\"comInfo\":" + rig.LanComInfo(3) + freqs, lan);
  std::this_thread::sleep_for(200ms);
  rig.Query("jsquery:cancel " + std::to_string(usbId));

  ASSERT_TRUE(usb->WaitFor(1, 10s));
  ASSERT_TRUE(lan->WaitFor(1, 10s));
  EXPECT_FALSE(usb->Answers()[0].success);
  EXPECT_EQ(usb->Answers()[0].text, R"({"code1":0,"msg":"cancel"})");
  ASSERT_TRUE(lan->Answers()[0].success) << lan->Answers()[0].text;
  auto levels = lm::json::Parse(lan->Answers()[0].text);
  ASSERT_TRUE(levels && levels->is<lm::json::Array>());
  EXPECT_EQ(levels->get<lm::json::Array>().size(), 6u);
  EXPECT_LT(rig.Received(kUsbUnit, "VLB1").size(), 7u) << "the cancelled call stopped measuring";
}

// isOpen only reads the connection state: it does not wait for a survey.
TEST_F(Cancel, IsOpenAnswersAtOnceDuringASurvey) {
  const std::string comInfo = "{\"comInfo\":" + rig.UsbComInfo() + "}";
  ASSERT_TRUE(rig.Query("jsquery:ComOpen " + comInfo).success);
  auto cb = std::make_shared<bridge_test::RecordingCallback>();
  Start(cb);
  auto began = std::chrono::steady_clock::now();
  auto answer = rig.Query("jsquery:ComIsOpen {\"comInfo\":" + rig.UsbComInfo() + "}");
  auto took = std::chrono::steady_clock::now() - began;
  EXPECT_EQ(answer.text, "true");
  EXPECT_EQ(cb->Count(), 0u) << "the survey was still running";
  EXPECT_LT(took, 100ms) << "isOpen waited for the survey";
  ASSERT_TRUE(cb->WaitFor(1, 10s));
  rig.Query("jsquery:ComClose " + comInfo);
}

// A command on a unit the page never opened opens and closes it itself: to
// the page the unit stays closed, also while the command runs and right after
// its answer.
TEST_F(Cancel, ImplicitlyOpenedUnitIsNeverSeenOpen) {
  auto cb = std::make_shared<bridge_test::RecordingCallback>();
  Start(cb);
  EXPECT_EQ(rig.Query("jsquery:ComIsOpen {\"comInfo\":" + rig.UsbComInfo() + "}").text, "false");
  ASSERT_TRUE(cb->WaitFor(1, 10s));
  EXPECT_EQ(rig.Query("jsquery:ComIsOpen {\"comInfo\":" + rig.UsbComInfo() + "}").text, "false");
}

// Cancelling queued device calls does not hold the router (and with it the
// window's main thread) for any length of time.
TEST_F(Cancel, CancellingQueuedCallsDoesNotStall) {
  auto first = std::make_shared<bridge_test::RecordingCallback>();
  Start(first);
  auto queued = std::make_shared<bridge_test::RecordingCallback>();
  std::vector<int64_t> ids;
  for (int i = 0; i < 8; ++i)
    ids.push_back(rig.Send("jsquery:ComTcmdTestSurvey {\"comInfo\":" + rig.UsbComInfo() + "}", queued));
  auto began = std::chrono::steady_clock::now();
  for (int64_t id : ids) rig.Router().OnQueryCanceled(rig.Browser(), id);
  EXPECT_LT(std::chrono::steady_clock::now() - began, 400ms) << "each cancel should return at once";
  ASSERT_TRUE(first->WaitFor(1, 10s));
  EXPECT_EQ(queued->Count(), 0u);
}

}  // namespace
