// The entry points of linkmeter-teamsync.so over lm_teamsync: each catches
// every exception and answers in the plain structs of the module's API.
#include <cstring>
#include <exception>
#include <optional>
#include <string>

#include "lm/teamsync/PgConnection.h"
#include "lm/teamsync/ServerSchema.h"
#include "lm/teamsync/SyncFailure.h"
#include "lm/teamsync/TeamSync.h"
#include "lm/teamsync/TeamSyncModuleApi.h"

namespace {

namespace ts = lm::teamsync;

template <size_t N>
void CopyText(char (&to)[N], const std::string& text) {
  const size_t n = std::min(text.size(), N - 1);
  std::memcpy(to, text.data(), n);
  to[n] = '\0';
}

template <class F>
int Guarded(LmTeamSyncFailure* failure, F&& work) {
  try {
    work();
    return 0;
  } catch (const ts::SyncFailure& f) {
    failure->kind = static_cast<int>(f.kind());
    CopyText(failure->message, f.what());
  } catch (const std::exception& e) {
    failure->kind = -1;
    CopyText(failure->message, e.what());
  } catch (...) {
    failure->kind = -1;
    CopyText(failure->message, "the team sync failed");
  }
  return 1;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int lm_teamsync_abi(void) { return LM_TEAMSYNC_MODULE_ABI; }

extern "C" __attribute__((visibility("default"))) int lm_teamsync_run(
    const char* storeFile, const char* server, int hasSite, int64_t site, LmTeamSyncProgressFn progress,
    LmTeamSyncSetAsideFn setAside, LmTeamSyncRefusedFn refused, void* context, LmTeamSyncCounts* counts,
    LmTeamSyncFailure* failure) {
  return Guarded(failure, [&] {
    ts::TeamSync sync(storeFile, server);
    const auto c = sync.Run(hasSite ? std::optional<int64_t>(site) : std::nullopt, [&](const ts::SyncProgress& p) {
      if (progress) progress(context, p.done, p.total);
    });
    *counts = {c.visits, c.pushedVisits, c.pulledVisits, c.pushedRows, c.pulledRows, {}};
    CopyText(counts->user, c.user);
    if (setAside) {
      for (const auto& v : c.setAside) setAside(context, v.visit.c_str(), v.reason.c_str(), v.row.c_str());
    }
    if (refused) {
      for (const auto& line : c.refused) refused(context, line.c_str());
    }
  });
}

extern "C" __attribute__((visibility("default"))) int lm_teamsync_server_init(const char* server, LmTeamSyncInit* init,
                                                                             LmTeamSyncFailure* failure) {
  return Guarded(failure, [&] {
    ts::PgConnection conn(server);
    const int before = ts::ServerSchema::Found(conn);
    const bool changed = ts::ServerSchema::Init(conn);
    *init = {changed ? 1 : 0, before, ts::ServerSchema::kVersion};
  });
}
