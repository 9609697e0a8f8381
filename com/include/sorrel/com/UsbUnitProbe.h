#pragma once
// Asks one USB base unit who it is (RUINF), for the USB watchers' rescan.

#include <cstdint>

#include "sorrel/com/ComExecutorTable.h"
#include "sorrel/com/ComInfo.h"

namespace Sorrel::Com {

enum class ProbeOutcome {
  kFound,    // `out` describes the unit
  kSkipped,  // the unit could not be opened: leave it out
  kStop,     // RUINF did not answer 0002-0000: end the rescan here
};

// Opens the unit with no retries, runs RUINF with no deadline and closes what
// it opened. It holds the unit's lease meanwhile, and a unit the page keeps
// open is asked through its own connection, which stays open: a search never
// takes a connection away from the page.
ProbeOutcome ProbeUsbUnit(ComExecutorTable& table, uint32_t serial, int32_t port, WatchUsbInfo& out);

}  // namespace Sorrel::Com
