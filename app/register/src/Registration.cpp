#include "linkmeter/Registration.h"

#include "sorrel/cef/Manager.h"

namespace linkmeter {

void RegisterPageFunctions(Sorrel::cef::Manager& manager) {
  (void)manager;
  // Host functions, then device functions, register here as they are built.
}

}  // namespace linkmeter
