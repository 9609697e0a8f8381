#pragma once

namespace Sorrel::cef {
class Manager;
}

namespace Sorrel::Com {

// Registers the device functions: the app.com prelude, then close, open,
// isOpen, the search functions, one handler per T command mnemonic in its
// fixed order, and GetRsLevel.
void RegisterComFunctions(Sorrel::cef::Manager& manager);

// Closes every open unit. Hosts call it once at shutdown, after the query
// task group has drained and before the process exits.
void CloseAllUnits();

}  // namespace Sorrel::Com
