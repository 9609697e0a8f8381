// Transfers and cancels against the simulator told to answer the way that
// used to trap them: trend data in several blocks, success answers without
// new bytes, a late 0004-0000 after a cancel, a cancel during the level scan.

#include <gtest/gtest.h>

#include <thread>

#include "ComSimRig.h"

using namespace comsim;
using namespace std::chrono_literals;
using linkmeter::sim::FaultKind;
using linkmeter::sim::FaultRule;

namespace {

constexpr uint32_t kFieldTh = 0x00BC0103;  // demo site: behind repeaters 1 and 2
constexpr uint32_t kBoiler = 0x00C20104;   // demo site: behind repeaters 1 and 2
const std::string kClosing("\x01\xAF\x00\x02\x00\x00\x00", 7);

std::string Id(uint32_t serial, int num, int parent) {
  std::string id = "[254," + std::to_string(num) + "," + std::to_string(parent) + ",7";
  for (int i = 0; i < 4; ++i) id += "," + std::to_string((serial >> (8 * i)) & 0xFF);
  return id + "]";
}

class StalledSim : public ::testing::Test {
 protected:
  // Starts a call; `cancelAfter` > 0 cancels it that long after the start.
  bridge_test::Answer Call(const std::string& query, const std::string& more,
                           std::chrono::milliseconds cancelAfter = 0ms) {
    auto cb = std::make_shared<bridge_test::RecordingCallback>();
    int64_t id = rig.Send("jsquery:" + query + " {\"comInfo\":" + rig.UsbComInfo() + more + "}", cb);
    if (cancelAfter > 0ms) {
      std::this_thread::sleep_for(cancelAfter);
      rig.Query("jsquery:cancel " + std::to_string(id));
    }
    if (!cb->WaitFor(1, 25s)) {
      ADD_FAILURE() << query << " never ended";
      return {};
    }
    return cb->Answers()[0];
  }
  void Inject(FaultRule rule) { rig.Sim().InjectFault(kUsbUnit, std::move(rule)); }

  ComSimRig rig;
};

TEST_F(StalledSim, TrendGivesEveryBlockAndTheFirstAnswersFields) {
  for (bool firstEmpty : {false, true}) {
    SCOPED_TRACE(firstEmpty ? "the first answer's DATA withheld" : "as the unit answers");
    rig.Sim().GetTranscript().Clear();
    if (firstEmpty) Inject(Fault("ETRND", FaultKind::kWithhold, 1));
    auto answer = Call("ComTcmdETRND", "");
    ASSERT_TRUE(answer.success) << answer.text;
    auto r = Obj(answer);
    EXPECT_TRUE(r["isSuccess"].get<bool>());
    EXPECT_EQ(rig.Received(kUsbUnit, "ETRND").size(), 3u);  // 64 + 64 + 16 bytes, or 0 + 128 + 16
    ASSERT_TRUE(r.count("MAX") && r.count("INT") && r.count("START") && r.count("UTC")) << answer.text;
    EXPECT_EQ(r["MAX"].get<double>(), 144);  // 72 hourly counts of 2 bytes
    EXPECT_EQ(r["DATA"].get<lm::json::Array>().size(), 144u);
    EXPECT_EQ(r["INT"].get<double>(), 3600);
    EXPECT_LE(r["START"].get<double>(), r["UTC"].get<double>());
  }
}

struct StallCase {
  const char* what;
  const char* query;
  std::string more;
  FaultKind kind;
  int after;  // answers let through: the header arrives first
  std::size_t frames;
};

TEST_F(StalledSim, RecordedDataWithoutNewBytesEndsAsAFailure) {
  const std::string far = ",\"CH\":12,\"ID\":" + Id(kFieldTh, 3, 2) + ",\"MODE\":0,\"RANGE\":0";
  const StallCase cases[] = {
      {"EISUC: success without DATA", "ComTcmdEISUC", "", FaultKind::kStatus, 1, 4},
      {"EISUC: success with an empty DATA", "ComTcmdEISUC", "", FaultKind::kField, 1, 4},
      {"EWSUC: success without DATA", "ComTcmdEWSUC", far, FaultKind::kStatus, 2, 5},
      {"EWSUC: success with an empty DATA", "ComTcmdEWSUC", far, FaultKind::kField, 2, 5},
  };
  for (const StallCase& c : cases) {
    SCOPED_TRACE(c.what);
    rig.Sim().ClearFaults(kUsbUnit);
    rig.Sim().GetTranscript().Clear();
    FaultRule rule = Fault(std::string(c.query).substr(7), c.kind, -1);
    rule.after = c.after;
    rule.status = {5, 0};
    rule.field = "DATA";
    Inject(rule);
    auto answer = Call(c.query, c.more);
    ASSERT_TRUE(answer.success) << answer.text;
    auto r = Obj(answer);
    EXPECT_FALSE(r["isSuccess"].get<bool>());
    EXPECT_FALSE(r.count("Data"));
    EXPECT_NE(r["msg"].get<std::string>().find("no new data in 3 answers in a row"), std::string::npos)
        << answer.text;
    EXPECT_EQ(rig.Received(kUsbUnit, std::string(c.query).substr(7)).size(), c.frames);
  }
}

TEST_F(StalledSim, CancelledSettingsWriteIgnoresALateAcceptance) {
  std::string record = "[";
  for (int i = 0; i < 64; ++i) record += std::string(i ? "," : "") + (i == 30 ? "16" : "0");
  record += "]";
  FaultRule slow = Fault("EWSTW", FaultKind::kDelay, 1);  // the cancel arrives while the write is answered
  slow.delayMs = 500;
  Inject(slow);
  FaultRule late = Fault("EWSTW", FaultKind::kStatus, 1);  // the poll after the cancel frame
  late.after = 2;
  late.status = {4, 0};
  Inject(late);
  auto answer = Call("ComTcmdEWSTW", ",\"CH\":12,\"ID\":" + Id(kBoiler, 4, 2) + ",\"FORMAT\":0,\"DATA\":" + record,
                     150ms);
  ASSERT_TRUE(answer.success) << answer.text;
  auto r = Obj(answer);
  EXPECT_TRUE(r["isCancel"].get<bool>()) << answer.text;
  EXPECT_EQ(r["msg"].get<std::string>(), "cancel");
  auto frames = rig.Received(kUsbUnit, "EWSTW");
  ASSERT_GE(frames.size(), 3u);
  EXPECT_EQ(std::string(*frames[1].Find("ACT")), "2");
  for (std::size_t i = 2; i < frames.size(); ++i) {
    EXPECT_FALSE(frames[i].Find("DATA")) << "a read-back went out after the cancel";
  }
}

struct ScanCase {
  const char* what;
  std::string freqs;
  std::chrono::milliseconds cancelAfter;
  std::size_t measured;
};

TEST_F(StalledSim, CancelledLevelScanStillSendsTheClosingCommand) {
  FaultRule slow = Fault("VLB1", FaultKind::kDelay, -1);
  slow.delayMs = 300;
  Inject(slow);
  const ScanCase cases[] = {
      {"during the only channel", "[10]", 150ms, 1},
      {"during the second of six", "[1,2,3,4,5,6]", 450ms, 2},
  };
  for (const ScanCase& c : cases) {
    SCOPED_TRACE(c.what);
    rig.Sim().GetTranscript().Clear();
    auto answer = Call("ComTcmdGetRsLevel", ",\"freqs\":" + c.freqs, c.cancelAfter);
    EXPECT_FALSE(answer.success);
    EXPECT_EQ(answer.text, R"({"code1":0,"msg":"cancel"})");
    auto frames = rig.Received(kUsbUnit, "VLB1");
    ASSERT_EQ(frames.size(), c.measured + 1);
    EXPECT_EQ(std::string(*frames.back().Find("DATA")), kClosing);
  }
}

}  // namespace
