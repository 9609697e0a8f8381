#pragma once
// Asks one USB base unit who it is (RUINF), for the USB watchers' rescan.
// A probe is bounded: it waits a short while for a command that holds the
// unit and for the answer, and it ends at once when the search is cancelled,
// so one unit that keeps quiet never holds up the others for long.

#include <chrono>
#include <cstdint>

#include "lm/CancelToken.h"
#include "sorrel/com/ComExecutorTable.h"
#include "sorrel/com/ComInfo.h"

namespace Sorrel::Com {

enum class ProbeOutcome {
  kFound,       // `out` is the unit's own answer
  kSkipped,     // the unit could not be opened: leave it out
  kStop,        // RUINF answered other than 0002-0000: end the rescan here
  kUnanswered,  // no readable answer in time, or another command kept the
                // unit: `out` holds what the bus tells (serial, model, port)
  kCancelled,   // the search was cancelled
};

struct ProbeLimits {
  // How long the probe waits for a command that holds the unit.
  std::chrono::milliseconds busyWait{2000};
  // How long it waits for the answer, in whole seconds as the library counts.
  int answerSeconds = 2;
};

// Opens the unit with no retries, runs RUINF and closes what it opened. It
// holds the unit's lease meanwhile, and a unit the page keeps open is asked
// through its own connection, which stays open: a search never takes a
// connection away from the page.
ProbeOutcome ProbeUsbUnit(ComExecutorTable& table, uint32_t serial, int32_t port, WatchUsbInfo& out,
                          lm::CancelToken* cancel = nullptr, const ProbeLimits& limits = {});

}  // namespace Sorrel::Com
