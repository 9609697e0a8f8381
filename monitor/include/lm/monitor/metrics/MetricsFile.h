#pragma once
// The textfile a node exporter's textfile collector reads: per hop the
// median level and the share of probes lost, per unit the battery and when
// it was last heard, per site the alarms firing and the last survey's time.
// Written whole to a temporary file beside it and renamed over it, so a
// reader never sees half a file.

#include <string>

#include "lm/monitor/rules/AlarmState.h"
#include "lm/monitor/rules/RoundObservation.h"

namespace lm::monitor {

// The exposition text of a round and the rules' state after it.
std::string MetricsText(const RoundObservation& round, const EngineState& state);

// Writes `text` to `path` atomically; "" when done, else why not.
std::string WriteFileAtomically(const std::string& path, const std::string& text);

}  // namespace lm::monitor
