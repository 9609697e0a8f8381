#pragma once

namespace Sorrel::cef {
class Manager;
}

namespace linkmeter {

// Registers every page function of the program with the manager, host
// functions first, then the device functions, each group in its fixed order.
void RegisterPageFunctions(Sorrel::cef::Manager& manager);

}  // namespace linkmeter
