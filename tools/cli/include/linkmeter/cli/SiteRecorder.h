#pragma once
// What a subcommand measures, kept in the site records as the page's
// recorder keeps it (web/linkmeter/src/recorder*.js): a visit per run,
// opened when the base unit is connected and ended with the run; the same
// record kinds with the same members, through the same linkmeter.records
// page functions. A failing store never stops the measurement: the first
// failure is reported once and the run's exit status says so.

#include <cstdint>
#include <optional>
#include <string>

#include "lm/Json.h"

namespace linkmeter::cli {

class PageCalls;
class Progress;

class SiteRecorder {
 public:
  // Records nothing when `enabled` is false (--no-record).
  SiteRecorder(PageCalls& page, Progress& progress, bool enabled);
  ~SiteRecorder() { EndVisit(); }
  SiteRecorder(const SiteRecorder&) = delete;
  SiteRecorder& operator=(const SiteRecorder&) = delete;

  bool Enabled() const { return enabled_; }
  // Opens a visit of the base unit `comInfo` (its serial, name and model).
  void BeginVisit(const lm::json::Value& comInfo);
  void EndVisit();
  std::optional<int64_t> VisitId() const { return visitId_; }

  // A device answer as the page keeps it: a registration (RSETF), an event
  // log (ELOGS), a download (EISUC/EWSUC: header and data bytes apart) or
  // a settings read (R????). `unit`: the serial the answer is about.
  void Answer(const std::string& mnemonic, const lm::json::Value& answer, std::optional<int64_t> unit, int64_t at,
              const std::string& source = "unit");

  // A survey kept as it runs: its id, then probes and hop statistics in
  // batches, the last with its end time.
  std::optional<int64_t> BeginSurvey(lm::json::Object arg);
  void SurveyProbes(std::optional<int64_t> surveyId, lm::json::Object arg);
  // One call per round of a channel scan (the same scan each time).
  void ScanRound(lm::json::Object arg);

  bool Failed() const { return !error_.empty(); }
  const std::string& Error() const { return error_; }

 private:
  std::optional<lm::json::Value> Call(const std::string& function, lm::json::Object arg);

  PageCalls& page_;
  Progress& progress_;
  bool enabled_;
  std::optional<int64_t> visitId_;
  int64_t lastTakenAt_ = 0;
  std::string error_;
};

// An answer's data as the records keep it: without the frame members and
// the connection (which holds the LAN password), secret values hidden.
lm::json::Value AnswerData(const lm::json::Value& answer);
// A device answer without its comInfo (the LAN password stays out of output).
lm::json::Value WithoutComInfo(const lm::json::Value& answer);
// Milliseconds since 1970, now.
int64_t NowMs();

}  // namespace linkmeter::cli
