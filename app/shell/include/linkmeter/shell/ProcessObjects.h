#pragma once
// The objects a process has once: the manager (page functions, browsers,
// exit state), the query task group every query runs on, the device side
// (units and search watchers) and the poster of the main loop. A program's
// main makes them, keeps them until the process ends and hands them down;
// tests make their own.

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

}  // namespace linkmeter::shell
