#pragma once

#include <string>

namespace Sorrel::cef {
class Manager;
}

namespace linkmeter {

// Registers every page function of the program with the manager, host
// functions first, then the device functions, each group in its fixed order.
void RegisterPageFunctions(Sorrel::cef::Manager& manager);
// The same; `demoSite` tells the page (linkmeter.isDemo) that it shows the
// built-in demo site, `systemLanguage` ("ja" or "en") the user's system
// language (linkmeter.systemLanguage).
void RegisterPageFunctions(Sorrel::cef::Manager& manager, bool demoSite, const std::string& systemLanguage = "en");

}  // namespace linkmeter
