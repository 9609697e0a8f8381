#include "linkmeter/Registration.h"

#include "sorrel/cef/Manager.h"
#include "sorrel/com/ComRegistration.h"
#include "sorrel/js/ChannelTypeFunctions.h"
#include "sorrel/js/HostRegistration.h"
#include "sorrel/js/RecordsFunctions.h"
#include "sorrel/js/ReportFunctions.h"

namespace linkmeter {

void RegisterPageFunctions(Sorrel::cef::Manager& manager, Sorrel::Com::ComServices& devices) {
  RegisterPageFunctions(manager, devices, false);
}

void RegisterPageFunctions(Sorrel::cef::Manager& manager, Sorrel::Com::ComServices& devices, bool demoSite,
                           const std::string& systemLanguage,
                           std::shared_ptr<Sorrel::Js::RecordsAccess> records) {
  Sorrel::Js::RegisterHostFunctions(manager);
  Sorrel::Js::RegisterLinkmeterFunctions(manager, demoSite, systemLanguage);
  Sorrel::Js::RegisterRecordsFunctions(manager, std::move(records));
  Sorrel::Js::RegisterReportFunctions(manager);
  Sorrel::Com::RegisterComFunctions(manager, devices);
  Sorrel::Js::RegisterSiblingFunctions(manager);
}

}  // namespace linkmeter
