#include "sorrel/com/SearchWatchers.h"

#include "sorrel/com/SearchEntries.h"

namespace Sorrel::Com {
namespace {

void Refresh(WatchUsbBase& watcher, bool wanted, const SearchUSBPrm& prm) {
  if (!wanted || prm.force) watcher.Clear();
  if (wanted) watcher.Update(prm);
}

bool VelaListed(uint32_t code, const SearchUSBPrm& prm) {
  return (prm.vlb1 && code == 77) || (prm.vlb2 && (code == 78 || code == 80)) || (prm.vlb5 && code == 81);
}

}  // namespace

SearchWatchers::SearchWatchers(ComExecutorTable& table, UsbBusProbe& probe, std::unique_ptr<LanSeeker> seeker)
    : vela_(table, probe), vlb3_(table, probe), lan_(std::move(seeker)), parentWindow_([this]() -> void* {
        return this;  // any non-null token will do for the library
      }) {}

SearchWatchers& SearchWatchers::Instance() {
  // Never destroyed, like the unit table its watchers talk through.
  static SearchWatchers* watchers = new SearchWatchers(ComExecutorTable::Instance());
  return *watchers;
}

void SearchWatchers::RefreshUsb(const SearchUSBPrm& prm) {
  Refresh(vela_, prm.WantsVela(), prm);
  Refresh(vlb3_, prm.WantsVlb3(), prm);
}

lm::json::Array SearchWatchers::UsbEntries(const SearchUSBPrm& prm) const {
  lm::json::Array entries;
  for (const WatchUsbInfo& unit : vela_.List()) {
    if (VelaListed(ModelCode(unit.serial), prm)) entries.push_back(UsbEntry(unit));
  }
  if (prm.vlb3) {
    for (const WatchUsbInfo& unit : vlb3_.List()) entries.push_back(UsbEntry(unit));
  }
  return entries;
}

}  // namespace Sorrel::Com
