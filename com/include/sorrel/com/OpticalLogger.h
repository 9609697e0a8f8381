#pragma once
// Reads the logger lying on the optical port of one base unit (EISET ACT 1).

#include <chrono>
#include <optional>

#include "lm/CancelToken.h"
#include "sorrel/com/ComExecutorTable.h"
#include "sorrel/com/SearchEntries.h"

namespace Sorrel::Com {

// How long the search waits for a command that holds the base unit.
inline constexpr std::chrono::milliseconds kOpticalBusyWait{2000};

struct OpticalLoggerRead {
  enum class Outcome {
    kRead,       // `logger` is the one on the port, or none lies there
    kBusy,       // another command held the unit longer than kOpticalBusyWait
    kCancelled,  // the call was cancelled while it waited for the unit
  };
  Outcome outcome = Outcome::kRead;
  std::optional<SearchLoggerResult> logger;
};

// The logger on the base unit's optical port; none when nothing was read
// (no unit can be made for the description, the open failed, or the unit
// answered anything but 0005-0000 within 1000 ms). Opens the unit when it is
// closed and closes it again. A settings record of a length other than 64
// or 128 bytes raises the internal fault.
OpticalLoggerRead ReadOpticalLogger(ComExecutorTable& table, const ComInfo& base, lm::CancelToken* cancel);

}  // namespace Sorrel::Com
