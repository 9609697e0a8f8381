// The linkmeter.records functions with their descriptions, in the order the
// page meets them: the store, visits, what a visit records, reading back,
// moving records.
#include "RecordsWork.h"
#include "sorrel/cef/Manager.h"

namespace Sorrel::Js {
namespace {

namespace w = records_work;
using lm::records::RawKind;

constexpr const char* kGroup = "Site records";
const HostFailureDoc kTargetIsAStore{
    "-22", "the path is a file of an open store (the store itself, its -wal or -shm, a link to it)"};
const HostFailureDoc kArgBad{"-1, -2", "a required member missing (-1), or a member of the wrong type or range (-2)"};
const HostFailureDoc kStoreBad{
    "-20 … -22, -25, -26",
    "the store failed: -20 another program held the file past the 10 s busy time-out, -21 no such site, visit or "
    "record, -22 a value the store cannot keep, -25 the file system refused or the store could not be opened, "
    "-26 an internal failure"};
const HostArgDoc kVisitId{"visitId", "integer", "required", "a visit's id from beginVisit or listVisits"};
const HostArgDoc kSerial{"serial", "integer", "required", "the base unit's serial number"};
const HostArgDoc kPath{"path", "string", "required", "a file path, not empty"};
const HostArgDoc kEndedAt{"endedAt", "integer", "optional", "milliseconds since 1970 UTC; absent: still running"};

HostDoc Doc(std::string summary, std::vector<HostArgDoc> args, std::string result, std::string example,
            std::vector<HostFailureDoc> failures = {kArgBad, kStoreBad}) {
  return HostDoc{kGroup, "", std::move(summary), std::move(args), std::move(result), std::move(failures),
                 std::move(example), {"RecordsFunctions.cpp", "RecordsJson.cpp", "RecordsAccess.cpp"}};
}

const std::vector<HostArgDoc> kRawArgs{
    kVisitId,
    {"takenAt", "integer", "optional", "milliseconds since 1970 UTC; now when absent"},
    {"unit", "integer", "optional", "the unit's serial"},
    {"source", "string", "optional", "where the bytes came from: \"unit\", \"file\", …"},
    {"raw", "string or array", "required", "the bytes as read: base64 text or an array of 0..255"},
    {"decoded", "any", "optional", "this version's decoding, kept as JSON"}};
const char* const kRawResult = "{id}: the record's id; the same content recorded again answers the first id.";

const std::vector<HostArgDoc> kProbeArgs{
    {"probes", "array", "optional", "[{route, seq, at, answered, raw}] as they completed"},
    {"hops", "array", "optional",
     "[{route, hop, fromUnit, unit, sent, answered, levelMin, levelAvg, levelMax, battery}]: kept at once (a hop "
     "given again replaces its statistics), so a survey cut short keeps those of the routes done"},
    kEndedAt};

void AddVisitFunctions(const std::function<void(const char*, RecordsQuery::Work, HostDoc)>& add) {
  add("status", w::Status,
      Doc("How the store was found when it opened: opened, created, migrated, or a damaged or newer file set aside, "
          "with the message for the user.",
          {}, "{state, path, asidePath, message, demo, closedVisits}; asidePath is null unless a file was set aside; "
          "demo is true for the demo store; closedVisits counts visits of programs gone closed at this open.",
          "linkmeter.records.status({}, s => { if (s.message) show(s.message); });",
          {{"-25, -26", "the store could not be opened"}}));
  add("listSites", w::ListSites,
      Doc("The sites in the store, by serial.", {}, "[{id, contentId, serial, name, model, visitCount, lastVisitAt}]",
          "linkmeter.records.listSites({}, sites => showSites(sites));", {kStoreBad}));
  add("listVisits", w::ListVisits,
      Doc("The visits of one site.", {kSerial},
          "[{id, contentId, siteSerial, startedAt, endedAt, technician, customer, notes, versionId, competing, "
          "sentBy, synced}]; endedAt is null while a visit is open; technician, customer and notes are the current "
          "version's (versionId); competing lists every current version [{versionId, replaces, madeAt, technician, "
          "customer, notes}] when two edits replaced the same one, else []; sentBy is who sent the visit to the team "
          "server (null before); synced is true when the last sync left it whole on both sides and it has not "
          "changed since; an unknown serial answers [].",
          "linkmeter.records.listVisits({serial: 1200345}, visits => list(visits));"));
  add("beginVisit", w::BeginVisit,
      Doc("Starts a visit to a site, adding the site when it is new.",
          {{"site", "object", "required", "{serial (integer, required), name, model}"},
           {"startedAt", "integer", "optional", "milliseconds since 1970 UTC; now when absent"},
           {"technician", "string", "optional", ""}, {"customer", "string", "optional", ""},
           {"notes", "string", "optional", ""}},
          "{id}: the visit's id.",
          "linkmeter.records.beginVisit({site: {serial: 1200345, name: 'North'}, technician: 'K'}, v => use(v.id));"));
  add("endVisit", w::EndVisit,
      Doc("Ends a visit.", {kVisitId, {"endedAt", "integer", "optional", "now when absent"}}, "true.",
          "linkmeter.records.endVisit({visitId});"));
  add("updateVisit", w::UpdateVisit,
      Doc("Changes a visit's technician, customer and notes: a new version replacing the current one (or, with "
          "replaces, the competing versions the technician chose between); fields equal to the current version "
          "add nothing.",
          {kVisitId, {"technician", "string", "optional", ""}, {"customer", "string", "optional", ""},
           {"notes", "string", "optional", ""},
           {"replaces", "array", "optional", "the versionIds this edit replaces; absent: every current version"}},
          "true.", "linkmeter.records.updateVisit({visitId, notes: 'gate code 4711'});"));
}

void AddRecordingFunctions(const std::function<void(const char*, RecordsQuery::Work, HostDoc)>& add) {
  add("recordRegistration", w::RawWork(RawKind::kRegistration),
      Doc("Keeps a registration snapshot as read.", kRawArgs, kRawResult,
          "linkmeter.records.recordRegistration({visitId, unit, source: 'unit', raw});"));
  std::vector<HostArgDoc> downloadArgs = kRawArgs;
  downloadArgs.push_back({"header", "string or array", "optional", "the header bytes, like raw"});
  add("recordDownload", w::RawWork(RawKind::kDownload),
      Doc("Keeps a recorded-data download: its header and raw bytes.", downloadArgs, kRawResult,
          "linkmeter.records.recordDownload({visitId, unit, header, raw});"));
  add("recordLog", w::RawWork(RawKind::kEventLog),
      Doc("Keeps an event log as read.", kRawArgs, kRawResult, "linkmeter.records.recordLog({visitId, unit, raw});"));
  add("recordSettingsRead", w::RawWork(RawKind::kSettingsReadback),
      Doc("Keeps settings read back from a unit.", kRawArgs, kRawResult,
          "linkmeter.records.recordSettingsRead({visitId, unit, raw, decoded});"));
  add("recordAcceptance", w::RawWork(RawKind::kAcceptance),
      Doc("Keeps a site's acceptance: decoded is the verdict with the profile and boundaries it was judged by "
          "(raw empty).",
          kRawArgs, kRawResult, "linkmeter.records.recordAcceptance({visitId, raw: [], decoded: acceptance});"));
  add("recordWaiver", w::RawWork(RawKind::kWaiver),
      Doc("Keeps a waiver of a failing unit ({action: 'waive', serial, label, reason, at}) or its withdrawal "
          "({action: 'withdraw', withdraws: the waiver's id, serial, at}) as decoded (raw empty); neither is "
          "ever changed.",
          kRawArgs, kRawResult, "linkmeter.records.recordWaiver({visitId, unit, raw: [], decoded: waiver});"));
  add("recordPlan", w::RawWork(RawKind::kPlan),
      Doc("Keeps a site plan: raw is the image (PNG, JPEG or SVG; a PDF page as the PNG it was rendered to), "
          "decoded is {name, format, width, height, sha256 (of raw, hex)}; both make its content id.",
          kRawArgs, kRawResult, "linkmeter.records.recordPlan({visitId, source: 'file', raw, decoded: plan});"));
  add("recordMapEdit", w::RawWork(RawKind::kMapEdit),
      Doc("Keeps one edit of the site map as decoded (raw empty), never changed: {action: 'place' | 'plan' | "
          "'unplace', serial, plan (the plan's sha256), x, y (plan pixels), by} or {action: 'scale', plan, x1, y1, "
          "x2, y2, metres, by}.",
          kRawArgs, kRawResult, "linkmeter.records.recordMapEdit({visitId, raw: [], decoded: edit});"));
  std::vector<HostArgDoc> surveyArgs{
      kVisitId,
      {"kind", "string", "optional", "\"route\" (default) or \"site\""},
      {"startedAt", "integer", "optional", "now when absent"},
      {"probesPerRoute", "integer", "required", ""},
      {"routes", "array", "required", "the routes probed, each a list of unit serials"},
      {"thresholds", "any", "optional", "the level and battery thresholds in use"},
      {"registrationId", "integer", "optional", "the registration (its id from recordRegistration) measured with"}};
  surveyArgs.insert(surveyArgs.end(), kProbeArgs.begin(), kProbeArgs.end());
  add("recordSurvey", w::RecordSurvey,
      Doc("Starts keeping a route or site survey, with the probes done so far; with endedAt it is finished too.",
          surveyArgs, "{id}: the survey's id, for surveyProbes.",
          "linkmeter.records.recordSurvey({visitId, kind: 'site', probesPerRoute: 20, routes}, s => use(s.id));"));
  std::vector<HostArgDoc> probeArgs{{"surveyId", "integer", "required", "from recordSurvey"}};
  probeArgs.insert(probeArgs.end(), kProbeArgs.begin(), kProbeArgs.end());
  add("surveyProbes", w::AddSurveyProbes,
      Doc("Adds a running survey's completed probes and hop statistics, each call kept at once; with endedAt it "
          "finishes it.",
          probeArgs, "true.", "linkmeter.records.surveyProbes({surveyId, probes});"));
  add("recordScan", w::RecordScan,
      Doc("Keeps a channel scan and its rounds.",
          {kVisitId, {"startedAt", "integer", "optional", "now when absent"}, {"unit", "integer", "optional", ""},
           {"settings", "any", "optional", "the scan's settings"},
           {"rounds", "array", "optional", "[{round, at, raw, decoded}]"}, kEndedAt},
          "{id}: the scan's id.", "linkmeter.records.recordScan({visitId, unit, rounds, endedAt: Date.now()});"));
  add("recordSettingsWrite", w::RecordSettingsWrite,
      Doc("Keeps a write of settings to a unit, refused ones too: the audit trail of what this computer did.",
          {kVisitId, {"writtenAt", "integer", "optional", "now when absent"}, {"unit", "integer", "optional", ""},
           {"succeeded", "boolean", "required", "whether the unit took the values"},
           {"message", "string", "optional", "the unit's or the program's answer"},
           {"changes", "array", "required", "[{key (string), old (any; absent when not read first), new (any)}]"}},
          kRawResult,
          "linkmeter.records.recordSettingsWrite({visitId, unit, succeeded: true, changes: [{key: 'Interval', old: 60, "
          "new: 30}]});"));
}

void AddReadingFunctions(const std::function<void(const char*, RecordsQuery::Work, HostDoc)>& add) {
  add("readVisit", w::ReadVisit,
      Doc("A visit with the list of its records (without their bytes) and its settings writes in full.", {kVisitId},
          "{visit, records: [{id, contentId, kind, at, unit, source}], settingsWrites: [{id, contentId, writtenAt, "
          "unit, succeeded, message, changes}]}",
          "linkmeter.records.readVisit({visitId}, v => showVisit(v));"));
  add("readRecord", w::ReadRecord,
      Doc("One record in full, bytes as base64 text.",
          {{"kind", "string", "required",
            "registration, download, event-log, settings-readback, route-survey, site-survey, channel-scan, acceptance, "
            "waiver, plan or map-edit"},
           {"id", "integer", "required", "the record's id from readVisit"}},
          "A raw record {id, contentId, visitId, kind, takenAt, unit, source, header, raw, decoded}; a survey {…, "
          "registrationId, registrationContentId, probes, hops} (the registration it was measured with; its id is "
          "null when this store lacks it); a scan {…, rounds}.",
          "linkmeter.records.readRecord({kind: 'site-survey', id}, s => showSurvey(s));"));
  add("readSiteMap", w::ReadSiteMap,
      Doc("A site's plans and map edits from every visit, oldest first, without the images (readRecord of kind "
          "plan gives one in full).",
          {kSerial}, "{plans: [raw record without raw/header], edits: [raw record without raw/header]}",
          "linkmeter.records.readSiteMap({serial}, m => drawMap(m));"));
  add("renderPlanPage", w::RenderPlanPage,
      Doc("One page of a PDF plan as a PNG (poppler's pdftoppm, the longest side at most 8000 pixels, within a "
          "minute); the store is not touched.",
          {{"pdf", "string or array", "required", "the PDF file's bytes, like raw"},
           {"page", "integer", "optional", "the page, from 1 (1 when absent)"}},
          "{png}: the page's PNG as base64 text.",
          "linkmeter.records.renderPlanPage({pdf, page: 2}, p => addPlan(p.png));",
          {kArgBad, {"-22", "pdftoppm could not render that page (not a PDF, no such page)"}}));
  add("unitTrend", w::UnitTrend,
      Doc("One unit's hop statistics in every survey of a site, oldest first.",
          {kSerial, {"unit", "integer", "required", "the unit's serial"}},
          "[{visitId, visitStartedAt, surveyId, surveyStartedAt, sent, answered, levelMin, levelAvg, battery}]",
          "linkmeter.records.unitTrend({serial, unit}, points => chart(points));"));
  add("exportSite", w::ExportSite,
      Doc("Writes a site with all its visits to one file; a file of that name is replaced only by a whole export.",
          {kSerial, kPath}, "true.", "linkmeter.records.exportSite({serial, path: '/media/usb/north.lmrec'});",
          {kArgBad, kStoreBad, kTargetIsAStore}));
  add("exportVisit", w::ExportVisit,
      Doc("Writes one visit with its site to one file.", {kVisitId, kPath}, "true.",
          "linkmeter.records.exportVisit({visitId, path});",
          {kArgBad, kStoreBad, kTargetIsAStore}));
  add("import", w::Import,
      Doc("Checks an export (content ids, schema, types, sizes, within a time limit) and merges it into the store; "
          "what the store has already is skipped, what the file completes is added.",
          {kPath},
          "{sites, visits, records, updated, skipped, refused}: how many were new, how many already kept were "
          "completed (an end time, more probes), how many were already kept unchanged, and the records that have "
          "ended here for which the file holds other parts or another end (kept as they are), one line each.",
          "linkmeter.records.import({path}, n => say(n.records + ' new'));",
          {kArgBad, kStoreBad, {"-23", "the file was written by a newer version"},
           {"-24", "the file is damaged or not a site-records file"}}));
}

void AddTeamFunctions(const std::function<void(const char*, RecordsQuery::Work, HostDoc)>& add) {
  const HostArgDoc server{"server", "string", "required",
                          "the team server: a service name from pg_service.conf or a postgresql:// URI, without a "
                          "password (kept in ~/.pgpass)"};
  const HostFailureDoc teamBad{"-27 … -29",
                               "-27 the team server could not be reached or the link dropped, -28 the server refused "
                               "(privileges, no team records, a newer schema), -29 the server sent a record whose "
                               "content id does not match (nothing of that visit was kept)"};
  add("sync", w::Sync,
      Doc("Makes the store and the team server hold the same records: sends the visits and records the server "
          "lacks and fetches those the store lacks, one visit per transaction on each side; an interrupted sync "
          "goes on from there next time. Nothing else changes on either side.",
          {server, {"serial", "integer", "optional", "only this site's visits; every site when absent"}},
          "{visits, pushedVisits, pulledVisits, pushedRows, pulledRows, user, refused}: the visits in scope, those "
          "something was sent or fetched for, the rows moved, the server user this computer sends as, and what "
          "the server holds that was not kept (a part or end from someone other than its record's sender, or "
          "different from a record that has ended here), one line each.",
          "linkmeter.records.sync({server: 'office'}, n => say(n.pulledVisits + ' visits fetched'));",
          {kArgBad, kStoreBad, {"-20", "a sync is already running"}, teamBad}));
  add("syncProgress", w::SyncProgress,
      Doc("How far the running sync is.", {}, "{running, done, total}: batches done of those to move.",
          "linkmeter.records.syncProgress({}, p => bar(p.done, p.total));", {kStoreBad}));
  add("serverInit", w::ServerInit,
      Doc("Sets up the team records on a server (its schema and roles), run by the database's owner; a server "
          "that has them already is left as it is.",
          {server}, "{created, from, version}: whether the schema was set up or brought up to date now, the version the server had (0: none), and its version now.",
          "linkmeter.records.serverInit({server: 'office'});", {kArgBad, kStoreBad, teamBad}));
}

void AddAlarmFunctions(const std::function<void(const char*, RecordsQuery::Work, HostDoc)>& add) {
  add("alarmTimeline", w::AlarmTimeline,
      Doc("What the unattended monitor's alarm rules kept for a site: raises, resolves, flapping, stable and "
          "acknowledgements, oldest first (docs/alarms.md).",
          {kSerial, {"from", "integer", "optional", "milliseconds since 1970 UTC; thirty days before `to` when absent"},
           {"to", "integer", "optional", "milliseconds since 1970 UTC; now when absent"}},
          "[{id, key, kind, at, raisedId, summary, detail}]: key is SITE/rule/subject; raisedId names the raise an "
          "event belongs to (null for a raise); detail holds the evidence rounds and the units a silent repeater "
          "cut off.",
          "linkmeter.records.alarmTimeline({serial}, events => drawTimeline(events));"));
  add("alarmsFiring", w::AlarmsFiring,
      Doc("The site's alarms not yet resolved, newest first.", {kSerial},
          "[{id, key, startedAt, summary, ackedAt}]; ackedAt is null until someone acknowledged it.",
          "linkmeter.records.alarmsFiring({serial}, alarms => badge(alarms.length));"));
}

}  // namespace

void RegisterRecordsFunctions(cef::Manager& manager, std::shared_ptr<RecordsAccess> access) {
  manager.AppendPrelude("linkmeter.records=linkmeter.records||{};");
  auto add = [&](const char* name, RecordsQuery::Work work, HostDoc doc) {
    manager.AddQuery(std::make_shared<RecordsQuery>(name, access, std::move(work), std::move(doc)));
  };
  AddVisitFunctions(add);
  AddRecordingFunctions(add);
  AddReadingFunctions(add);
  AddTeamFunctions(add);
  AddAlarmFunctions(add);
}

}  // namespace Sorrel::Js
