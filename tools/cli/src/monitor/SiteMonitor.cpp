#include "linkmeter/cli/monitor/SiteMonitor.h"

#include <sstream>

#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/Progress.h"
#include "linkmeter/cli/SiteLogic.h"
#include "linkmeter/cli/PageFlows.h"
#include "linkmeter/cli/SiteRegistration.h"
#include "linkmeter/cli/SurveyFlow.h"
#include "linkmeter/cli/UnitSession.h"
#include "linkmeter/cli/Subcommand.h"
#include "linkmeter/cli/UnitConnection.h"
#include "linkmeter/cli/VisitJoining.h"
#include "linkmeter/cli/PageCalls.h"

namespace linkmeter::cli::monitor {
namespace {

using lm::monitor::WeakestHop;
using lm::json::Array;
using lm::json::Object;
using lm::json::Value;

using lm::json::Member;

int Count(const Value& v, const std::string& key) {
  const Value& m = Member(v, key);
  return m.is<double>() ? static_cast<int>(m.get<double>()) : 0;
}

// "linkmeter-cli: why\n" as Fail() writes it, back to "why".
std::string Reason(const std::string& written, const std::string& otherwise) {
  std::string text = written;
  const std::string prefix = "linkmeter-cli: ";
  if (text.rfind(prefix, 0) == 0) text.erase(0, prefix.size());
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  const auto lastLine = text.rfind('\n');
  if (lastLine != std::string::npos) text.erase(0, lastLine + 1);
  return text.empty() ? otherwise : text;
}

AttemptResult Failed(std::string why) {
  AttemptResult r;
  r.kind = AttemptResult::Kind::kFailed;
  r.error = std::move(why);
  return r;
}

}  // namespace

SurveySummary SummaryOfSurvey(const Value& survey, const std::string& baseName) {
  const Value& s = Member(survey, "summary");
  SurveySummary summary;
  // A unit answered when it was heard itself; a "partial" one is silent
  // (only the repeaters before it answered), as is one whose survey could
  // not be sent.
  summary.answered = Count(s, "answered");
  summary.silent = Count(s, "partial") + Count(s, "noAnswer") + Count(s, "failed");
  const Value& links = Member(s, "links");
  if (links.is<Array>() && !links.get<Array>().empty()) {
    const Value& weakest = links.get<Array>().front();  // weakest first
    const Value& level = Member(weakest, "level");
    if (level.is<double>()) {
      auto name = [&](const Value& end) {
        const std::string label = MemberText(end, "label");
        return label.empty() ? baseName : label;
      };
      summary.weakest = WeakestHop{name(Member(weakest, "from")), name(Member(weakest, "to")), level.get<double>()};
    }
  }
  return summary;
}

SiteMonitor::SiteMonitor(CommandContext& ctx, SiteLogic& logic, int probes)
    : ctx_(ctx), logic_(logic), probes_(probes) {}

SiteMonitor::~SiteMonitor() {
  // The visit of the day ends with the run, through the recorder while it
  // still writes.
  for (const int64_t id : ctx_.visits ? ctx_.visits->CloseMonitorVisits() : std::vector<int64_t>{}) {
    const PageAnswer ended = ctx_.page.Query("LmRecordsEndVisit", lm::json::MakeObject({{"visitId", lm::json::Number(id)}}));
    if (!ended.ok) ctx_.progress.Line("warning: the monitor's visit " + std::to_string(id) + " was left open: " + FailureText(ended));
  }
  if (recording_ && ctx_.flows) {
    const RecordsEnd end = EndRecording(*ctx_.flows);
    if (!end.Written()) {
      ctx_.progress.Line("warning: site records not written: " +
                         (end.file.empty() ? end.failed : std::to_string(end.pending) + " writes kept in " + end.file));
    }
  }
}

bool SiteMonitor::Connected(std::string& why) {
  if (unit_ && !linkLost_) return true;
  if (unit_) {
    // The same unit again; when it does not open, the next try searches
    // afresh (a LAN unit may have come back under another address).
    const bool reopened = unit_->Reopen(why);
    if (!reopened) unit_.reset();
    linkLost_ = !reopened;
    return reopened;
  }
  // Connect() says why it failed on its error stream: catch that for the log.
  std::ostringstream said;
  CommandContext quiet{ctx_.page, ctx_.args, ctx_.output, said, ctx_.progress, ctx_.demoUnits, ctx_.stop};
  int status = 0;
  unit_ = UnitConnection::Connect(quiet, status);
  if (!unit_) why = Reason(said.str(), "the base unit cannot be reached");
  return unit_ != nullptr;
}

AttemptResult SiteMonitor::Survey(CancelToken& stop) {
  std::string why;
  if (!Connected(why)) return Failed(why);
  if (!ctx_.flows) return Failed("the page's flows are not running");
  PageFlows& flows = *ctx_.flows;
  if (!recording_) recording_ = BeginRecording(flows, ctx_.record(), why);
  // A visit per survey: the history lists each and compares it with the last.
  flows.Run("connected", {lm::json::MakeObject({{"unit", unit_->ComInfo()}})}, nullptr);
  struct VisitEnd {
    PageFlows& flows;
    std::optional<Value> ids;
    ~VisitEnd() {
      if (!ids) flows.Run("disconnected", {}, nullptr);
    }
  } visit{flows, std::nullopt};
  auto regInfo = SiteRegistration(ctx_.page, *unit_, flows, ctx_.args.Get("--registration"), why);
  if (!regInfo) {
    linkLost_ = true;  // open it afresh: the registration read is the first exchange
    return Failed(why);
  }
  SurveyPlan plan;
  plan.regInfo = *regInfo;
  plan.probes = probes_;
  auto targets = logic_.Call("siteTargets", {plan.regInfo}, &why);
  if (!targets || !targets->is<Array>()) return Failed("site targets: " + why);
  plan.targets = targets->get<Array>();
  SurveyOutcome outcome = RunSurveyFlow(flows, unit_->ComInfo(), plan, &stop.Flag());
  visit.ids = flows.Run("disconnected", {}, nullptr);
  const Value& ids = visit.ids ? Member(*visit.ids, "surveyIds") : Value();
  if (ids.is<Array>() && !ids.get<Array>().empty() && ids.get<Array>().size() > surveysSeen_) {
    surveysSeen_ = ids.get<Array>().size();
    outcome.recordId = static_cast<int64_t>(ids.get<Array>().back().get<double>());
  }
  if (outcome.linkLost) {
    linkLost_ = true;
    return Failed(outcome.error.empty() ? "the link to the base unit was lost" : outcome.error);
  }
  if (outcome.stopped) return AttemptResult{AttemptResult::Kind::kStopped, {}, outcome.error};
  if (outcome.survey.is<picojson::null>()) return Failed(outcome.error);
  AttemptResult done;
  done.kind = AttemptResult::Kind::kDone;
  done.summary = SummaryOfSurvey(outcome.survey, unit_->Name().empty() ? unit_->Serial() : unit_->Name());
  done.summary.recordId = outcome.recordId;
  done.summary.survey = std::move(outcome.survey);
  done.summary.siteSerial = unit_->Serial();
  done.summary.siteName = unit_->Name();
  return done;
}

}  // namespace linkmeter::cli::monitor
