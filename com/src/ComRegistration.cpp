#include "sorrel/com/ComRegistration.h"

#include "sorrel/cef/Manager.h"
#include "sorrel/com/ComExecutorTable.h"
#include "sorrel/com/SearchHandlers.h"
#include "sorrel/com/SearchWatchers.h"
#include "sorrel/com/TcmdCatalogueHandlers.h"
#include "sorrel/com/TcmdGetRsLevel.h"
#include "sorrel/com/UnitHandlers.h"

namespace Sorrel::Com {

void RegisterComFunctions(Sorrel::cef::Manager& manager) {
  ComExecutorTable::Instance();  // the unit table exists before any handler
  SearchWatchers::Instance();    // and so do the search watchers
  manager.AppendPrelude("app.com=app.com||{};");
  manager.AppendPrelude("app.com.VELA=app.com.VELA||{};");
  manager.AddQuery(std::make_shared<Close>());
  manager.AddQuery(std::make_shared<Open>());
  manager.AddQuery(std::make_shared<IsOpen>());
  manager.AddQuery(std::make_shared<SearchUSB>(manager));
  manager.AddQuery(std::make_shared<SearchLAN>(manager));
  manager.AddQuery(std::make_shared<SearchLogger>(manager));
  // T commands: one per catalogue row, in the catalogue's (mnemonic) order.
  for (const CatalogueHandler& entry : CatalogueHandlers()) manager.AddQuery(entry.make(ComExecutorTable::Instance()));
  manager.AddQuery(std::make_shared<TcmdGetRsLevel>());
}

void CloseAllUnits() { ComExecutorTable::Instance().CloseAll(); }

}  // namespace Sorrel::Com
