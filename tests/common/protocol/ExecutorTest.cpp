// The exchange loop over a scripted in-process device.

#include <gtest/gtest.h>

#include <stdexcept>

#include "FakeDevice.h"
#include "TestCommands.h"
#include "vantor/com/TcmdWireless.h"

namespace com::vantor::testing {
namespace {

using Fault = Reply::Fault;
using Acts = std::vector<std::string>;

// Answers from a list, the last one repeated; optionally runs an action
// (a cancel request, as the UI thread would make) when answering request n.
FakeDevice::Script Sequence(std::vector<const char*> statuses, std::size_t actAt = SIZE_MAX,
                            std::function<void()> action = {}) {
  return [=](const TBody&, std::size_t index) {
    if (index == actAt && action) action();
    return Reply::Status(statuses[std::min(index, statuses.size() - 1)]);
  };
}

std::uint64_t Gap(const FakeDevice& device, std::size_t from, std::size_t to) {
  return device.SentFrames()[to].tick - device.SentFrames()[from].tick;
}

TEST(Executor, ClosedExecutorCallsNoHook) {
  FakeDevice device(Sequence({"0002-0000"}));
  device.Close();
  CountingCmd command;
  device.Execute(command, 0);
  EXPECT_EQ(command.GetResult(), ExecResult::NotOpen());
  EXPECT_EQ(command.HookCalls(), 0);
  EXPECT_TRUE(device.SentFrames().empty());
}

TEST(Executor, SingleExchangeCompletesAndFinishesOnce) {
  FakeDevice device(Sequence({"0002-0000"}));
  CountingCmd command;
  device.Execute(command, 0);
  EXPECT_EQ(command.GetResult(), ExecResult::Completed());
  EXPECT_EQ(command.finishes, 1);
  EXPECT_TRUE(command.IsSuccess());
  EXPECT_EQ(device.RecvPhases(), std::vector<int>{kPhaseFirst});
  // A second run starts from a clean answer.
  FakeDevice silent([](const TBody&, std::size_t) { return Reply::Status("0002-0000").With(Fault::kWrongName); });
  silent.Execute(command, 0);
  EXPECT_EQ(command.GetStatusText(), "0000-0000");
  EXPECT_EQ(command.resets, 2);
}

TEST(Executor, PlainCommandResendsItsFirstRequest) {
  FakeDevice device(Sequence({"0002-0001"}));
  CountingCmd command(2);
  command.SetSendField("X", "1");
  device.Execute(command, 0);
  ASSERT_EQ(device.SentFrames().size(), 3u);
  EXPECT_EQ(device.SentFrames()[1].frame, device.SentFrames()[0].frame);
  EXPECT_EQ(device.SentFrames()[2].frame, device.SentFrames()[0].frame);
  EXPECT_EQ(device.RecvPhases(), (std::vector<int>{0, 1, 1}));
  EXPECT_GE(Gap(device, 0, 1), 50u);
  EXPECT_EQ(command.GetResult().status, ExecResult::kCompleted);
  EXPECT_FALSE(command.IsSuccess());
}

TEST(Executor, PlainCommandCancelEndsAtOnceWithNothingSent) {
  FakeDevice* self = nullptr;
  FakeDevice device(Sequence({"0002-0001"}, 1, [&] { self->RequestCancel(false); }));
  self = &device;
  CountingCmd command(-1);
  device.Execute(command, 0);
  EXPECT_EQ(command.GetResult(), ExecResult::Cancelled());
  EXPECT_EQ(command.GetResult().message, "cancel");
  EXPECT_EQ(device.SentFrames().size(), 2u);
  EXPECT_EQ(command.finishes, 0);
}

TEST(Executor, CancelRequestedBeforeExecuteIsForgotten) {
  FakeDevice device(Sequence({"0002-0000"}));
  device.RequestCancel(true);
  CountingCmd command(1);
  device.Execute(command, 0);
  EXPECT_EQ(command.GetResult().status, ExecResult::kCompleted);
  EXPECT_EQ(device.SentFrames().size(), 2u);
}

TEST(Executor, WirelessPollsWithActOneEveryHalfSecond) {
  FakeDevice device(Sequence({"0004-0000", "0004-0001", "0004-0000"}));
  TcmdWireless command("EWLEX");
  command.SetSendField("CH", "3");
  device.Execute(command, 0);
  EXPECT_EQ(device.Acts(), (Acts{"0", "1", "1"}));
  EXPECT_EQ(device.SentFrames()[0].body.fields.count("CH"), 1u);
  EXPECT_EQ(device.SentFrames()[1].body.fields.size(), 1u);  // ACT alone
  for (std::size_t i = 1; i < 3; ++i) {
    EXPECT_GE(Gap(device, i - 1, i), 500u);
    EXPECT_LT(Gap(device, i - 1, i), 700u);
  }
  EXPECT_EQ(command.GetResult().status, ExecResult::kCompleted);
  EXPECT_TRUE(command.IsSuccess());
}

TEST(Executor, WirelessRefusedAtStartIsNotPolled) {
  FakeDevice device(Sequence({"0004-0002"}));
  TcmdWireless command("EWLEX");
  device.Execute(command, 0);
  EXPECT_EQ(device.Acts(), Acts{"0"});
  EXPECT_EQ(command.GetResult().status, ExecResult::kCompleted);
  EXPECT_FALSE(command.IsSuccess());
}

TEST(Executor, CancelDuringPollingFollowsTheDeviceToTheEnd) {
  FakeDevice* self = nullptr;
  // start accepted, working (cancel asked here), cancel accepted, working, done
  FakeDevice device(Sequence({"0004-0000", "0004-0001", "0004-0000", "0004-0005"}, 1,
                             [&] { self->RequestCancel(false); }));
  self = &device;
  TcmdWireless command("EWLEX");
  device.Execute(command, 0);
  EXPECT_EQ(device.Acts(), (Acts{"0", "1", "2", "1"}));
  EXPECT_EQ(device.RecvPhases(), (std::vector<int>{0, 1, 2, 1}));
  EXPECT_LT(Gap(device, 1, 2), 100u);  // the cancel request goes at once
  EXPECT_GE(Gap(device, 2, 3), 500u);
  EXPECT_EQ(command.GetResult(), ExecResult::Cancelled());
}

TEST(Executor, AbandoningCancelStopsAfterTheCancelAnswer) {
  FakeDevice* self = nullptr;
  FakeDevice device(Sequence({"0004-0000", "0004-0001", "0004-0000"}, 1, [&] { self->RequestCancel(true); }));
  self = &device;
  TcmdWireless command("EWLEX");
  device.Execute(command, 0);
  EXPECT_EQ(device.Acts(), (Acts{"0", "1", "2"}));
  EXPECT_EQ(command.GetResult(), ExecResult::Cancelled());
}

TEST(Executor, CancelFromAnotherThreadDuringThePause) {
  FakeDevice device(Sequence({"0004-0000", "0004-0001", "0004-0000", "0004-0005"}));
  TcmdWireless command("EWLEX");
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    device.RequestCancel(true);
  });
  device.Execute(command, 0);
  canceller.join();
  EXPECT_EQ(device.Acts(), (Acts{"0", "1", "2"}));
  EXPECT_EQ(command.GetResult().status, ExecResult::kCancelled);
}

TEST(Executor, DeadlinePassesBetweenExchanges) {
  FakeDevice device(Sequence({"0002-0001"}));
  CountingCmd command(-1);
  auto start = Executor::NowTick();
  device.Execute(command, 120);
  EXPECT_EQ(command.GetResult(), ExecResult::Timeout());
  EXPECT_EQ(command.GetResult().message, "timeout");
  EXPECT_LT(Executor::NowTick() - start, 400u);
  EXPECT_GE(device.SentFrames().size(), 2u);
}

TEST(Executor, DeadlineAlsoBoundsTheCancelPolling) {
  FakeDevice* self = nullptr;
  FakeDevice device(Sequence({"0004-0000", "0004-0000", "0004-0001"}, 0, [&] { self->RequestCancel(false); }));
  self = &device;
  TcmdWireless command("EWLEX");
  device.Execute(command, 300);
  EXPECT_EQ(command.GetResult(), ExecResult::Timeout());
  EXPECT_EQ(device.Acts(), (Acts{"0", "2", "1"}));
}

TEST(Executor, FaultsOfTheDevice) {
  struct Case {
    Fault fault;
    ExecResult expected;
    const char* status;
  };
  std::vector<Case> cases = {
      {Fault::kDrop, ExecResult(5, "Vcomm_RecvComm : TIMEOUT_ERR(-28)", 1028, 103), "0000-0000"},
      {Fault::kDisconnect, ExecResult(5, "Vcomm_RecvComm : RECVDATA_ERR(-26)", 1026, 103), "0000-0000"},
      {Fault::kBadChecksum, ExecResult::Completed(), "0000-0000"},
      {Fault::kWrongName, ExecResult::Completed(), "0000-0000"},
      {Fault::kNone, ExecResult::Completed(), "0002-0000"},
  };
  for (const Case& c : cases) {
    FakeDevice device([&](const TBody&, std::size_t) { return Reply::Status("0002-0000").With(c.fault); });
    CountingCmd command;
    device.Execute(command, 0);
    EXPECT_EQ(command.GetResult(), c.expected) << static_cast<int>(c.fault);
    EXPECT_EQ(command.GetStatusText(), c.status) << static_cast<int>(c.fault);
    EXPECT_EQ(command.finishes, c.expected.status == 0 ? 1 : 0);
  }
}

TEST(Executor, DisconnectWhilePollingFailsTheNextSend) {
  FakeDevice device([](const TBody&, std::size_t index) {
    return index == 0 ? Reply::Status("0004-0000") : Reply::Status("0004-0001").With(Fault::kDisconnect);
  });
  TcmdWireless command("EWLEX");
  device.Execute(command, 0);
  EXPECT_EQ(command.GetResult().code2, 103);
  device.Execute(command, 0);
  EXPECT_EQ(command.GetResult(), ExecResult(5, "Vcomm_SendComm : SEND_ERR(-25)", 1025, 102));
}

TEST(Executor, SlowAnswerStillCounts) {
  FakeDevice device([](const TBody&, std::size_t) {
    Reply reply = Reply::Status("0002-0000");
    reply.delayMs = 30;
    reply.form = LengthForm::One;
    return reply;
  });
  CountingCmd command;
  device.Execute(command, 0);
  EXPECT_TRUE(command.IsSuccess());
}

// Hooks may end an execution with an error result; other faults pass through.
class ThrowingCmd : public CountingCmd {
 public:
  explicit ThrowingCmd(bool asResult) : asResult_(asResult) {}
  void ParseRecvData(int, std::string_view) override {
    if (asResult_) throw ExecResult::Error("ThrowingCmd", 7, 8);
    throw std::runtime_error("hook fault");
  }

 private:
  bool asResult_;
};

TEST(Executor, ErrorResultsFromHooksAreStoredOtherFaultsPassThrough) {
  FakeDevice device(Sequence({"0002-0000"}));
  ThrowingCmd result(true);
  device.Execute(result, 0);
  EXPECT_EQ(result.GetResult(), ExecResult::Error("ThrowingCmd", 7, 8));
  ThrowingCmd fault(false);
  EXPECT_THROW(device.Execute(fault, 0), std::runtime_error);
  EXPECT_EQ(fault.GetResult(), ExecResult::Started());
}

}  // namespace
}  // namespace com::vantor::testing
