#pragma once
// linkmeter-teamsync.so, loaded on the first call that needs it and kept for
// the life of the process: the page process starts without the PostgreSQL
// client and its libraries, and pays for them only when a sync is asked for.

#include <string>

#include "lm/teamsync/TeamSyncModuleApi.h"

namespace Sorrel::Js::records_work {

struct TeamSyncEntryPoints {
  LmTeamSyncRunFn run = nullptr;
  LmTeamSyncServerInitFn serverInit = nullptr;
};

// The module's functions; throws cef::JsExecuteException (internal) with
// what is wrong when it is missing, cannot be loaded or is of another build.
const TeamSyncEntryPoints& TeamSyncModule();

// Where the module is looked for: lib/ of the program folder.
std::string TeamSyncModulePath();

}  // namespace Sorrel::Js::records_work
