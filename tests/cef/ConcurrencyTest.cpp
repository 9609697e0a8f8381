#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "BridgeTestSupport.h"

using namespace bridge_test;
using namespace Sorrel::cef;
using namespace std::chrono_literals;

namespace {

struct Rig {
  QueryTaskGroup tasks{100ms};
  std::shared_ptr<JsQueryFactory> factory = std::make_shared<JsQueryFactory>();
  std::unique_ptr<BsmsgRouter> router = std::make_unique<BsmsgRouter>(tasks);
  std::shared_ptr<FakeBrowser> browser = std::make_shared<FakeBrowser>();
  Rig() { router->AttachFactory(factory); }
};

TEST(Concurrency, ManyQueriesFromSeveralThreadsEachAnsweredOnce) {
  Rig rig;
  rig.factory->Add(std::make_shared<LambdaHandler>("Work", [](const lm::json::Value& args, auto& reply, auto&) {
    std::this_thread::sleep_for(std::chrono::microseconds(static_cast<int>(args.get<double>()) % 500));
    reply->Success(lm::json::ToText(args));
  }));
  constexpr int kThreads = 4, kPerThread = 100;
  std::vector<std::shared_ptr<RecordingCallback>> callbacks(kThreads * kPerThread);
  std::atomic<int64_t> nextId{1};
  std::vector<std::thread> senders;
  for (int t = 0; t < kThreads; ++t) {
    senders.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i) {
        int n = t * kPerThread + i;
        callbacks[n] = std::make_shared<RecordingCallback>();
        ASSERT_TRUE(rig.router->OnQuery(rig.browser, nextId++, "jsquery:Work " + std::to_string(n), false, callbacks[n]));
      }
    });
  }
  for (auto& s : senders) s.join();
  rig.tasks.CancelAndWait();
  for (int n = 0; n < kThreads * kPerThread; ++n) {
    auto answers = callbacks[n]->Answers();
    ASSERT_EQ(answers.size(), 1u) << n;
    EXPECT_EQ(answers[0].text, std::to_string(n));
  }
  EXPECT_EQ(rig.router->Pending().AliveCount(), 0u);
}

TEST(Concurrency, CancelRacingCompletionAnswersAtMostOnce) {
  Rig rig;
  std::atomic<int> executed{0};
  rig.factory->Add(std::make_shared<LambdaHandler>("Quick", [&](auto&, auto& reply, auto&) {
    ++executed;
    reply->Success("1");
  }));
  std::mt19937 rng(42);
  constexpr int kQueries = 300;
  std::vector<std::shared_ptr<RecordingCallback>> callbacks;
  for (int64_t id = 1; id <= kQueries; ++id) {
    auto cb = std::make_shared<RecordingCallback>();
    callbacks.push_back(cb);
    ASSERT_TRUE(rig.router->OnQuery(rig.browser, id, "jsquery:Quick {}", false, cb));
    if (rng() % 2) std::this_thread::yield();
    if (rng() % 3 == 0) {
      rig.router->OnQueryCanceled(rig.browser, id);
    } else if (rng() % 3 == 1) {
      auto cancelCb = std::make_shared<RecordingCallback>();
      rig.router->OnQuery(rig.browser, 100000 + id, "jsquery:cancel " + std::to_string(id), false, cancelCb);
      ASSERT_TRUE(cancelCb->WaitFor(1));
    }
  }
  rig.tasks.CancelAndWait();
  EXPECT_EQ(executed.load(), kQueries);
  for (auto& cb : callbacks) EXPECT_LE(cb->Count(), 1u);
  EXPECT_EQ(rig.router->Pending().AliveCount(), 0u);
}

TEST(Concurrency, ShutdownWhileQueriesRunAndArrive) {
  Rig rig;
  auto slow = std::make_shared<LambdaHandler>("Slow", [&](auto&, auto& reply, LambdaHandler& self) {
    if (self.GetState() != JsQueryHandler::kCancelRequested) std::this_thread::sleep_for(20ms);
    reply->Success("1");
  });
  rig.factory->Add(slow);
  std::atomic<bool> stop{false};
  std::thread sender([&] {
    for (int64_t id = 1; !stop; ++id) {
      rig.router->OnQuery(rig.browser, id, "jsquery:Slow {}", false, std::make_shared<RecordingCallback>());
      std::this_thread::sleep_for(1ms);
    }
  });
  std::this_thread::sleep_for(30ms);
  stop = true;
  sender.join();
  rig.router->Shutdown();
  EXPECT_EQ(rig.tasks.Busy(), 0u);
  EXPECT_EQ(rig.router->Pending().AliveCount(), 0u);
}

}  // namespace
