#include "linkmeter/shell/ProcessObjects.h"

#include "sorrel/cef/CallbackTable.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/cef/QueryTaskGroup.h"
#include "sorrel/com/ComServices.h"
#include "vcomm/Library.h"

namespace linkmeter::shell {

ProcessObjects ProcessObjectsOnce() {
  static vcomm::Library vcommLibrary;
  static Sorrel::cef::Manager manager;
  static Sorrel::cef::QueryTaskGroup tasks;
  static auto* devices = new Sorrel::Com::ComServices();
  static Sorrel::cef::CallbackTable callbacks;
  static auto mainLoop = std::make_shared<Sorrel::cef::webkit::LoopPoster>(g_main_context_default());
  return {manager, tasks, *devices, callbacks, mainLoop};
}

}  // namespace linkmeter::shell
