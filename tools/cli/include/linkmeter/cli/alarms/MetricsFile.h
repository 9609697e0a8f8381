#pragma once
// The textfile a node exporter's textfile collector reads: per hop the
// median level and the share of probes lost, per unit the battery and when
// it was last heard, per site the alarms firing and the last survey's time.
// Written whole to a temporary file beside it and renamed over it, so a
// reader never sees half a file.

#include <string>

#include "linkmeter/cli/alarms/AlarmState.h"
#include "linkmeter/cli/alarms/RoundObservation.h"

namespace linkmeter::cli::alarms {

// The exposition text of a round and the rules' state after it.
std::string MetricsText(const RoundObservation& round, const EngineState& state);

// Writes `text` to `path` atomically; "" when done, else why not.
std::string WriteFileAtomically(const std::string& path, const std::string& text);

}  // namespace linkmeter::cli::alarms
