#pragma once
// The records kept per site and visit, as the store takes and gives them.
// Times are milliseconds since 1970 UTC; units are identified by serial.
// Raw bytes are kept exactly as read so a later version can decode them again.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lm/records/Statement.h"

namespace lm::records {

using Millis = int64_t;
using RowId = int64_t;

struct SiteInfo {
  int64_t serial = 0;  // the base unit's serial
  std::string name;
  std::string model;
};

struct VisitInfo {
  Millis startedAt = 0;
  std::string technician;
  std::string customer;
  std::string notes;
};

// Records that are bytes as read plus their decoded form.
// kAcceptance: a site's acceptance; kWaiver: a waiver or its withdrawal;
// kPlan: a site plan's image; kMapEdit: a unit placed on a plan or taken off;
// kThinning: what the retention policy removed from a visit (Thinning.h),
// kept on this computer only.
enum class RawKind {
  kRegistration, kDownload, kEventLog, kSettingsReadback, kAcceptance, kWaiver, kPlan, kMapEdit, kThinning
};

struct RawRecord {
  RawKind kind = RawKind::kRegistration;
  Millis takenAt = 0;
  std::optional<int64_t> unit;
  std::string source;       // where it came from: "unit", "file", "simulator", ...
  Bytes header;             // a download's header; empty for the others
  Bytes raw;
  std::string decodedJson;  // empty when not decoded
};

enum class SurveyKind { kRoute, kSite };

struct SurveyInfo {
  SurveyKind kind = SurveyKind::kRoute;
  Millis startedAt = 0;
  int probesPerRoute = 0;
  std::string routesJson;      // the routes probed, each a list of unit serials
  std::string thresholdsJson;  // the level and battery thresholds in use
  // The registration snapshot the survey was measured with: given by its row
  // id when recording, kept by its content id (empty when there was none).
  std::optional<RowId> registrationId;
  std::string registrationContentId;
};

struct Probe {
  int route = 0;
  int seq = 0;
  Millis at = 0;
  bool answered = false;
  Bytes raw;  // the answer as read; empty when none came
};

struct HopStats {
  int route = 0;
  int hop = 0;
  int64_t fromUnit = 0;
  int64_t unit = 0;  // the unit at the far end of the hop
  int sent = 0;
  int answered = 0;
  std::optional<double> levelMin, levelAvg, levelMax;
  std::optional<double> battery;
};

struct ScanInfo {
  Millis startedAt = 0;
  std::optional<int64_t> unit;
  std::string settingsJson;
};

struct ScanRound {
  int round = 0;
  Millis at = 0;
  Bytes raw;
  std::string decodedJson;
};

struct SettingChange {
  std::string key;
  std::optional<std::string> oldJson;  // unknown when the unit was not read first
  std::string newJson;
};

// One write of settings to a unit: the audit trail of what this computer did.
struct SettingsWrite {
  Millis writtenAt = 0;
  std::optional<int64_t> unit;
  bool succeeded = false;
  std::string message;
  std::vector<SettingChange> changes;
};

// ---- What the store gives back ----

struct SiteRow {
  RowId id = 0;
  std::string contentId;
  SiteInfo site;
  int visitCount = 0;
  std::optional<Millis> lastVisitAt;
};

// One version of a visit's technician, customer and notes. The fields a
// visit began with are its first version, named by the visit's content id.
struct VisitVersion {
  std::string contentId;
  std::vector<std::string> replaces;  // the versions this one replaces, sorted
  Millis madeAt = 0;
  std::string technician;
  std::string customer;
  std::string notes;
};

struct VisitRow {
  RowId id = 0;
  std::string contentId;
  int64_t siteSerial = 0;
  VisitInfo info;  // the current version's fields
  std::optional<Millis> endedAt;
  std::string versionId;                // the current version
  std::vector<VisitVersion> competing;  // every current version when more than one replaced the same
  std::optional<std::string> sentBy;    // who sent the visit to the team server
  bool synced = false;                  // whole on both sides at the last sync, unchanged since
  // Closed at a later open because the program that kept it open was gone.
  bool endedWithoutClosing = false;
};

// One record of a visit, without its bytes. kind: "registration",
// "download", "event-log", "settings-readback", "route-survey",
// "site-survey", "channel-scan", "settings-write".
struct RecordSummary {
  RowId id = 0;
  std::string contentId;
  std::string kind;
  Millis at = 0;
  std::optional<int64_t> unit;
  std::string source;
};

struct StoredSettingsWrite {
  RowId id = 0;
  std::string contentId;
  SettingsWrite write;
};

struct VisitRecords {
  VisitRow visit;
  std::vector<RecordSummary> records;  // by time
  std::vector<StoredSettingsWrite> settingsWrites;  // by time, in full
};

// The team server's receipt of a map edit (fetched by a sync).
struct Receipt {
  int64_t number = 0;  // the order the server took it in
  std::string sentBy;  // the server's session user that sent it
};

struct StoredRaw {
  RowId id = 0;
  std::string contentId;
  RowId visitId = 0;
  RawRecord record;
  std::optional<Receipt> receipt;  // map edits only, once synced
};

struct StoredSurvey {
  RowId id = 0;
  std::string contentId;
  RowId visitId = 0;
  SurveyInfo info;
  std::optional<Millis> endedAt;
  std::vector<Probe> probes;  // by route, then seq
  std::vector<HopStats> hops; // by route, then hop
};

struct StoredScan {
  RowId id = 0;
  std::string contentId;
  RowId visitId = 0;
  ScanInfo info;
  std::optional<Millis> endedAt;
  std::vector<ScanRound> rounds;
};

// One unit's hop statistics in one survey, for the trend across visits.
struct TrendPoint {
  RowId visitId = 0;
  Millis visitStartedAt = 0;
  RowId surveyId = 0;
  Millis surveyStartedAt = 0;
  int sent = 0;
  int answered = 0;
  std::optional<double> levelMin, levelAvg;
  std::optional<double> battery;
};

struct ImportCounts {
  int sites = 0;    // new sites
  int visits = 0;   // new visits
  int records = 0;  // new records of every other kind
  int updated = 0;  // visits and records already kept that the file completed (end time, probes, statistics)
  int skipped = 0;  // visits and records already kept, unchanged
  // Records that have ended here (or in the file) for which the file holds
  // something else: which and why, one line each. This computer's are kept.
  std::vector<std::string> refused;
};

const char* RawKindName(RawKind kind);
const char* RawKindTable(RawKind kind);
const char* SurveyKindName(SurveyKind kind);

}  // namespace lm::records
