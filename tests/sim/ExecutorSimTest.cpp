// The program's executor talking to the running simulator over real
// sockets: LAN login, single exchanges, polled radio operations, cancel,
// injected faults and USB units coming and going.

#include <gtest/gtest.h>

#include <thread>

#include "SimTestSupport.h"
#include "linkmeter/sim/Transcript.h"

namespace {

using com::vantor::ExecResult;
using com::vantor::ExecutorVela;
using linkmeter::sim::FaultKind;
using linkmeter::sim::FaultRule;
using linkmeter::sim::TranscriptEntry;
using simtest::Cmd;
using simtest::DemoSite;

constexpr std::uint32_t kFieldTh = 0x00BC0103;  // behind repeaters 1 and 2, three hops
constexpr std::uint32_t kFarWell = 0x00BC0302;  // further than the radio carries

std::vector<TranscriptEntry> Received(DemoSite& site, std::uint32_t unit) {
  std::vector<TranscriptEntry> out;
  for (const auto& e : site->GetTranscript().Entries()) {
    if (e.unit == unit && e.direction == TranscriptEntry::Direction::kReceived) out.push_back(e);
  }
  return out;
}

class ExecutorSim : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(site.Started()) << site.Error(); }
  DemoSite site;
  ExecutorVela executor;
};

TEST_F(ExecutorSim, LanLoginThenSingleExchangeWithExactBytes) {
  ASSERT_EQ(site.OpenLan(executor).status, 0);
  Cmd ebsts("EBSTS", 2, 0);
  executor.Execute(ebsts, 0);
  EXPECT_EQ(ebsts.GetResult().status, 0);
  EXPECT_TRUE(ebsts.IsSuccess());
  EXPECT_EQ(ebsts.GetRecvField("GROUPS").value_or(""), "3");  // the demo LAN unit runs three groups

  auto received = Received(site, simtest::kLanBase);
  ASSERT_EQ(received.size(), 2u);  // the login, then EBSTS
  EXPECT_EQ(linkmeter::sim::Transcript::Hex(received[1].bytes), "54 32 06 00 45 42 53 54 53 3A BB 01");
}

TEST_F(ExecutorSim, WrongPasswordIsRefusedAtLogin) {
  ExecResult r = site.OpenLan(executor, "not-the-password");
  EXPECT_EQ(r.status, 5);
  EXPECT_EQ(r.code1, 1029);
  EXPECT_EQ(r.code2, 105);
  EXPECT_FALSE(executor.IsOpen());
  ExecutorVela again;
  EXPECT_EQ(site.OpenLan(again).status, 0) << "a refused login leaves the unit usable";
}

TEST_F(ExecutorSim, RadioSurveyIsPolledEveryHalfSecondUntilItLands) {
  ASSERT_EQ(executor.OpenUSB(simtest::kUsbBase, 0).status, 0);
  auto survey = simtest::Radio("EWLEX", 12, simtest::FarId(kFieldTh, 3, 2));
  auto start = std::chrono::steady_clock::now();
  executor.Execute(*survey, 0);
  double took = simtest::SecondsBetween(start, std::chrono::steady_clock::now());

  EXPECT_EQ(survey->GetResult().status, 0);
  EXPECT_TRUE(survey->IsSuccess()) << survey->GetStatusText();
  std::string level(survey->GetRecvField("LEVEL").value_or(""));
  ASSERT_EQ(level.size(), 9u);  // repeater 1, repeater 2, the far unit
  EXPECT_EQ(level[0], 1);
  EXPECT_EQ(level[3], 2);
  EXPECT_EQ(level[6], 3);
  for (int i = 0; i < 3; ++i) EXPECT_GT(static_cast<unsigned char>(level[i * 3 + 1]), 0);

  // 900 ms in the air: ACT 0, then polls at about 500 and 1000 ms.
  auto received = Received(site, simtest::kUsbBase);
  ASSERT_EQ(received.size(), 3u);
  EXPECT_NE(received[1].bytes.find("ACT"), std::string::npos);
  EXPECT_GE(simtest::SecondsBetween(received[0].time, received[1].time), 0.45);
  EXPECT_GE(simtest::SecondsBetween(received[1].time, received[2].time), 0.45);
  EXPECT_LT(took, 2.0);
}

TEST_F(ExecutorSim, CancelSendsActTwoAndEndsCancelled) {
  ASSERT_EQ(executor.OpenUSB(simtest::kUsbBase, 0).status, 0);
  auto survey = simtest::Radio("EWLRU", 12, simtest::FarId(kFieldTh, 3, 2));
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    executor.RequestCancel(false);
  });
  executor.Execute(*survey, 0);
  canceller.join();

  EXPECT_EQ(survey->GetResult().status, 4);
  EXPECT_EQ(survey->GetResult().message, "cancel");
  // The start, a poll (the cancel is looked at after an answer that asks for
  // more), the cancel, then one poll that finds the operation cancelled.
  std::vector<std::string> acts;
  for (const auto& e : Received(site, simtest::kUsbBase)) {
    auto frame = com::vantor::ParseFrame(e.bytes);
    ASSERT_TRUE(frame);
    acts.emplace_back(frame->Find("ACT").value_or("?"));
  }
  EXPECT_EQ(acts, (std::vector<std::string>{"0", "1", "2", "1"}));
  EXPECT_EQ(survey->GetStatusText(), "0004-0008") << "the poll after the cancel reports it cancelled";
}

TEST_F(ExecutorSim, UnreachableFarUnitsEndWithAFailureStatus) {
  ASSERT_EQ(executor.OpenLAN("127.0.0.1", site->LanPort(simtest::kLanBase), simtest::kPassword, nullptr, 0).status, 0);
  auto tooFar = simtest::Radio("EWLEX", 31, simtest::FarId(kFarWell, 2, 1));
  executor.Execute(*tooFar, 0);
  EXPECT_EQ(tooFar->GetResult().status, 0);
  EXPECT_FALSE(tooFar->IsSuccess());
  EXPECT_EQ(tooFar->GetStatusText(), "0004-0002");
  EXPECT_EQ(tooFar->GetRecvField("LEVEL").value_or("").size(), 3u) << "the repeater still answered";

  FaultRule down{.kind = FaultKind::kUnreachable, .unit = 0x00C20201};
  site->InjectFault(simtest::kLanBase, down);
  auto blocked = simtest::Radio("EWSTR", 25, simtest::FarId(0x00C20201, 1, 1));
  executor.Execute(*blocked, 0);
  EXPECT_EQ(blocked->GetStatusText(), "0004-0002");
  EXPECT_FALSE(blocked->GetRecvField("DATA"));
}

struct FaultCase {
  const char* name;
  FaultRule rule;
  ExecResult expected;
  const char* status;  // the STATUS the command ends with
};
void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class InjectedFault : public ExecutorSim, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(InjectedFault, TurnsIntoTheRightResult) {
  const FaultCase& c = GetParam();
  ASSERT_EQ(executor.OpenUSB(simtest::kUsbBase, 0).status, 0);
  site->InjectFault(simtest::kUsbBase, c.rule);
  Cmd cmd("RNETP", 2, 0, 1000);
  auto start = std::chrono::steady_clock::now();
  executor.Execute(cmd, 0);
  double took = simtest::SecondsBetween(start, std::chrono::steady_clock::now());

  const ExecResult& r = cmd.GetResult();
  EXPECT_EQ(r.status, c.expected.status);
  EXPECT_EQ(r.code1, c.expected.code1);
  EXPECT_EQ(r.code2, c.expected.code2);
  EXPECT_EQ(cmd.GetStatusText(), c.status);
  if (c.rule.kind == FaultKind::kDelay) {
    EXPECT_GE(took, c.rule.delayMs / 1000.0);
  }
  EXPECT_LT(took, 3.0);
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, InjectedFault,
    ::testing::Values(
        FaultCase{"delay", {.kind = FaultKind::kDelay, .delayMs = 300}, ExecResult(0), "0002-0000"},
        FaultCase{"noAnswer", {.kind = FaultKind::kNoAnswer}, ExecResult(5, "", 1028, 103), "0000-0000"},
        FaultCase{"badChecksum", {.kind = FaultKind::kBadChecksum}, ExecResult(0), "0000-0000"},
        FaultCase{"wrongName", {.kind = FaultKind::kWrongName}, ExecResult(0), "0000-0000"},
        FaultCase{"truncated", {.kind = FaultKind::kTruncated}, ExecResult(5, "", 1028, 103), "0000-0000"},
        FaultCase{"close", {.kind = FaultKind::kClose}, ExecResult(5, "", 1026, 103), "0000-0000"},
        FaultCase{"status", {.kind = FaultKind::kStatus, .status = {2, 1}}, ExecResult(0), "0002-0001"},
        FaultCase{"otherCommandOnly", {.command = "RWLAN", .kind = FaultKind::kNoAnswer}, ExecResult(0),
                  "0002-0000"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ExecutorSim, BusyClockAnswersAreRetriedUntilTheUnitIsFree) {
  ASSERT_EQ(executor.OpenUSB(simtest::kUsbBase, 0).status, 0);
  site->InjectFault(simtest::kUsbBase, {.command = "RDTIM", .kind = FaultKind::kBusy, .times = 2});
  Cmd rdtim("RDTIM", 3, 0);
  rdtim.ContinueWhile(3, 90);
  executor.Execute(rdtim, 0);
  EXPECT_TRUE(rdtim.IsSuccess()) << rdtim.GetStatusText();
  EXPECT_EQ(rdtim.GetRecvField("DTIME").value_or("").size(), 14u);
  EXPECT_EQ(Received(site, simtest::kUsbBase).size(), 3u);
}

TEST_F(ExecutorSim, UsbUnitsAttachAndDetachWhileTheProgramRuns) {
  unsigned char flags[256] = {};
  EXPECT_EQ(Vcomm_GetConnectNum(flags, 256, 1280, 1), 1);
  EXPECT_NE(flags[0], 0);
  std::uint32_t serials[256] = {};
  ASSERT_EQ(Vcomm_GetSerial(serials, 256, 1280, 1), 1);
  EXPECT_EQ(serials[0], simtest::kUsbBase);

  ASSERT_EQ(executor.OpenUSB(simtest::kUsbBase, 0).status, 0);
  ASSERT_TRUE(site->DetachUsb(simtest::kUsbBase));
  EXPECT_EQ(Vcomm_GetConnectNum(flags, 256, 1280, 1), 0);
  Cmd lost("RUINF", 2, 0, 1000);
  executor.Execute(lost, 0);
  EXPECT_EQ(lost.GetResult().status, 5) << "unplugging ends the open stream";
  executor.Close();

  std::string error;
  ASSERT_TRUE(site->AttachUsb(simtest::kUsbBase, &error)) << error;
  EXPECT_EQ(Vcomm_GetConnectNum(flags, 256, 1280, 1), 1);
  ASSERT_EQ(executor.OpenUSB(simtest::kUsbBase, 0).status, 0);
  Cmd ruinf("RUINF", 2, 0);
  executor.Execute(ruinf, 0);
  EXPECT_EQ(ruinf.GetRecvField("NAME").value_or(""), "GREENHOUSE");
  EXPECT_EQ(ruinf.GetRecvField("SER").value_or(""), "9a0011");
}

}  // namespace
