#include "sorrel/com/SearchWatchers.h"

#include "sorrel/com/SearchEntries.h"

namespace Sorrel::Com {
namespace {

bool VelaListed(uint32_t code, const SearchUSBPrm& prm) {
  return (prm.vlb1 && code == 77) || (prm.vlb2 && (code == 78 || code == 80)) || (prm.vlb5 && code == 81);
}

}  // namespace

SearchWatchers::SearchWatchers(ComExecutorTable& table, UsbBusProbe& probe, std::unique_ptr<LanSeeker> seeker)
    : vela_(table, probe), vlb3_(table, probe), lan_(std::move(seeker)), parentWindow_([this]() -> void* {
        return this;  // any non-null token will do for the library
      }) {}

bool SearchWatchers::RefreshUsb(const SearchUSBPrm& prm, const WindowRunner& onWindow, lm::CancelToken* cancel) {
  struct Step {
    WatchUsbDevice& watcher;
    bool wanted;
    UsbWatchState state{};
    UsbScan scan{};
  };
  Step steps[] = {{vela_, prm.WantsVela()}, {vlb3_, prm.WantsVlb3()}};
  onWindow([&] {
    for (Step& step : steps) {
      if (!step.wanted || prm.force) step.watcher.Clear();
      if (step.wanted) step.state = step.watcher.State();
    }
  });
  bool cancelled = false;
  for (Step& step : steps) {
    if (!step.wanted || cancelled) continue;
    step.scan = step.watcher.Scan(step.state, cancel);
    cancelled = step.scan.cancelled;
  }
  onWindow([&] {
    for (Step& step : steps) {
      if (step.wanted) step.watcher.Apply(std::move(step.scan));
    }
  });
  return !cancelled;
}

void SearchWatchers::RefreshUsb(const SearchUSBPrm& prm) {
  RefreshUsb(prm, [](const std::function<void()>& task) { task(); }, nullptr);
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
