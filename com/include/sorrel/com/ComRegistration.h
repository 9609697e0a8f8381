#pragma once

namespace Sorrel::cef {
class Manager;
}

namespace Sorrel::Com {

class ComServices;

// Registers the device functions over the process's units and search
// watchers: the app.com prelude, then close, open, isOpen, the search
// functions, one handler per T command mnemonic in its fixed order, and
// GetRsLevel. Hosts close every unit (services.Units().CloseAll()) once at
// shutdown, after the query task group has drained.
void RegisterComFunctions(Sorrel::cef::Manager& manager, ComServices& services);

}  // namespace Sorrel::Com
