// linkmeter.records.sync, syncProgress and serverInit: the site records
// shared on the team's PostgreSQL server (lm_teamsync). A sync runs on the
// query worker that took the call; one at a time per process, and the page
// asks syncProgress for how far it is.
#include <mutex>

#include "RecordsWork.h"
#include "lm/teamsync/PgConnection.h"
#include "lm/teamsync/ServerSchema.h"
#include "lm/teamsync/SyncFailure.h"
#include "lm/teamsync/TeamSync.h"
#include "sorrel/cef/Exception.h"
#include "sorrel/js/RecordsFailures.h"
#include "sorrel/js/RecordsJson.h"

namespace Sorrel::Js::records_work {
namespace {

namespace ts = lm::teamsync;
using lm::json::MakeObject;
using lm::json::Number;
using lm::json::Value;

// The sync running in this process, if any, and how far it is.
class RunningSync {
 public:
  bool Begin() {
    std::lock_guard lock(mutex_);
    if (running_) return false;
    running_ = true;
    progress_ = {};
    return true;
  }
  void Set(const ts::SyncProgress& p) {
    std::lock_guard lock(mutex_);
    progress_ = p;
  }
  void End() {
    std::lock_guard lock(mutex_);
    running_ = false;
  }
  Value Snapshot() {
    std::lock_guard lock(mutex_);
    return MakeObject({{"running", lm::json::Bool(running_)}, {"done", Number(progress_.done)},
                       {"total", Number(progress_.total)}});
  }

 private:
  std::mutex mutex_;
  bool running_ = false;
  ts::SyncProgress progress_;
};

RunningSync& Running() {
  static RunningSync running;
  return running;
}

int32_t FailureCode(ts::SyncFailureKind kind) {
  namespace f = records_failure;
  switch (kind) {
    case ts::SyncFailureKind::kUsage: return f::kInvalid;
    case ts::SyncFailureKind::kUnreachable: return f::kServerUnreachable;
    case ts::SyncFailureKind::kRefused:
    case ts::SyncFailureKind::kSchema: return f::kServerRefused;
    case ts::SyncFailureKind::kUnverified: return f::kUnverified;
    case ts::SyncFailureKind::kStore: return f::kIo;
  }
  return f::kInternal;
}

Value Lines(const std::vector<std::string>& lines) {
  lm::json::Array out;
  for (const auto& l : lines) out.push_back(lm::json::String(l));
  return Value(std::move(out));
}

template <class F>
Value Team(F&& work) {
  try {
    return work();
  } catch (const ts::SyncFailure& f) {
    throw cef::JsExecuteException(FailureCode(f.kind()), f.what());
  }
}

std::string ServerArg(const cef::ArgReader& r) {
  std::string server;
  r.String("server", server);
  cef::Ensure(!server.empty(), -2, cef::MsgInvalid("server"));
  return server;
}

}  // namespace

Value Sync(Store& s, const Arg& r) {
  const std::string server = ServerArg(r);
  const auto site = records_json::OptInt64(r, "serial");
  if (!Running().Begin()) throw cef::JsExecuteException(records_failure::kBusy, "a sync with the team server is already running");
  struct Ender {
    ~Ender() { Running().End(); }
  } ender;
  return Team([&] {
    ts::TeamSync sync(s.report().path, server);
    const ts::SyncCounts c = sync.Run(site, [](const ts::SyncProgress& p) { Running().Set(p); });
    return MakeObject({{"visits", Number(c.visits)}, {"pushedVisits", Number(c.pushedVisits)},
                       {"pulledVisits", Number(c.pulledVisits)}, {"pushedRows", Number(c.pushedRows)},
                       {"pulledRows", Number(c.pulledRows)}, {"user", lm::json::String(c.user)},
                       {"refused", Lines(c.refused)}});
  });
}

Value SyncProgress(Store&, const Arg&) { return Running().Snapshot(); }

Value ServerInit(Store&, const Arg& r) {
  const std::string server = ServerArg(r);
  return Team([&] {
    ts::PgConnection conn(server);
    const int before = ts::ServerSchema::Found(conn);
    const bool changed = ts::ServerSchema::Init(conn);
    // "created": the schema was set up or brought up to date; "from": the version it had (0: none).
    return MakeObject({{"created", lm::json::Bool(changed)}, {"from", Number(before)},
                       {"version", Number(ts::ServerSchema::kVersion)}});
  });
}

}  // namespace Sorrel::Js::records_work
