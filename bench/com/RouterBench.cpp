// What the query bridge costs by itself: a query whose handler answers at
// once, against a bare hand-off of the same kind (to a waiting thread and
// back through a promise). The gap between the two is the router's own
// work; the hand-off is what every query pays for running on a worker of
// the query task group. Also the least a hand-off there and back costs on
// this machine (a futex ping-pong). Prints its figures; not a test.

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "HandOff.h"
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

double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

// The least a hand-off there and back can cost on this machine: two threads
// passing a turn through a futex word, nothing else.
void FutexWait(std::atomic<int>& word, int seen) {
  while (word.load() == seen) syscall(SYS_futex, &word, FUTEX_WAIT_PRIVATE, seen, nullptr, nullptr, 0);
}
void FutexPass(std::atomic<int>& word, int value) {
  word.store(value);
  syscall(SYS_futex, &word, FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
}

double FutexRoundTrip(int n) {
  std::atomic<int> there{0}, back{0};
  std::thread other([&] {
    for (int i = 0; i < n; ++i) {
      FutexWait(there, i);
      FutexPass(back, i + 1);
    }
  });
  const auto start = Clock::now();
  for (int i = 0; i < n; ++i) {
    FutexPass(there, i + 1);
    FutexWait(back, i);
  }
  const double us = Micros(Clock::now() - start) / n;
  other.join();
  return us;
}

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::atoi(argv[1]) : 20000;

  bench::HandOffThread worker;
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
  const int rounds = 15, each = n / rounds + 1;
  std::vector<double> tBare, tQuery, own;
  for (int round = 0; round < rounds; ++round) {
    auto t0 = Clock::now();
    for (int i = 0; i < each; ++i) bare();
    auto t1 = Clock::now();
    for (int i = 0; i < each; ++i) query();
    tBare.push_back(Micros(t1 - t0) / each);
    tQuery.push_back(Micros(Clock::now() - t1) / each);
    own.push_back(tQuery.back() - tBare.back());
  }
  std::vector<double> futex;
  for (int round = 0; round < 5; ++round) futex.push_back(FutexRoundTrip(each));
  std::printf("a query answered at once, %d rounds of %d calls, one at a time, medians\n", rounds, each);
  std::printf("%-44s %7.2f us each\n", "least hand-off there and back (futex)", bench::Median(futex));
  std::printf("%-44s %7.2f us each\n", "bare hand-off to a thread and back", bench::Median(tBare));
  std::printf("%-44s %7.2f us each\n", "through the router and the query task group", bench::Median(tQuery));
  std::printf("%-44s %7.2f us\n", "router's own work per query", bench::Median(own));
  router.Shutdown();
  return 0;
}
