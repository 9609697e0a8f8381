// Device input and output on the window loop aborts checked builds: a send,
// a receive, an exchange of any executor, a connection opening or a wait
// for a unit's lease run on the loop die with a message naming it; the same
// work on a worker thread, or on the thread once its loop has ended, runs.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

#include "MainLoopWindow.h"
#include "lm/ThreadRole.h"
#include "sorrel/com/UnitLease.h"
#include "vantor/vcomm/ExecutorVela.h"
#include "vantor/com/Tcmd.h"

namespace search_test {
namespace {

using com::vantor::Bytes;
using com::vantor::ExecResult;

// An open executor whose every exchange succeeds at once, so only the
// thread decides whether Execute gets through.
class InstantExecutor : public com::vantor::Executor {
 public:
  bool IsOpen() const override { return true; }
  void Close() override {}
  ExecResult Send(const Bytes&) override { return ExecResult::Completed(); }
  ExecResult Recv(int, com::vantor::Icmd&) override { return ExecResult::Completed(); }
};

class OneExchange : public com::vantor::Tcmd {
 public:
  OneExchange() : Tcmd("EBSTS") {}
  bool IsContinue(int) const override { return false; }
  bool IsSuccess() const override { return true; }
};

struct Case {
  const char* what;
  const char* message;  // what the abort names
  std::function<void()> work;
};

const Case kCases[] = {
    {"send", "ExecutorVela::Send", [] { com::vantor::ExecutorVela().Send(Bytes{'T'}); }},
    {"receive", "ExecutorVela::Recv",
     [] {
       OneExchange command;
       com::vantor::ExecutorVela().Recv(com::vantor::kPhaseFirst, command);
     }},
    {"exchange of any executor", "Executor::Exchange",
     [] {
       OneExchange command;
       InstantExecutor().Execute(command, 0);
     }},
    {"USB open", "ExecutorVela::OpenUSB", [] { com::vantor::ExecutorVela().OpenUSB(0x00FE0001, 0); }},
    {"lease of a free unit", "UnitGate::Acquire",
     [] {
       Sorrel::Com::UnitGate gate;
       Sorrel::Com::UnitLease lease(gate, nullptr);
     }},
};

class WindowThreadGuard : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef LM_THREAD_CHECKS
    GTEST_SKIP() << "built without LM_THREAD_CHECKS";
#endif
    // The loop runs on a thread of its own: the child must start afresh.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
  }
};

TEST_F(WindowThreadGuard, DeviceWorkOnTheLoopAborts) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    EXPECT_DEATH(
        {
          MainLoopWindow window;
          window.Call(c.work);
        },
        std::string("device I/O on the window thread: ") + c.message);
  }
}

TEST_F(WindowThreadGuard, DeviceWorkOffTheLoopRuns) {
  MainLoopWindow window;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    bool ran = false;
    std::thread worker([&] {
      c.work();
      ran = true;
    });
    worker.join();
    EXPECT_TRUE(ran);
  }
}

TEST_F(WindowThreadGuard, TheMarkEndsWithTheLoop) {
  std::thread::id loopThread;
  {
    MainLoopWindow window;
    window.Call([&] {
      loopThread = std::this_thread::get_id();
      EXPECT_TRUE(lm::thread_role::OnWindowThread());
    });
  }
  EXPECT_NE(loopThread, std::thread::id());
  // Only the loop's thread was marked, and only while it ran.
  EXPECT_FALSE(lm::thread_role::OnWindowThread());
  lm::thread_role::WindowThreadScope outer;
  EXPECT_TRUE(lm::thread_role::OnWindowThread());
  { MainLoopWindow nested; }
  EXPECT_TRUE(lm::thread_role::OnWindowThread());
}

}  // namespace
}  // namespace search_test
