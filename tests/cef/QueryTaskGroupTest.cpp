#include <gtest/gtest.h>

#include <atomic>

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
