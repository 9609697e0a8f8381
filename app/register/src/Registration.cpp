#include "linkmeter/Registration.h"

#include "sorrel/cef/Manager.h"
#include "sorrel/com/ComRegistration.h"
#include "sorrel/js/HostRegistration.h"

namespace linkmeter {

void RegisterPageFunctions(Sorrel::cef::Manager& manager) {
  Sorrel::Js::RegisterHostFunctions(manager);
  Sorrel::Com::RegisterComFunctions(manager);
  Sorrel::Js::RegisterSiblingFunctions(manager);
}

}  // namespace linkmeter
