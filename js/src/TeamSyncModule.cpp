#include "TeamSyncModule.h"

#include <dlfcn.h>

#include <mutex>

#include "sorrel/cef/Exception.h"
#include "sorrel/js/Folders.h"
#include "sorrel/js/RecordsFailures.h"

namespace Sorrel::Js::records_work {
namespace {

// The module's functions, or why it could not be loaded. The handle is
// never closed: a sync may be running on another worker.
struct LoadedTeamSync {
  TeamSyncEntryPoints entry;
  std::string problem;
};

template <class F>
F TeamSyncSymbol(void* handle, const char* name) {
  return reinterpret_cast<F>(dlsym(handle, name));
}

LoadedTeamSync LoadTeamSync() {
  const std::string path = TeamSyncModulePath();
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) return {{}, std::string("the team sync module could not be loaded: ") + dlerror()};
  const auto abi = TeamSyncSymbol<LmTeamSyncAbiFn>(handle, "lm_teamsync_abi");
  LoadedTeamSync out{{TeamSyncSymbol<LmTeamSyncRunFn>(handle, "lm_teamsync_run"),
              TeamSyncSymbol<LmTeamSyncServerInitFn>(handle, "lm_teamsync_server_init")}, {}};
  if (!abi || abi() != LM_TEAMSYNC_MODULE_ABI || !out.entry.run || !out.entry.serverInit) {
    return {{}, "the team sync module " + path + " belongs to another build of the program"};
  }
  return out;
}

}  // namespace

std::string TeamSyncModulePath() { return ModuleDir() + "/lib/linkmeter-teamsync.so"; }

const TeamSyncEntryPoints& TeamSyncModule() {
  static std::once_flag once;
  static LoadedTeamSync loaded;
  std::call_once(once, [] { loaded = LoadTeamSync(); });
  if (!loaded.problem.empty()) throw cef::JsExecuteException(records_failure::kInternal, loaded.problem);
  return loaded.entry;
}

}  // namespace Sorrel::Js::records_work
