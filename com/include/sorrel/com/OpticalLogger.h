#pragma once
// Reads the logger lying on the optical port of one base unit (EISET ACT 1).

#include <optional>

#include "lm/CancelToken.h"
#include "sorrel/com/ComExecutorTable.h"
#include "sorrel/com/SearchEntries.h"

namespace Sorrel::Com {

// The logger on the base unit's optical port, or none when nothing was read
// (no unit can be made for the description, the open failed, the unit
// answered anything but 0005-0000 within 1000 ms, or the call was cancelled
// while it waited for the unit). Opens the unit when it is closed and closes
// it again. A settings record of a length other than 64 or 128 bytes raises
// the internal fault.
std::optional<SearchLoggerResult> ReadOpticalLogger(ComExecutorTable& table, const ComInfo& base,
                                                    lm::CancelToken* cancel);

}  // namespace Sorrel::Com
