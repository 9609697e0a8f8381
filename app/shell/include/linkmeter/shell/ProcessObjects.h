#pragma once
// The objects a process has once: the manager (page functions, browsers,
// exit state), the query task group every query runs on, and the device
// side (units and search watchers). A program's main makes them, keeps them
// until the process ends and hands them down; tests make their own.

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
};

}  // namespace linkmeter::shell
