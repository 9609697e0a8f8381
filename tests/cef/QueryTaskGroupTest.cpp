#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "BridgeTestSupport.h"
#include "sorrel/cef/QueryTaskGroup.h"

using namespace std::chrono_literals;
using bridge_test::Gate;
using Sorrel::cef::QueryTaskGroup;

TEST(QueryTaskGroup, ABlockedTaskNeverDelaysAnother) {
  QueryTaskGroup tasks(200ms);
  Gate blocker, done;
  // More blocked tasks than cores: a fixed pool the size of the core count would stall.
  for (int i = 0; i < 8; ++i) tasks.Run([&] { blocker.Wait(); });
  tasks.Run([&] { done.Open(); });
  EXPECT_TRUE(done.Wait(2s));
  blocker.Open();
  tasks.CancelAndWait();
  EXPECT_EQ(tasks.Busy(), 0u);
}

TEST(QueryTaskGroup, IdleWorkersAreReusedThenRetire) {
  QueryTaskGroup tasks(100ms);
  for (int i = 0; i < 5; ++i) {
    tasks.Run([] {});
    tasks.CancelAndWait();
  }
  EXPECT_LE(tasks.Workers(), 2u);  // sequential tasks share a worker
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(tasks.Workers(), 0u);
  std::atomic<int> ran{0};
  tasks.Run([&] { ++ran; });  // a new worker after retirement
  tasks.CancelAndWait();
  EXPECT_EQ(ran.load(), 1);
}

TEST(QueryTaskGroup, WaitCoversEveryTaskAndSurvivesThrowingTasks) {
  std::atomic<int> ran{0};
  {
    QueryTaskGroup tasks(50ms);
    for (int i = 0; i < 100; ++i) {
      tasks.Run([&, i] {
        std::this_thread::sleep_for(std::chrono::microseconds(i % 7 * 100));
        ++ran;
        if (i % 10 == 0) throw std::runtime_error("task failure");
      });
    }
    tasks.CancelAndWait();
    EXPECT_EQ(ran.load(), 100);
    tasks.Run([&] { ++ran; });
  }  // the destructor waits for the last one too
  EXPECT_EQ(ran.load(), 101);
}

// A burst of queries, each of which blocks until all of them run at once:
// only a group that gives every task a worker of its own finishes it. Bursts
// of different sizes, into a fresh group and into one with idle workers left
// from an earlier burst.
TEST(QueryTaskGroup, EveryTaskOfABurstRunsAtOnceWithTheOthers) {
  struct Case {
    int earlier;  // tasks of an earlier burst, whose workers are idle now
    int burst;
  };
  const Case cases[] = {{0, 1}, {0, 2}, {0, 16}, {0, 64}, {3, 16}, {16, 4}, {40, 40}};
  for (const auto& c : cases) {
    QueryTaskGroup tasks(10s);
    for (int i = 0; i < c.earlier; ++i) tasks.Run([] {});
    tasks.CancelAndWait();
    std::mutex mutex;
    std::condition_variable allIn;
    int running = 0;
    std::atomic<int> metAll{0};
    for (int i = 0; i < c.burst; ++i) {
      tasks.Run([&] {
        std::unique_lock lock(mutex);
        if (++running == c.burst) allIn.notify_all();
        if (allIn.wait_for(lock, 5s, [&] { return running == c.burst; })) ++metAll;
      });
    }
    tasks.CancelAndWait();
    EXPECT_EQ(metAll.load(), c.burst) << "earlier " << c.earlier << ", burst " << c.burst;
    EXPECT_EQ(tasks.Busy(), 0u);
  }
}

// Sixteen quick tasks kept in flight, each handing in the next as it ends,
// as the page keeps its queries going: workers woken for tasks another
// worker took first must not make the group grow with every task (it grew
// to thousands here). The bound is loose: a worker delayed between two tasks
// still counts, and a loaded machine delays many.
TEST(QueryTaskGroup, TasksKeptInFlightNeedNoMoreWorkersThanThat) {
  constexpr int kInFlight = 16, kTotal = 20000;
  QueryTaskGroup tasks(10s);
  std::atomic<int> started{0};
  Gate done;
  std::function<void()> next = [&] {
    if (started.fetch_add(1) >= kTotal) return done.Open();
    tasks.Run(next);
  };
  for (int i = 0; i < kInFlight; ++i) tasks.Run(next);
  ASSERT_TRUE(done.Wait(20s));
  tasks.CancelAndWait();
  EXPECT_LE(tasks.Workers(), static_cast<size_t>(8 * kInFlight));
}

// Small bursts in quick succession, so a worker finishing one task often
// takes the next before the worker woken for it arrives: no task may then be
// left waiting for an idle worker's timeout.
TEST(QueryTaskGroup, QuickSuccessionNeverLeavesATaskWaiting) {
  QueryTaskGroup tasks(30s);
  std::mutex mutex;
  std::condition_variable changed;
  int done = 0, expected = 0;
  for (int round = 0; round < 3000; ++round) {
    const int burst = 1 + round % 3;
    for (int i = 0; i < burst; ++i) {
      tasks.Run([&, round] {
        if (round % 2) std::this_thread::sleep_for(std::chrono::microseconds(20));
        std::lock_guard lock(mutex);
        ++done;
        changed.notify_all();
      });
    }
    expected += burst;
    std::unique_lock lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, 2s, [&] { return done == expected; })) << "round " << round;
  }
  tasks.CancelAndWait();
}
