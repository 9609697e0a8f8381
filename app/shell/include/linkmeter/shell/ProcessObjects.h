#pragma once
// The objects a process has once: the manager (page functions, browsers,
// exit state), the query task group every query runs on, the device side
// (units and search watchers) and the poster of the main loop. The
// program's main takes them from ProcessObjectsOnce(), keeps them until the
// process ends and hands them down; its tests and benchmarks take the same.

#include <memory>

#include "sorrel/cef/webkit/LoopPoster.h"

namespace Sorrel::cef {
class CallbackTable;
class Manager;
class QueryTaskGroup;
}  // namespace Sorrel::cef
namespace Sorrel::Com {
class ComServices;
}

namespace linkmeter::shell {

struct ProcessObjects {
  Sorrel::cef::Manager& manager;
  Sorrel::cef::QueryTaskGroup& tasks;
  Sorrel::Com::ComServices& devices;
  Sorrel::cef::CallbackTable& callbacks;  // what the browser side waits on from pages
  // Work for the main thread, from any thread; shared because late work
  // (a view let go on a worker) may arrive after main's frame has ended.
  std::shared_ptr<Sorrel::cef::webkit::LoopPoster> mainLoop;
};

// The process's objects, made by the first call and kept until the process
// ends: the communication library's state first, so it is destroyed last;
// the device side never destroyed (its units are closed at shutdown, not by
// static destruction). Call it on the main thread.
ProcessObjects ProcessObjectsOnce();

}  // namespace linkmeter::shell
