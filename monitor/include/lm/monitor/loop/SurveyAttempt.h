#pragma once
// One scheduled site survey as the monitor sees it: run it, and say what it
// found, why it could not run, or that a stop request cut it short.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "lm/monitor/loop/CancelToken.h"
#include "lm/Json.h"

namespace lm::monitor {

struct WeakestHop {
  std::string from, to;  // unit names or serials, as the log shows them
  double level = 0;      // its median level, 0..255
};

struct SurveySummary {
  int answered = 0;  // units beyond the base unit that answered any probe
  int silent = 0;    // units that answered none
  std::optional<WeakestHop> weakest;  // of the hops that answered
  std::optional<int64_t> recordId;    // the survey in the site records
  // The judged site survey (siteSurvey()'s answer) and the base unit it was
  // taken from, for what watches the rounds (the alarms).
  lm::json::Value survey;
  std::string siteSerial, siteName;
};

struct AttemptResult {
  enum class Kind { kDone, kFailed, kStopped };
  Kind kind = Kind::kFailed;
  SurveySummary summary;  // kDone
  std::string error;      // kFailed: why no survey ran, for the log
};

// Runs one survey; honours `stop` between probes. A silent unit is part of
// a done survey; only a base unit that cannot be reached is a failure.
using SurveyAttempt = std::function<AttemptResult(CancelToken& stop)>;

}  // namespace lm::monitor
