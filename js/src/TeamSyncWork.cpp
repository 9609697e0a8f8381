// linkmeter.records.sync, syncProgress and serverInit: the site records
// shared on the team's PostgreSQL server, through linkmeter-teamsync.so
// (TeamSyncModule.h) loaded on the first call. A sync runs on the query
// worker that took the call; one at a time per process, and the page asks
// syncProgress for how far it is.
#include <mutex>
#include <stdexcept>

#include "RecordsWork.h"
#include "TeamSyncModule.h"
#include "lm/teamsync/SyncFailure.h"
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
    done_ = total_ = 0;
    return true;
  }
  void Set(int64_t done, int64_t total) {
    std::lock_guard lock(mutex_);
    done_ = done;
    total_ = total;
  }
  void End() {
    std::lock_guard lock(mutex_);
    running_ = false;
  }
  Value Snapshot() {
    std::lock_guard lock(mutex_);
    return MakeObject({{"running", lm::json::Bool(running_)}, {"done", Number(done_)},
                       {"total", Number(total_)}});
  }

 private:
  std::mutex mutex_;
  bool running_ = false;
  int64_t done_ = 0;
  int64_t total_ = 0;
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

// A failure the module answered, thrown as the page function's failure; one
// that is no sync failure as what it was.
[[noreturn]] void ThrowSyncFailure(const LmTeamSyncFailure& f) {
  if (f.kind < 0) throw std::runtime_error(f.message);
  throw cef::JsExecuteException(FailureCode(static_cast<ts::SyncFailureKind>(f.kind)), f.message);
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
  const auto& module = TeamSyncModule();
  LmTeamSyncCounts c{};
  LmTeamSyncFailure failure{};
  struct Lists {
    lm::json::Array setAside, refused;
  } lists;
  const auto progress = [](void*, int64_t done, int64_t total) { Running().Set(done, total); };
  const auto aside = [](void* context, const char* visit, const char* reason, const char* row) {
    static_cast<Lists*>(context)->setAside.push_back(MakeObject(
        {{"visit", lm::json::String(visit)}, {"reason", lm::json::String(reason)}, {"row", lm::json::String(row)}}));
  };
  const auto refused = [](void* context, const char* line) {
    static_cast<Lists*>(context)->refused.push_back(lm::json::String(line));
  };
  if (module.run(s.report().path.c_str(), server.c_str(), site ? 1 : 0, site.value_or(0), progress, aside, refused,
                 &lists, &c, &failure) != 0) {
    ThrowSyncFailure(failure);
  }
  return MakeObject({{"visits", Number(c.visits)}, {"pushedVisits", Number(c.pushedVisits)},
                     {"pulledVisits", Number(c.pulledVisits)}, {"pushedRows", Number(c.pushedRows)},
                     {"pulledRows", Number(c.pulledRows)}, {"user", lm::json::String(c.user)},
                     {"setAside", lm::json::Value(std::move(lists.setAside))},
                     {"refused", lm::json::Value(std::move(lists.refused))}});
}

Value SyncProgress(Store&, const Arg&) { return Running().Snapshot(); }

Value ServerInit(Store&, const Arg& r) {
  const std::string server = ServerArg(r);
  LmTeamSyncInit init{};
  LmTeamSyncFailure failure{};
  if (TeamSyncModule().serverInit(server.c_str(), &init, &failure) != 0) ThrowSyncFailure(failure);
  // "created": the schema was set up or brought up to date; "from": the version it had (0: none).
  return MakeObject({{"created", lm::json::Bool(init.created != 0)}, {"from", Number(init.from)},
                     {"version", Number(init.version)}});
}

}  // namespace Sorrel::Js::records_work
