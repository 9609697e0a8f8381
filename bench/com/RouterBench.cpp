// What the query bridge costs by itself: a query whose handler answers at
// once, against a bare hand-off of the same kind (to a waiting thread and
// back through a promise). The gap between the two is the router's own
// work; the hand-off is what every query pays for running on a worker of
// the query task group. Prints its figures; not a test.

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "sorrel/cef/BsmsgRouter.h"
#include "sorrel/cef/JsQueryHandler.h"
#include "sorrel/cef/Manager.h"

namespace {

using Clock = std::chrono::steady_clock;

class NullBrowser : public Sorrel::cef::Browser {
 public:
  int32_t Identifier() const override { return 1; }
  std::string MainFrameUrl() const override { return "bench:"; }
};

class Answer : public Sorrel::cef::QueryCallback {
 public:
  explicit Answer(std::function<void()> done) : done_(std::move(done)) {}
  void Success(const std::string&) override { done_(); }
  void Failure(int32_t, const std::string&) override { done_(); }

 private:
  std::function<void()> done_;
};

// One worker thread fed through a locked queue, as plain as a hand-off gets.
class Worker {
 public:
  Worker() : thread_([this] { Loop(); }) {}
  ~Worker() {
    Post(nullptr);
    thread_.join();
  }
  void Post(std::function<void()> fn) {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(fn));
    cv_.notify_one();
  }

 private:
  void Loop() {
    for (;;) {
      std::unique_lock lock(mutex_);
      cv_.wait(lock, [&] { return !queue_.empty(); });
      auto fn = std::move(queue_.front());
      queue_.pop_front();
      lock.unlock();
      if (!fn) return;
      fn();
    }
  }
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> queue_;
  std::thread thread_;
};

double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::atoi(argv[1]) : 20000;

  Worker worker;
  auto bare = [&] {
    std::promise<void> done;
    worker.Post([&] { done.set_value(); });
    done.get_future().wait();
  };

  Sorrel::cef::Manager manager;
  manager.AddQuery(std::make_shared<Sorrel::cef::JsQueryHandler>("BenchNull", "app.bench.null", 0));
  Sorrel::cef::QueryTaskGroup tasks;
  Sorrel::cef::BsmsgRouter router(tasks);
  auto browser = std::make_shared<NullBrowser>();
  manager.RegisterBrowser(browser, router);
  int64_t id = 1;
  auto query = [&] {
    std::promise<void> done;
    router.OnQuery(browser, id++, "jsquery:BenchNull {\"comInfo\":{\"com\":3}}", false,
                   std::make_shared<Answer>([&] { done.set_value(); }));
    done.get_future().wait();
  };

  // Alternating rounds, so drift in the machine's load falls on both.
  Clock::duration tBare{}, tQuery{};
  for (int round = 0; round < 10; ++round) {
    auto t0 = Clock::now();
    for (int i = 0; i < n / 10; ++i) bare();
    auto t1 = Clock::now();
    for (int i = 0; i < n / 10; ++i) query();
    tBare += t1 - t0;
    tQuery += Clock::now() - t1;
  }
  std::printf("a query answered at once, %d calls, one at a time\n", n);
  std::printf("%-44s %7.1f us each\n", "bare hand-off to a thread and back", Micros(tBare) / n);
  std::printf("%-44s %7.1f us each\n", "through the router and the query task group", Micros(tQuery) / n);
  std::printf("%-44s %7.1f us\n", "router's own work per query", (Micros(tQuery) - Micros(tBare)) / n);
  router.Shutdown();
  return 0;
}
