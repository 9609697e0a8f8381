#include "lm/records/RecordKinds.h"

namespace lm::records {
namespace {

using V = Vouch;

KindTable RawTable(const char* table) {
  return {table,
          {{"id", V::kLocal}, {"content_id", V::kContentId}, {"visit_id", V::kLink}, {"taken_at", V::kId},
           {"unit", V::kId}, {"source", V::kId}, {"header", V::kId}, {"raw", V::kId}, {"decoded_json", V::kId}}};
}

const KindTable kServerRaw = {"raw_records",
                              {{"content_id", V::kContentId}, {"visit", V::kLink}, {"kind", V::kId},
                               {"taken_at", V::kId}, {"unit", V::kId}, {"source", V::kId}, {"header", V::kId},
                               {"raw", V::kId}, {"decoded_json", V::kId}, {"sent_by", V::kServer},
                               {"sent_at", V::kServer}, {"received", V::kServer}}};

// The server's receipt of a map edit as fetched: its order and sender.
const KindTable kMapEditReceipts = {"map_edit_receipts",
                                    {{"edit_id", V::kLink}, {"received", V::kServer}, {"sent_by", V::kServer}}};

// A part's sender on the server: the record's own, checked there.
const std::vector<RecordKind> kKinds = {
    {"site",
     {{"sites", {{"id", V::kLocal}, {"content_id", V::kContentId}, {"serial", V::kId}, {"name", V::kLabel},
                 {"model", V::kLabel}}}},
     {{"sites", {{"content_id", V::kContentId}, {"serial", V::kId}, {"name", V::kLabel}, {"model", V::kLabel},
                 {"sent_by", V::kServer}, {"sent_at", V::kServer}}}},
     nullptr},
    {"visit",
     {{"visits", {{"id", V::kLocal}, {"content_id", V::kContentId}, {"site_id", V::kLink}, {"started_at", V::kId},
                  {"ended_at", V::kSeal}, {"technician", V::kLabel}, {"customer", V::kLabel}, {"notes", V::kLabel},
                  {"sent_by", V::kServer}, {"ended_without_closing", V::kLocal}, {"open_by", V::kLocal},
                  {"end_seal", V::kTheSeal}}}},
     {{"visits", {{"content_id", V::kContentId}, {"site", V::kLink}, {"started_at", V::kId},
                  {"technician", V::kLabel}, {"customer", V::kLabel}, {"notes", V::kLabel}, {"sent_by", V::kServer},
                  {"sent_at", V::kServer}}},
      {"visit_ends", {{"visit", V::kLink}, {"ended_at", V::kSeal}, {"seal", V::kTheSeal}, {"sent_by", V::kServer}}}},
     nullptr},
    {"visit version",
     {{"visit_versions", {{"id", V::kLocal}, {"content_id", V::kContentId}, {"visit_id", V::kLink},
                          {"replaces", V::kId}, {"made_at", V::kId}, {"technician", V::kId}, {"customer", V::kId},
                          {"notes", V::kId}}}},
     {{"visit_versions", {{"content_id", V::kContentId}, {"visit", V::kLink}, {"replaces", V::kId},
                          {"made_at", V::kId}, {"technician", V::kId}, {"customer", V::kId}, {"notes", V::kId},
                          {"sent_by", V::kServer}, {"sent_at", V::kServer}}}},
     nullptr},
    {"raw record",
     {RawTable("registration_snapshots"), RawTable("downloads"), RawTable("event_logs"),
      RawTable("settings_readbacks"), RawTable("acceptances"), RawTable("waivers"), RawTable("site_plans"),
      RawTable("map_edits"), kMapEditReceipts},
     {kServerRaw},
     nullptr},
    {"survey",
     {{"surveys", {{"id", V::kLocal}, {"content_id", V::kContentId}, {"visit_id", V::kLink}, {"kind", V::kId},
                   {"started_at", V::kId}, {"ended_at", V::kSeal}, {"probes_per_route", V::kId},
                   {"routes_json", V::kId}, {"thresholds_json", V::kId}, {"registration_content_id", V::kId},
                   {"seal", V::kTheSeal}}}},
     {{"surveys", {{"content_id", V::kContentId}, {"visit", V::kLink}, {"kind", V::kId}, {"started_at", V::kId},
                   {"probes_per_route", V::kId}, {"routes_json", V::kId}, {"thresholds_json", V::kId},
                   {"registration_content_id", V::kId}, {"sent_by", V::kServer}, {"sent_at", V::kServer}}},
      {"survey_ends", {{"survey", V::kLink}, {"ended_at", V::kSeal}, {"seal", V::kTheSeal}, {"sent_by", V::kServer}}}},
     nullptr},
    {"probe",
     {{"probes", {{"survey_id", V::kLink}, {"route", V::kSeal}, {"seq", V::kSeal}, {"at", V::kSeal},
                  {"answered", V::kSeal}, {"raw", V::kSeal}}}},
     {{"probes", {{"survey", V::kLink}, {"route", V::kSeal}, {"seq", V::kSeal}, {"at", V::kSeal},
                  {"answered", V::kSeal}, {"raw", V::kSeal}, {"sent_by", V::kServer}}}},
     "survey"},
    {"hop statistics",
     {{"hop_stats", {{"survey_id", V::kLink}, {"route", V::kSeal}, {"hop", V::kSeal}, {"from_unit", V::kSeal},
                     {"unit", V::kSeal}, {"sent", V::kSeal}, {"answered", V::kSeal}, {"level_min", V::kSeal},
                     {"level_avg", V::kSeal}, {"level_max", V::kSeal}, {"battery", V::kSeal}}}},
     {{"hop_stats", {{"survey", V::kLink}, {"route", V::kSeal}, {"hop", V::kSeal}, {"from_unit", V::kSeal},
                     {"unit", V::kSeal}, {"sent", V::kSeal}, {"answered", V::kSeal}, {"level_min", V::kSeal},
                     {"level_avg", V::kSeal}, {"level_max", V::kSeal}, {"battery", V::kSeal},
                     {"sent_by", V::kServer}}}},
     "survey"},
    {"channel scan",
     {{"channel_scans", {{"id", V::kLocal}, {"content_id", V::kContentId}, {"visit_id", V::kLink},
                         {"started_at", V::kId}, {"ended_at", V::kSeal}, {"unit", V::kId}, {"settings_json", V::kId},
                         {"seal", V::kTheSeal}}}},
     {{"channel_scans", {{"content_id", V::kContentId}, {"visit", V::kLink}, {"started_at", V::kId},
                         {"unit", V::kId}, {"settings_json", V::kId}, {"sent_by", V::kServer},
                         {"sent_at", V::kServer}}},
      {"scan_ends", {{"scan", V::kLink}, {"ended_at", V::kSeal}, {"seal", V::kTheSeal}, {"sent_by", V::kServer}}}},
     nullptr},
    {"scan round",
     {{"scan_rounds", {{"scan_id", V::kLink}, {"round", V::kSeal}, {"at", V::kSeal}, {"raw", V::kSeal},
                       {"decoded_json", V::kSeal}}}},
     {{"scan_rounds", {{"scan", V::kLink}, {"round", V::kSeal}, {"at", V::kSeal}, {"raw", V::kSeal},
                       {"decoded_json", V::kSeal}, {"sent_by", V::kServer}}}},
     "channel scan"},
    // A settings write is recorded whole: its content id covers its keys, so it is its own seal.
    {"settings write",
     {{"settings_writes", {{"id", V::kLocal}, {"content_id", V::kContentId}, {"visit_id", V::kLink},
                           {"written_at", V::kId}, {"unit", V::kId}, {"succeeded", V::kId}, {"message", V::kId}}}},
     {{"settings_writes", {{"content_id", V::kContentId}, {"visit", V::kLink}, {"written_at", V::kId},
                           {"unit", V::kId}, {"succeeded", V::kId}, {"message", V::kId}, {"sent_by", V::kServer},
                           {"sent_at", V::kServer}}}},
     nullptr},
    {"settings key",
     {{"settings_write_keys", {{"write_id", V::kLink}, {"position", V::kId}, {"key", V::kId}, {"old_json", V::kId},
                               {"new_json", V::kId}}}},
     {{"settings_write_keys", {{"write_id", V::kLink}, {"position", V::kId}, {"key", V::kId},
                               {"old_json", V::kId}, {"new_json", V::kId}, {"sent_by", V::kServer}}}},
     "settings write"},
};

// The thinning tables say what this computer's retention removed, and the
// packed tables hold a thinned survey's statistics and routes in a smaller
// form (read back as the rows they replace); the team server keeps every
// row, so they never travel.
constexpr const char* kLocalOnly[] = {"alarm_events",     "alarm_silences", "alarm_deliveries", "alarm_outbox",
                                      "alarm_engine_state", "sync_marks",   "thinnings",        "thinned_parts",
                                      "thinned_surveys", "packed_hops",      "route_lists",    "packed_surveys"};
// The server's part counts are kept by its triggers from the part tables,
// for the sync's comparison only: derived, never a record.
constexpr const char* kServerOnly[] = {"schema_version", "part_counts"};

}  // namespace

std::span<const RecordKind> RecordKinds() { return kKinds; }
std::span<const char* const> LocalOnlyTables() { return kLocalOnly; }
std::span<const char* const> ServerOnlyTables() { return kServerOnly; }

}  // namespace lm::records
