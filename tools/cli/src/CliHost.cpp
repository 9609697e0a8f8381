#include "linkmeter/cli/CliHost.h"

#include <future>
#include <ostream>

#include "linkmeter/cli/CliLoop.h"
#include "sorrel/cef/RequestText.h"

namespace linkmeter::cli {
namespace {

class CliBrowser : public Sorrel::cef::Browser {
 public:
  int32_t Identifier() const override { return 1; }
  std::string MainFrameUrl() const override { return "cli:"; }
};

struct Reply {
  bool success = false;
  int32_t code = 0;
  std::string text;
};

class PromiseCallback : public Sorrel::cef::QueryCallback {
 public:
  explicit PromiseCallback(CliLoop* loop) : loop_(loop) {}
  std::future<Reply> Future() { return promise_.get_future(); }
  void Success(const std::string& text) override { Set({true, 0, text}); }
  void Failure(int32_t code, const std::string& text) override { Set({false, code, text}); }

 private:
  void Set(Reply a) {
    std::lock_guard lock(mutex_);
    if (set_) return;
    set_ = true;
    promise_.set_value(std::move(a));
    if (loop_) loop_->Wake();
  }
  CliLoop* loop_;
  std::mutex mutex_;
  bool set_ = false;
  std::promise<Reply> promise_;
};

// Hands the answer to the loop's thread.
class LoopCallback : public Sorrel::cef::QueryCallback {
 public:
  LoopCallback(CliLoop& loop, std::function<void(CliHost::Answer)> done) : loop_(loop), done_(std::move(done)) {}
  void Success(const std::string& text) override { Set({CliHost::Outcome::kSuccess, 0, text}); }
  void Failure(int32_t code, const std::string& text) override { Set({CliHost::Outcome::kFailure, code, text}); }

 private:
  void Set(CliHost::Answer answer) {
    std::function<void(CliHost::Answer)> done;
    {
      std::lock_guard lock(mutex_);
      done.swap(done_);
    }
    if (done) loop_.Post([done = std::move(done), answer = std::move(answer)] { done(answer); });
  }
  CliLoop& loop_;
  std::mutex mutex_;
  std::function<void(CliHost::Answer)> done_;
};

}  // namespace

std::string FailureLine(int32_t code, const std::string& text, const std::string& queryName) {
  std::string body = text;
  auto parsed = lm::json::Parse(text);
  if (parsed && parsed->is<lm::json::Object>()) {
    parsed->get<lm::json::Object>()["api"] = lm::json::String(queryName);
    body = lm::json::ToText(*parsed);
  }
  return "failure " + std::to_string(code) + " " + body;
}

CliHost::CliHost(Sorrel::cef::Manager& manager, Sorrel::cef::QueryTaskGroup& tasks, CliLoop* loop)
    : router_(tasks), browser_(std::make_shared<CliBrowser>()), loop_(loop) {
  manager.RegisterBrowser(browser_, router_);
}

CliHost::~CliHost() { router_.Shutdown(); }

CliHost::Answer CliHost::Call(const std::string& request) {
  auto callback = std::make_shared<PromiseCallback>(loop_);
  auto future = callback->Future();
  if (!router_.OnQuery(browser_, nextQueryId_++, request, false, callback)) return {};
  if (loop_) loop_->RunUntil([&] { return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
  Reply reply = future.get();
  return {reply.success ? Outcome::kSuccess : Outcome::kFailure, reply.code, std::move(reply.text)};
}

int64_t CliHost::Send(const std::string& request, std::function<void(Answer)> done) {
  std::erase_if(sent_, [](const auto& entry) { return entry.second.expired(); });
  const int64_t id = nextQueryId_++;
  auto callback = std::make_shared<LoopCallback>(*loop_, done);
  if (!router_.OnQuery(browser_, id, request, false, callback)) {
    done(Answer{});
    return id;
  }
  sent_.emplace(id, callback);
  return id;
}

void CliHost::Cancel(int64_t queryId) {
  router_.OnQueryCanceled(browser_, queryId);
  auto it = sent_.find(queryId);
  if (it == sent_.end()) return;
  if (auto callback = it->second.lock()) callback->Failure(kGivenUpCode, "");
  sent_.erase(it);
}

CliHost::Outcome CliHost::Run(const std::string& request, std::ostream& out) {
  Answer answer = Call(request);
  if (answer.outcome == Outcome::kUnhandled) {
    out << "unhandled\n" << std::flush;
    return Outcome::kUnhandled;
  }
  if (answer.outcome == Outcome::kSuccess) {
    out << "success " << answer.text << "\n" << std::flush;
    return Outcome::kSuccess;
  }
  auto parsed = Sorrel::cef::ParseRequest(request);
  out << FailureLine(answer.code, answer.text, parsed ? parsed->queryName : std::string()) << "\n"
      << std::flush;
  return Outcome::kFailure;
}

}  // namespace linkmeter::cli
