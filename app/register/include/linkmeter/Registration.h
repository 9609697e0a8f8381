#pragma once

#include <memory>
#include <string>

namespace Sorrel::cef {
class Manager;
}
namespace Sorrel::Com {
class ComServices;
}
namespace Sorrel::Js {
class RecordsAccess;
}

namespace linkmeter {

// Registers every page function of the program with the manager, host
// functions first, then the device functions over `devices`, each group in
// its fixed order. A process that only lists the functions (the page
// process, the documents) still hands in devices of its own; none is asked.
void RegisterPageFunctions(Sorrel::cef::Manager& manager, Sorrel::Com::ComServices& devices);
// The same; `demoSite` tells the page (linkmeter.isDemo) that it shows the
// built-in demo site, `systemLanguage` ("ja" or "en") the user's system
// language (linkmeter.systemLanguage). `records` is the site-records store
// the linkmeter.records functions use; without one they are listed but each
// call fails (a process that only lists them).
void RegisterPageFunctions(Sorrel::cef::Manager& manager, Sorrel::Com::ComServices& devices, bool demoSite,
                           const std::string& systemLanguage = "en",
                           std::shared_ptr<Sorrel::Js::RecordsAccess> records = nullptr);

}  // namespace linkmeter
