// The main-loop poster on private GLib contexts: posted work runs on the
// loop's thread, in posting order, also behind a task that runs a nested
// loop, and is destroyed unrun when the context goes away.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "sorrel/cef/webkit/LoopPoster.h"
#include "sorrel/cef/webkit/PdfPrinter.h"

using Sorrel::cef::webkit::LoopPoster;
using namespace std::chrono_literals;

namespace {

// Runs the context on a thread of its own until the condition holds.
bool IterateUntil(GMainContext* context, const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
  auto end = std::chrono::steady_clock::now() + limit;
  while (!done() && std::chrono::steady_clock::now() < end) g_main_context_iteration(context, FALSE);
  return done();
}

struct Ran {
  std::mutex mutex;
  std::vector<std::pair<int, int>> order;  // producer, sequence
  std::atomic<int> count{0};
  std::atomic<bool> offThread{false};
};

}  // namespace

TEST(LoopPoster, RunsOnTheLoopThreadInPostingOrder) {
  const struct {
    int producers, each;
  } cases[] = {{1, 1}, {1, 500}, {4, 300}, {16, 50}};
  for (const auto& c : cases) {
    GMainContext* context = g_main_context_new();
    auto poster = std::make_unique<LoopPoster>(context);
    Ran ran;
    std::thread::id loopThread;
    std::atomic<bool> stop{false};
    std::thread loop([&] {
      g_main_context_push_thread_default(context);
      loopThread = std::this_thread::get_id();
      while (!stop) g_main_context_iteration(context, FALSE);
      g_main_context_pop_thread_default(context);
    });
    std::vector<std::thread> producers;
    for (int p = 0; p < c.producers; ++p) {
      producers.emplace_back([&, p] {
        for (int i = 0; i < c.each; ++i) {
          poster->Post([&, p, i] {
            if (std::this_thread::get_id() != loopThread) ran.offThread = true;
            std::lock_guard lock(ran.mutex);
            ran.order.emplace_back(p, i);
            ++ran.count;
          });
        }
      });
    }
    for (auto& t : producers) t.join();
    const int total = c.producers * c.each;
    auto end = std::chrono::steady_clock::now() + 5s;
    while (ran.count < total && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(1ms);
    stop = true;
    loop.join();
    ASSERT_EQ(ran.count, total) << c.producers << "x" << c.each;
    EXPECT_FALSE(ran.offThread);
    std::vector<int> next(c.producers, 0);
    for (auto [p, i] : ran.order) EXPECT_EQ(i, next[p]++) << "producer " << p;
    poster.reset();
    g_main_context_unref(context);
  }
}

TEST(LoopPoster, NeverRunsInsideThePostAndKeepsLaterPostsForTheNextTurn) {
  GMainContext* context = g_main_context_new();
  g_main_context_push_thread_default(context);
  {
    LoopPoster poster(context);
    std::vector<int> order;
    poster.Post([&] {
      order.push_back(1);
      poster.Post([&] { order.push_back(3); });
      order.push_back(2);
    });
    EXPECT_TRUE(order.empty());
    g_main_context_iteration(context, FALSE);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));  // the inner post waits for the loop
    ASSERT_TRUE(IterateUntil(context, [&] { return order.size() == 3; }));
    EXPECT_EQ(order.back(), 3);
  }
  while (g_main_context_iteration(context, FALSE)) {
  }
  g_main_context_pop_thread_default(context);
  g_main_context_unref(context);
}

TEST(LoopPoster, WorkBehindANestedLoopRunsInsideIt) {
  GMainContext* context = g_main_context_new();
  g_main_context_push_thread_default(context);
  {
    LoopPoster poster(context);
    std::vector<int> order;
    bool nestedSawOthers = false;
    poster.Post([&] {
      order.push_back(1);
      // A modal dialog: its own loop runs until the work queued behind it has run.
      nestedSawOthers = IterateUntil(context, [&] { return order.size() == 3; }, 2s);
      order.push_back(4);
    });
    poster.Post([&] { order.push_back(2); });
    poster.Post([&] { order.push_back(3); });
    ASSERT_TRUE(IterateUntil(context, [&] { return order.size() == 4; }));
    EXPECT_TRUE(nestedSawOthers);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
  }
  while (g_main_context_iteration(context, FALSE)) {
  }
  g_main_context_pop_thread_default(context);
  g_main_context_unref(context);
}

TEST(LoopPoster, WorkLeftWhenTheContextGoesIsDestroyedUnrun) {
  auto held = std::make_shared<int>(0);
  bool ran = false;
  GMainContext* context = g_main_context_new();
  {
    LoopPoster poster(context);
    std::thread other([&] {
      for (int i = 0; i < 3; ++i) poster.Post([held, &ran] { ran = true; });
      poster.PostDelayed([held, &ran] { ran = true; }, 10ms);
    });
    other.join();
    EXPECT_EQ(held.use_count(), 5);
  }
  g_main_context_unref(context);  // the loop never ran
  EXPECT_FALSE(ran);
  EXPECT_EQ(held.use_count(), 1);
}

TEST(LoopPoster, DelayedWorkWaitsItsTime) {
  GMainContext* context = g_main_context_new();
  g_main_context_push_thread_default(context);
  {
    LoopPoster poster(context);
    std::vector<int> order;
    const auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration waited{};
    poster.PostDelayed([&] {
      order.push_back(2);
      waited = std::chrono::steady_clock::now() - start;
    }, 30ms);
    poster.Post([&] { order.push_back(1); });
    ASSERT_TRUE(IterateUntil(context, [&] { return order.size() == 2; }));
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_GE(waited, 30ms);
  }
  g_main_context_pop_thread_default(context);
  g_main_context_unref(context);
}

// Posters are made by whoever owns the loop and handed down: two in one
// process stay apart, and what is given one (the printer here) runs only on
// that poster's loop.
TEST(LoopPoster, EachPosterFeedsOnlyItsOwnLoop) {
  GMainContext* first = g_main_context_new();
  GMainContext* second = g_main_context_new();
  {
    auto a = std::make_shared<LoopPoster>(first);
    auto b = std::make_shared<LoopPoster>(second);
    std::vector<char> ran;
    a->Post([&] { ran.push_back('a'); });
    b->Post([&] { ran.push_back('b'); });
    std::string printError = "not yet";
    Sorrel::cef::webkit::PdfPrinter(b).PrintToPdf(nullptr, "/nonexistent/x.pdf",
                                                  [&](const std::string& error) { printError = error; });
    EXPECT_EQ(printError, "not yet");  // never inside the call
    while (g_main_context_iteration(first, FALSE)) {
    }
    EXPECT_EQ(ran, std::vector<char>{'a'});
    EXPECT_EQ(printError, "not yet");
    ASSERT_TRUE(IterateUntil(second, [&] { return ran.size() == 2 && printError != "not yet"; }));
    EXPECT_EQ(ran, (std::vector<char>{'a', 'b'}));
    EXPECT_EQ(printError, "the page has no view to print");
  }
  g_main_context_unref(first);
  g_main_context_unref(second);
}
