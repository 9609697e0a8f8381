#pragma once
// A route or whole-site survey run the way the page's site survey runs it:
// each target's route from the registration, N probes in turn, a unit
// whose probe fails marked failed and the next one surveyed, a lost link
// or a stop ending the run with what was gathered. Routes, statistics and
// verdicts come from the page's modules (SiteLogic); each unit's probes
// and hop statistics go to the site records as the unit completes.
// The monitor runs one of these per scheduled survey.

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "lm/Json.h"

namespace linkmeter::cli {

class PageCalls;
class Progress;
class SiteLogic;
class SiteRecorder;

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
  // the logic failed (see error).
  lm::json::Value survey;
  bool stopped = false;   // a stop or a lost link cut it short
  bool linkLost = false;
  std::string error;      // why it stopped or could not be judged
  std::optional<int64_t> recordId;
  int answered = 0;       // targets whose far unit answered a probe
  int notAnswered = 0;    // targets that stayed silent, partly answered or failed
};

class SiteSurveyRun {
 public:
  SiteSurveyRun(PageCalls& page, SiteLogic& logic, SiteRecorder& recorder, Progress& progress)
      : page_(page), logic_(logic), recorder_(recorder), progress_(progress) {}

  // Surveys plan.targets through the base unit `comInfo`; `stop` (may be
  // null) is looked at between probes.
  SurveyOutcome Run(const lm::json::Value& comInfo, const SurveyPlan& plan, const std::atomic<bool>* stop);

 private:
  struct UnitRun;
  // One target's probes; false when the run must end (stop, lost link).
  bool SurveyUnit(const lm::json::Value& comInfo, const SurveyPlan& plan, const lm::json::Value& target,
                  UnitRun& unit, const std::atomic<bool>* stop, SurveyOutcome& outcome);
  void RecordUnit(const SurveyPlan& plan, size_t index, const UnitRun& unit, const std::string& baseSerial,
                  lm::json::Array& allHops);
  lm::json::Value Thresholds(const SurveyPlan& plan);

  PageCalls& page_;
  SiteLogic& logic_;
  SiteRecorder& recorder_;
  Progress& progress_;
  std::optional<int64_t> surveyId_;
};

// {group, kind, num} of the unit with serial `serial` (a remote unit or a
// repeater) in the registration, or null.
lm::json::Value TargetOfSerial(const lm::json::Value& regInfo, const std::string& serial);

}  // namespace linkmeter::cli
