#pragma once
// The search state of a process: the two USB watchers, the LAN watcher and
// the gate that lets one search run at a time. Made with the unit table
// (ComServices) before the search functions are registered.

#include <functional>
#include <memory>

#include "lm/CancelToken.h"
#include "lm/Json.h"
#include "sorrel/com/ComExecutorTable.h"
#include "sorrel/com/SearchParams.h"
#include "sorrel/com/UnitLease.h"
#include "sorrel/com/WatchLan.h"
#include "sorrel/com/WatchUsb.h"

namespace Sorrel::Com {

class SearchWatchers {
 public:
  explicit SearchWatchers(ComExecutorTable& table, UsbBusProbe& probe = UsbBusProbe::Library(),
                          std::unique_ptr<LanSeeker> seeker = std::make_unique<NetSeekLanSeeker>());

  WatchUsbVela& Vela() { return vela_; }
  WatchUsbVLB3& Vlb3() { return vlb3_; }
  WatchLan& Lan() { return lan_; }
  const WatchUsbVela& Vela() const { return vela_; }
  const WatchUsbVLB3& Vlb3() const { return vlb3_; }

  // Searches share the watchers, so they run one after the other: a search
  // holds this from its start to its answer.
  UnitGate& Gate() { return gate_; }

  // Where the watchers' lists are touched: the window thread, for searches.
  using WindowRunner = std::function<void(const std::function<void()>&)>;

  // A wanted USB watcher is cleared first when force is set and then
  // updated; one not wanted is cleared. The lists change only through
  // onWindow; the bus and the units are asked on the calling thread. False
  // when the search was cancelled on the way (a watcher it had not finished
  // keeps its list).
  bool RefreshUsb(const SearchUSBPrm& prm, const WindowRunner& onWindow, lm::CancelToken* cancel);
  // The same, all on the calling thread.
  void RefreshUsb(const SearchUSBPrm& prm);
  // The entries the flags select from the USB watchers' lists.
  lm::json::Array UsbEntries(const SearchUSBPrm& prm) const;

  // The window LAN searches run under, fetched on the window thread once.
  // NetSeek only needs it to be non-null; a host with a real window may set
  // its own source.
  void SetParentWindowSource(std::function<void*()> source) { parentWindow_ = std::move(source); }
  void* ParentWindow() const { return parentWindow_(); }

 private:
  WatchUsbVela vela_;
  WatchUsbVLB3 vlb3_;
  WatchLan lan_;
  UnitGate gate_;
  std::function<void*()> parentWindow_;
};

}  // namespace Sorrel::Com
