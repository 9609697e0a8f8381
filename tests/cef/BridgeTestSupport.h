#pragma once
// Stand-ins for the engine: a browser whose URL the test changes, and a
// callback that records every answer it is given.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "sorrel/cef/BsmsgRouter.h"
#include "sorrel/cef/JsQueryHandler.h"

namespace bridge_test {

class FakeBrowser : public Sorrel::cef::Browser {
 public:
  explicit FakeBrowser(std::string url = "app://res/linkmeter/index.html") : url_(std::move(url)) {}
  int32_t Identifier() const override { return 7; }
  std::string MainFrameUrl() const override {
    std::lock_guard lock(mutex_);
    return url_;
  }
  void Navigate(std::string url) {
    std::lock_guard lock(mutex_);
    url_ = std::move(url);
  }

 private:
  mutable std::mutex mutex_;
  std::string url_;
};

struct Answer {
  bool success;
  int32_t code;
  std::string text;
};

class RecordingCallback : public Sorrel::cef::QueryCallback {
 public:
  void Success(const std::string& text) override { Add({true, 0, text}); }
  void Failure(int32_t code, const std::string& text) override { Add({false, code, text}); }

  // Waits until `count` answers arrived; false on time-out.
  bool WaitFor(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, limit, [&] { return answers_.size() >= count; });
  }
  std::vector<Answer> Answers() const {
    std::lock_guard lock(mutex_);
    return answers_;
  }
  size_t Count() const {
    std::lock_guard lock(mutex_);
    return answers_.size();
  }

 private:
  void Add(Answer a) {
    std::lock_guard lock(mutex_);
    answers_.push_back(std::move(a));
    cv_.notify_all();
  }
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<Answer> answers_;
};

// A handler whose Execute is a lambda; counts cancel notifications.
class LambdaHandler : public Sorrel::cef::JsQueryHandler {
 public:
  using Body = std::function<void(const lm::json::Value&, const std::shared_ptr<Sorrel::cef::BsmsgRouterCallback>&,
                                  LambdaHandler&)>;
  LambdaHandler(std::string queryName, Body body, int32_t cancellable = 0)
      : JsQueryHandler(queryName, "app.test." + queryName, cancellable), body_(std::move(body)) {}

  void Execute(const Sorrel::cef::BrowserPtr&, const lm::json::Value& args,
               const std::shared_ptr<Sorrel::cef::BsmsgRouterCallback>& reply) override {
    body_(args, reply, *this);
  }
  void Cancel(bool routerCancel) override {
    std::lock_guard lock(mutex);
    cancels.push_back(routerCancel);
    cv.notify_all();
  }
  bool WaitCancelled(std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    std::unique_lock lock(mutex);
    return cv.wait_for(lock, limit, [&] { return !cancels.empty(); });
  }

  std::mutex mutex;
  std::condition_variable cv;
  std::vector<bool> cancels;

 private:
  Body body_;
};

// A one-shot gate a handler waits on.
class Gate {
 public:
  void Open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    cv_.notify_all();
  }
  bool Wait(std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, limit, [&] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool open_ = false;
};

}  // namespace bridge_test
