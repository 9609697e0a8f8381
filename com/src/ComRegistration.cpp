#include "sorrel/com/ComRegistration.h"

#include "sorrel/cef/Manager.h"
#include "sorrel/com/ComServices.h"
#include "sorrel/com/SearchHandlers.h"
#include "sorrel/com/TcmdCatalogueHandlers.h"
#include "sorrel/com/TcmdGetRsLevel.h"
#include "sorrel/com/UnitHandlers.h"

namespace Sorrel::Com {

void RegisterComFunctions(Sorrel::cef::Manager& manager, ComServices& services) {
  ComExecutorTable& units = services.Units();
  SearchWatchers& watchers = services.Watchers();
  manager.AppendPrelude("app.com=app.com||{};");
  manager.AppendPrelude("app.com.VELA=app.com.VELA||{};");
  manager.AddQuery(std::make_shared<Close>(units));
  manager.AddQuery(std::make_shared<Open>(units));
  manager.AddQuery(std::make_shared<IsOpen>(units));
  manager.AddQuery(std::make_shared<SearchUSB>(manager, watchers, units));
  manager.AddQuery(std::make_shared<SearchLAN>(manager, watchers, units));
  manager.AddQuery(std::make_shared<SearchLogger>(manager, watchers, units));
  // T commands: one per catalogue row, in the catalogue's (mnemonic) order.
  for (const CatalogueHandler& entry : CatalogueHandlers()) manager.AddQuery(entry.make(units));
  manager.AddQuery(std::make_shared<TcmdGetRsLevel>(units));
}

}  // namespace Sorrel::Com
