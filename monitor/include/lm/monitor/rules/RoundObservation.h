#pragma once
// What one finished survey round says about a site, as the alarm rules see
// it: each hop's figures and the page's verdict of it, each unit heard or
// not with its battery, and the repeaters each unit is reached through.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lm/Json.h"

namespace lm::monitor {

struct HopSample {
  std::string from, to;  // serials, eight hex digits; `from` the base unit's for the first hop
  int asked = 0, answered = 0;
  std::optional<double> median;  // of the levels answered
  std::string verdict;           // the page's hop verdict: good, fair, weak, bad, silent
};

struct UnitSample {
  std::string serial, label;
  bool repeater = false;
  bool heard = false;
  std::optional<double> battery;     // percent, when heard
  std::string batteryClass;          // the page's: ok, low, empty, none
  std::vector<std::string> via;      // repeaters on its route, nearest the base unit first
};

struct RoundObservation {
  std::string site;      // the base unit's serial
  std::string siteName;  // its name, may be empty
  int64_t at = 0;        // ms since 1970, when the round ended
  std::vector<HopSample> hops;
  std::vector<UnitSample> units;
};

// The round of a judged site survey (siteSurvey()'s answer) of base unit
// `site`: its hops as the site logic merged them over every route through
// them (its `hops`, the page's one rule); a unit counts as heard when any
// hop ending at it answered.
RoundObservation ObserveSurvey(const lm::json::Value& survey, const std::string& site, const std::string& siteName,
                               int64_t at);

}  // namespace lm::monitor
