#pragma once
// The page's site logic, run by JavaScriptCore: routes built from a
// registration, per-hop statistics and verdicts, the site report summary,
// weak links, the channel recommendation, the decoders of recorded data and
// event logs and the one rule for a hop heard on several routes come from
// the page's own modules (web/linkmeter/src/sitelogic.js, bundled into the
// program at build time), so the command line and the page can never judge
// a site differently.
//
// The functions run in a ScriptContext, the run's one JavaScriptCore
// context, shared with the page's flows; a SiteLogic made on its own has a
// context of its own (tools and tests). Thread-confined as its context is.
// Loading takes a few milliseconds; keep one per run, not one per call.
//
// The functions, by name (arguments positional, every value plain JSON;
// a target is {group, kind: "remote"|"repeater", num}; a probe is
// {answer: the raw EWLEX/EWLRU answer, when: ms} with `when` optional;
// `options` may carry {when: ms, thresholds}; thresholds default to the
// page's):
//   defaultThresholds()                 -> {level: {...}, battery: {...}}
//   thresholdProblem(thresholds)        -> null or why they are unusable ("levelOrder"...)
//   defaultProbes()                     -> the probes per route a survey sends unless told (5)
//   refusesRegistration({model})        -> true for a base unit whose registration RSETF refuses
//   siteTargets(regInfo)                -> [{group, kind, num, serial, name, model, label}]
//   namedUnits(regInfo)                 -> [{group, kind, num, serial, names}]: every repeater and
//       remote unit with its label and own name ("G1 APPLE-2", "APPLE-2"; "G1 R3", "R3")
//   route(regInfo, target)              -> {fields: {CH, ID, RELAY, ROUTE, BAND}, group, hops}
//   siteRoutes(regInfo, targets)        -> [{target, route} or {target, error: "noParent"...}]
//       every route in one call (targets default to every remote unit);
//       a 256-unit registration costs ~0.4 ms to pass in, so prefer this
//       to one route() call per unit
//   routeResult(regInfo, target, probes, options)
//       -> the judged result: {status, verdict, far, target, group, hops:
//          [{kind, num, serial, label, stats, reading, verdict, figures}], ...}
//   siteSurvey(regInfo, units, options)
//       units: [{target, probes}] or [{target, failed}] for a unit whose
//       survey could not be sent (`failed`: the program's failure object or
//       a text); a unit whose route the registration cannot give fails as
//       in the page, so give it {target, probes: []} rather than a made-up
//       failure. options may also name `targets` (default: every remote
//       unit of the registration) and `language` ("ja", "en") for the
//       failure sentences
//       -> {targets, results, complete, summary, hops} (summary: the
//          report's, its units by key/label/serial instead of the whole
//          result; hops: every hop measured, merged over the routes through
//          it by the one rule (site/hopmerge.js): [{key, from, to, routes,
//          level, verdict, asked, answered, battery}], each end {serial,
//          kind, num, label}, the base unit's serial from options.base)
//   parseChannels(text)                 -> [channel...] ("5, 12, 20-25"), throws on a bad part
//   channelScan(regInfo, rounds, options)
//       rounds: [[{freq, level}...] per round]; options {cutOff: the last
//       round was cut off, count: channels to recommend (3)}
//       -> {rounds, partial, channels: [{freq, n, mean, max, last, inUse}],
//           recommendation: {channels, samples}}
//   weakestLinks(results, count, thresholds) -> the report's weakest links
//   compareSiteSurveys(previous, current, {worseBy, thresholds})
//       previous/current: {prov, results} with results as siteSurvey gives
//       them -> the visit comparison, hop by hop
//   defaultProfile()                    -> the acceptance profile Standard v1 (docs/acceptance.md)
//   profileFromText(text)               -> a profile from a file's JSON; throws "profile: <why>"
//   acceptance(regInfo, units, options)
//       units as siteSurvey takes them; options may also carry `profile`,
//       `channels` (the channel advice's recommendation), `waivers`,
//       `base` ({serial, name}: the base unit the remedies name),
//       `stopped`, `started` (the survey's start, ms) and `evidence` (what
//       the site records add: the flows' diagnosisEvidence) -> {verdict,
//       counts, profile, thresholds, units: [{verdict, rule, findings,
//       diagnosis {cause, confidence, facts, evidence (words), ...},
//       remedies [{kind, units, position?, predicted?, ...}], marginRemedies,
//       waiver, verdictText, ruleText, findingTexts, remedyTexts, ...}],
//       fixFirst, gainMargin, proposals, propagation, predictions,
//       geometry, siteText, countsText, rules, fitLines}
//   limits()                            -> {PROBES: {min, max, default}, SCAN_ROUNDS: ...}
//   recordedTable(answer, options)      -> a download (EISUC/EWSUC answer) as the page's
//       recorded-data CSV: {header, rows, decoded: {interval, chTypes, count,
//       first, last}} or {error: "header" | "width"}; times in UTC unless
//       options.zone is "local"
//   eventLog(answer)                    -> an ELOGS answer's logs as the page's event-log
//       table, newest first: {header, rows}
// Results carry each hop's statistics with the level histogram as
// `levels`: [[level, count], ...].

#include <lm/Json.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace linkmeter::cli {

class ScriptContext;

class SiteLogic {
 public:
  // Loads the bundle into a context of its own; Ready() says whether it worked.
  SiteLogic();
  // Loads `script` instead, which must set the global LinkmeterCli with its
  // functions under `site` (tests).
  explicit SiteLogic(std::string_view script);
  // The functions of `context`, which outlives this.
  explicit SiteLogic(ScriptContext& context);
  ~SiteLogic();
  SiteLogic(const SiteLogic&) = delete;
  SiteLogic& operator=(const SiteLogic&) = delete;

  bool Ready() const;
  // Why the bundle could not be loaded ("" when Ready()).
  const std::string& LoadError() const;

  // Calls the site-logic function `function` with `args`. The answer, or
  // nullopt with `error` (may be null) set: an unknown function, a thrown
  // exception ("RouteError: noTarget"), an answer that is not JSON, a call
  // from another thread or a context that did not load. An undefined answer
  // is null.
  std::optional<lm::json::Value> Call(std::string_view function, const lm::json::Array& args,
                                      std::string* error);

  // The names of the functions the bundle offers, sorted.
  std::vector<std::string> Functions();

 private:
  std::unique_ptr<ScriptContext> own_;
  ScriptContext& context_;
};

}  // namespace linkmeter::cli
