#pragma once
// Interval texts of the monitor's options: "30s", "5m", "1h", "1h30m".

#include <chrono>
#include <optional>
#include <string>

namespace lm::monitor {

using Seconds = std::chrono::seconds;

// One or more number-and-unit pairs (s, m, h, d), each unit at most once and
// from the largest down. Nullopt for anything else, zero and past a week.
std::optional<Seconds> ParseDuration(const std::string& text);

// "45s", "5m", "1h30m", "2h0m5s" style back: the largest units first, zero
// parts in between kept so the text reads back the same.
std::string FormatDuration(Seconds duration);

}  // namespace lm::monitor
