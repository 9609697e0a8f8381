#pragma once
// A route or whole-site survey run by the page's own flow (cliflows.js
// survey(): the site survey view's runSurvey and surveyTargets): each
// target's route from the registration, N probes in turn, a unit whose
// probe fails marked failed and the next one surveyed, a lost link or a
// stop ending the run with what was gathered; the page's recorder keeps it
// in the site records as it runs. The monitor runs one per scheduled survey.

#include <atomic>
#include <optional>
#include <string>

#include "lm/Json.h"

namespace linkmeter::cli {

class PageFlows;
class SiteLogic;

struct SurveyPlan {
  lm::json::Value regInfo;
  lm::json::Array targets;     // {group, kind, num, …}; the site's remote units for a site survey
  std::string kind = "site";   // "site" or "route", as the records name it
  int probes = 1;              // per target
  std::string mnemonic = "EWLEX";
  lm::json::Value thresholds;  // null: the page's defaults
};

struct SurveyOutcome {
  // Per target surveyed: {target, probes: [{answer, when}]} or {target,
  // failed}: the raw material siteSurvey() judges (answers without comInfo).
  lm::json::Array units;
  // siteSurvey()'s answer: {targets, results, complete, summary}; null when
  // the flow failed (see error).
  lm::json::Value survey;
  bool stopped = false;   // a stop or a lost link cut it short
  bool linkLost = false;
  std::string error;      // why it stopped or could not be run
  std::optional<int64_t> recordId;  // filled in once the records are settled
  int answered = 0;       // targets whose far unit answered a probe
  int notAnswered = 0;    // targets that stayed silent, partly answered or failed
};

// The plan for `regInfo` with `probes` per target and the page's default
// thresholds: a route survey of `routeTarget`, or, when it is null, a site
// survey of every remote unit (the site logic's siteTargets). nullopt, with
// `error`, when the site logic cannot list the site's units.
std::optional<SurveyPlan> PlanSurvey(SiteLogic& logic, const lm::json::Value& regInfo, int probes,
                                     const lm::json::Value& routeTarget, std::string& error);

// Surveys plan.targets through the base unit `comInfo`; once `*stop`
// holds, the flow stops between two probes.
SurveyOutcome RunSurveyFlow(PageFlows& flows, const lm::json::Value& comInfo, const SurveyPlan& plan,
                            const std::atomic<bool>* stop);

}  // namespace linkmeter::cli
