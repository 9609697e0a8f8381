#include "linkmeter/cli/PageFlows.h"

#include "linkmeter/cli/CliHost.h"
#include "linkmeter/cli/CliLoop.h"
#include "linkmeter/cli/Progress.h"

#include <chrono>
#include <functional>
#include <utility>

namespace linkmeter::cli {
namespace {

constexpr auto kStopPoll = std::chrono::milliseconds(100);

// A flow's end, shared with the `done` handed to it: the flow may outlive
// the Run that waits for it when the loop stops first.
struct Outcome {
  bool settled = false;
  bool ok = false;
  std::string text;
};

}  // namespace

PageFlows::PageFlows(ScriptContext& script, CliHost& host, CliLoop& loop, Progress& progress,
                     PendingWritesFile pending)
    : script_(script), host_(host), loop_(loop), progress_(progress), pending_(std::move(pending)) {
  script_.Attach(this);
}

PageFlows::~PageFlows() { script_.Attach(nullptr); }

int64_t PageFlows::Query(const std::string& request, std::function<void(bool, const std::string&)> done) {
  return host_.Send(request, [done = std::move(done)](CliHost::Answer answer) {
    const bool ok = answer.outcome == CliHost::Outcome::kSuccess;
    done(ok, answer.outcome == CliHost::Outcome::kUnhandled
                 ? lm::json::ToText(lm::json::ErrorObject(-1, "unhandled query"))
                 : answer.text);
  });
}

void PageFlows::Cancel(int64_t queryId) { host_.Cancel(queryId); }

uint64_t PageFlows::SetTimer(std::chrono::milliseconds delay, std::function<void()> fire) {
  return loop_.PostAfter(delay, std::move(fire));
}

void PageFlows::ClearTimer(uint64_t id) { loop_.CancelTimer(id); }

void PageFlows::ShowProgress(double done, double total, const std::string& text) {
  progress_.Step(done, total, text);
  if (done >= total) progress_.Finish();
}

std::string PageFlows::LoadPending() { return pending_.Load(); }

std::string PageFlows::SavePending(const std::string& text) {
  return pending_.Save(text) && !text.empty() ? pending_.Path().string() : std::string();
}

std::optional<lm::json::Value> PageFlows::Run(std::string_view name, const lm::json::Array& args, std::string* error,
                                              const std::atomic<bool>* stop) {
  auto fail = [&](std::string text) -> std::optional<lm::json::Value> {
    if (error) *error = std::move(text);
    return std::nullopt;
  };
  const std::string flow(name);
  auto outcome = std::make_shared<Outcome>();
  std::string startError;
  if (!script_.StartFlow(flow, args, [outcome](bool ok, const std::string& text) {
        *outcome = {true, ok, text};
      }, &startError)) {
    return fail(startError);
  }
  // A stop request is polled: the signal watcher does not wake the loop.
  auto polling = std::make_shared<std::function<void()>>();
  if (stop) {
    std::weak_ptr<std::function<void()>> again = polling;
    *polling = [&loop = loop_, again] {
      loop.PostAfter(kStopPoll, [again] {
        if (auto poll = again.lock()) (*poll)();
      });
    };
    (*polling)();
  }
  bool aborted = false;
  for (;;) {
    loop_.RunUntil([&] { return outcome->settled || (stop && stop->load() && !aborted); });
    if (outcome->settled) break;
    if (!(stop && stop->load() && !aborted)) return fail("the program ended before the flow " + flow);
    aborted = true;
    script_.AbortFlow();
  }
  polling.reset();
  if (!outcome->ok) return fail(flow + ": " + outcome->text);
  auto parsed = lm::json::Parse(outcome->text);
  if (!parsed) return fail(flow + " gave an answer that is not JSON");
  return parsed;
}

}  // namespace linkmeter::cli
