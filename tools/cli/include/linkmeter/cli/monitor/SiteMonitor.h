#pragma once
// The monitor's survey: one whole-site survey of the base unit per call,
// each a site-records visit of its own. The unit is found and connected on
// the first call and kept open between surveys; after a lost link the next
// call opens it afresh, after a unit never found it searches again.

#include <memory>
#include <string>

#include "lm/monitor/loop/SurveyAttempt.h"
#include "lm/Json.h"

namespace linkmeter::cli {
struct CommandContext;
class SiteLogic;
class UnitConnection;
}  // namespace linkmeter::cli

namespace linkmeter::cli::monitor {

using lm::monitor::AttemptResult;
using lm::monitor::CancelToken;
using lm::monitor::SurveySummary;

class SiteMonitor {
 public:
  SiteMonitor(CommandContext& ctx, SiteLogic& logic, int probes);
  // Ends the recording session; writes the store could not take are said
  // on the progress lines.
  ~SiteMonitor();
  SiteMonitor(const SiteMonitor&) = delete;
  SiteMonitor& operator=(const SiteMonitor&) = delete;

  AttemptResult Survey(CancelToken& stop);

 private:
  // The unit open, or false with `why`.
  bool Connected(std::string& why);

  CommandContext& ctx_;
  SiteLogic& logic_;
  int probes_;
  std::unique_ptr<UnitConnection> unit_;
  bool linkLost_ = false;
  bool recording_ = false;   // the flows' recording session is open
  size_t surveysSeen_ = 0;   // surveys the store took so far
};

// What the log line says of a judged site survey (siteSurvey()'s answer):
// the units that answered and those that did not, and its weakest link
// named by its two ends (`baseName` for the base unit).
SurveySummary SummaryOfSurvey(const lm::json::Value& survey, const std::string& baseName);

}  // namespace linkmeter::cli::monitor
