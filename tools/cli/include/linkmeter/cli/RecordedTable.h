#pragma once
// A download's bytes (EISUC/EWSUC: the 64-byte header and the data) as a
// table of records, decoded by the page's own rule (device/recorded.js, run
// through the site logic): one row per record time (UTC), one column per
// channel, each value written by the program's channel types, as the
// page's CSV has them.

#include <string>

#include "linkmeter/cli/Output.h"
#include "lm/Json.h"

namespace linkmeter::cli {

class SiteLogic;

struct RecordedTable {
  Table table;                // time, unix time, ch1 (unit), …
  lm::json::Value decoded;    // {interval, chTypes, count, first, last}
  std::string error;          // a header too short, channels of no width
};

RecordedTable DecodeRecorded(SiteLogic& logic, const lm::json::Value& answer);

}  // namespace linkmeter::cli
