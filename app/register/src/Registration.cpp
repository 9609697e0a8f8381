#include "linkmeter/Registration.h"

#include "sorrel/cef/Manager.h"
#include "sorrel/com/ComRegistration.h"

namespace linkmeter {

void RegisterPageFunctions(Sorrel::cef::Manager& manager) {
  // Host functions register here first as they are built; then the device functions.
  Sorrel::Com::RegisterComFunctions(manager);
}

}  // namespace linkmeter
