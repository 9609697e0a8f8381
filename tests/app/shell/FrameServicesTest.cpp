// The window-thread services on a private GLib main context driven by the
// test thread, which plays the window thread.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "linkmeter/shell/FrameServices.h"

using linkmeter::shell::FrameServices;
using namespace std::chrono_literals;

namespace {

class FrameServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context = g_main_context_new();
    g_main_context_push_thread_default(context);
    services = FrameServices::Create(context, [this] {
      ++closes;
      closedAt = std::chrono::steady_clock::now();
    });
  }
  void TearDown() override {
    services.reset();
    while (g_main_context_iteration(context, FALSE)) {
    }
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
  }
  // Runs the loop until the condition holds or the limit passes.
  bool Spin(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < end) {
      if (!g_main_context_iteration(context, FALSE)) std::this_thread::sleep_for(1ms);
    }
    return done();
  }

  GMainContext* context = nullptr;
  std::shared_ptr<FrameServices> services;
  int closes = 0;
  std::chrono::steady_clock::time_point closedAt;
};

}  // namespace

TEST_F(FrameServicesTest, CallWaitsForTheWindowThreadAndCarriesItsException) {
  std::atomic<int> state{0};
  std::thread caller([&] {
    int value = 0;
    EXPECT_TRUE(services->Call([&] { value = 42; }));
    EXPECT_EQ(value, 42);
    EXPECT_THROW(services->Call([] { throw std::runtime_error("window task"); }), std::runtime_error);
    state = 1;
  });
  EXPECT_TRUE(Spin([&] { return state == 1; }));
  caller.join();
  // On the window thread itself the call runs at once.
  bool ran = false;
  EXPECT_TRUE(services->Call([&] { ran = true; }));
  EXPECT_TRUE(ran);
}

TEST_F(FrameServicesTest, AStoppedWindowThreadReleasesWaitingCallers) {
  std::atomic<int> result{-1};
  std::thread caller([&] { result = services->Call([] {}) ? 1 : 0; });
  std::this_thread::sleep_for(50ms);  // the caller is waiting; nobody runs the loop
  services->Stop();
  caller.join();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(services->Post([] {}), 0);
}

TEST_F(FrameServicesTest, PostsRunInOrderWithDistinctIdsUntilClosing) {
  std::vector<int> order;
  uint16_t first = services->Post([&] { order.push_back(1); });
  uint16_t second = services->Post([&] { order.push_back(2); });
  EXPECT_NE(first, 0);
  EXPECT_NE(second, 0);
  EXPECT_NE(first, second);
  EXPECT_EQ(services->PendingTasks(), 2u);
  EXPECT_TRUE(Spin([&] { return order.size() == 2; }));
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  EXPECT_EQ(services->PendingTasks(), 0u);

  // Queued before the frame started closing, run after: dropped.
  services->Post([&] { order.push_back(3); });
  services->SetClosing();
  EXPECT_EQ(services->Post([&] { order.push_back(4); }), 0);
  EXPECT_TRUE(Spin([&] { return services->PendingTasks() == 0; }));
  EXPECT_EQ(order.size(), 2u);
}

TEST_F(FrameServicesTest, TaskIdsWrapAroundSkippingZero) {
  std::set<uint16_t> seen;
  for (int i = 0; i < 70000; ++i) {
    uint16_t id = services->Post([] {});
    ASSERT_NE(id, 0);
    if (i % 1000 == 0) Spin([&] { return services->PendingTasks() == 0; });
    seen.insert(id);
  }
  EXPECT_EQ(seen.size(), 65535u);
}

TEST_F(FrameServicesTest, ForcedCloseGoesAheadAtOnceWithNothingPending) {
  services->ForceClose();
  EXPECT_TRUE(Spin([&] { return closes == 1; }));
  EXPECT_EQ(services->CloseRetries(), 0);
}

TEST_F(FrameServicesTest, ForcedCloseWaitsForARunningTaskAtMostThreeSteps) {
  // A task that keeps the window thread busy in a nested loop (a modal
  // dialog, say) and never finishes before the close gives up waiting.
  auto start = std::chrono::steady_clock::now();
  services->Post([&] {
    services->ForceClose();
    Spin([&] { return closes == 1; }, 3s);
  });
  EXPECT_TRUE(Spin([&] { return closes == 1; }));
  EXPECT_EQ(services->CloseRetries(), 3);
  EXPECT_GE(closedAt - start, 900ms);
}

TEST_F(FrameServicesTest, ForcedCloseFollowsATaskThatEndsBetweenSteps) {
  auto start = std::chrono::steady_clock::now();
  services->Post([&] {
    services->ForceClose();
    Spin([] { return false; }, 450ms);  // ends during the second step
  });
  EXPECT_TRUE(Spin([&] { return closes == 1; }));
  EXPECT_EQ(services->CloseRetries(), 2);
  EXPECT_GE(closedAt - start, 600ms);
}
