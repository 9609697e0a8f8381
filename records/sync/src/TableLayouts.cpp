#include "lm/teamsync/TableLayouts.h"

#include <stdexcept>

#include "lm/records/PackedRoutes.h"

namespace lm::teamsync {
namespace {

using T = ColumnType;

// A visit closed at a later open because its program was gone has an end
// this computer guessed: it never goes to the server, and the end its
// program gave it, fetched from there, replaces the guess.
// A survey's hop statistics change while it runs; they travel once the
// survey, or its visit, has ended.
// A plan's image, and any other record's bytes past a mebibyte, are left
// out of the row and read in pieces: selected here, they would be read whole.
#define LM_STREAMED_LOCALLY(kind) "'" kind "' = 'plan' OR length(raw) > 1048576"
#define LM_STREAMED_ON_SERVER "kind = 'plan' OR octet_length(raw) > 1048576"
#define LM_RAW(kind, table)                                                                                 \
  "SELECT content_id, visit_id, '" kind "' AS kind, taken_at, unit, source, header, CASE WHEN "             \
  LM_STREAMED_LOCALLY(kind) " THEN NULL ELSE raw END AS raw, decoded_json, length(raw) AS raw_size, " \
  "id AS row_id FROM " table

// A part or end fetched with who sent it and who sent its record (`e` is
// the part's table, joined to its record's): the laptop keeps a part only
// from its record's sender.
#define LM_SENDERS(part, head, key) \
  ", e.sent_by, h.sent_by FROM linkmeter." part " e JOIN linkmeter." head " h ON h.content_id = e." key

#define LM_HOPS_FINAL "(su.ended_at IS NOT NULL OR v.ended_at IS NOT NULL)"

const std::vector<TableLayout> kLayouts = {
    {"sites",
     {{"content_id", T::kText}, {"serial", T::kInt}, {"name", T::kText}, {"model", T::kText}},
     "",
     "SELECT s.content_id, s.serial, s.name, s.model, v.content_id FROM visits v JOIN sites s ON s.id = v.site_id "
     "WHERE v.id = ?1",
     "SELECT s.content_id, s.serial, s.name, s.model, v.content_id FROM linkmeter.visits v "
     "JOIN linkmeter.sites s ON s.content_id = v.site WHERE v.content_id = ANY($1)"},
    {"visits",
     {{"content_id", T::kText}, {"site", T::kText}, {"started_at", T::kInt}, {"technician", T::kText},
      {"customer", T::kText}, {"notes", T::kText}},
     "",
     "SELECT v.content_id, s.content_id, v.started_at, v.technician, v.customer, v.notes, v.content_id "
     "FROM visits v JOIN sites s ON s.id = v.site_id WHERE v.id = ?1",
     "SELECT content_id, site, started_at, technician, customer, notes, content_id FROM linkmeter.visits "
     "WHERE content_id = ANY($1)"},
    {"visit_versions",
     {{"content_id", T::kText}, {"visit", T::kText}, {"replaces", T::kText}, {"made_at", T::kInt},
      {"technician", T::kText}, {"customer", T::kText}, {"notes", T::kText}},
     "",
     "SELECT x.content_id, v.content_id, x.replaces, x.made_at, x.technician, x.customer, x.notes, x.content_id "
     "FROM visit_versions x JOIN visits v ON v.id = x.visit_id WHERE v.id = ?1",
     "SELECT content_id, visit, replaces, made_at, technician, customer, notes, content_id "
     "FROM linkmeter.visit_versions WHERE content_id = ANY($1)"},
    {"raw_records",
     {{"content_id", T::kText}, {"visit", T::kText}, {"kind", T::kText}, {"taken_at", T::kInt}, {"unit", T::kInt},
      {"source", T::kText}, {"header", T::kBytes}, {"raw", T::kBytes}, {"decoded_json", T::kText}},
     "",
     "SELECT r.content_id, v.content_id, r.kind, r.taken_at, r.unit, r.source, r.header, r.raw, r.decoded_json, "
     "r.content_id, r.raw_size, r.row_id FROM (" LM_RAW("registration", "registration_snapshots") " UNION ALL "
     LM_RAW("download", "downloads") " UNION ALL " LM_RAW("event-log", "event_logs") " UNION ALL "
     LM_RAW("settings-readback", "settings_readbacks") " UNION ALL " LM_RAW("acceptance", "acceptances")
     " UNION ALL " LM_RAW("waiver", "waivers") " UNION ALL " LM_RAW("plan", "site_plans") " UNION ALL "
     LM_RAW("map-edit", "map_edits") ") r JOIN visits v ON v.id = r.visit_id WHERE v.id = ?1",
     "SELECT content_id, visit, kind, taken_at, unit, source, header, CASE WHEN "
     LM_STREAMED_ON_SERVER " THEN NULL ELSE raw END, decoded_json, content_id, "
     "octet_length(raw) FROM linkmeter.raw_records WHERE content_id = ANY($1)",
     false,
     7},
    // A map edit's receipt: the server's number for it and who sent it.
    {"map_edit_receipts",
     {{"edit", T::kText}, {"received", T::kInt}, {"sent_by", T::kText}},
     ":receipt",
     "SELECT e.content_id, x.received, x.sent_by, e.content_id FROM map_edit_receipts x "
     "JOIN map_edits e ON e.id = x.edit_id WHERE e.visit_id = ?1",
     "SELECT content_id, received, sent_by, content_id FROM linkmeter.raw_records "
     "WHERE kind = 'map-edit' AND content_id = ANY($1)",
     true},
    {"surveys",
     {{"content_id", T::kText}, {"visit", T::kText}, {"kind", T::kText}, {"started_at", T::kInt},
      {"probes_per_route", T::kInt}, {"routes_json", T::kText}, {"thresholds_json", T::kText},
      {"registration_content_id", T::kText}},
     "",
     "SELECT su.content_id, v.content_id, su.kind, su.started_at, su.probes_per_route, " LM_SURVEY_ROUTES ", "
     "su.thresholds_json, su.registration_content_id, su.content_id FROM surveys su "
     "JOIN visits v ON v.id = su.visit_id WHERE v.id = ?1",
     "SELECT content_id, visit, kind, started_at, probes_per_route, routes_json, thresholds_json, "
     "registration_content_id, content_id FROM linkmeter.surveys WHERE content_id = ANY($1)"},
    {"probes",
     {{"survey", T::kText}, {"route", T::kInt}, {"seq", T::kInt}, {"at", T::kInt}, {"answered", T::kBool},
      {"raw", T::kBytes}},
     ":probes",
     "SELECT su.content_id, p.route, p.seq, p.at, p.answered, p.raw, su.content_id FROM probes p "
     "JOIN surveys su ON su.id = p.survey_id WHERE su.visit_id = ?1",
     "SELECT e.survey, e.route, e.seq, e.at, e.answered, e.raw, e.survey" LM_SENDERS("probes", "surveys", "survey")
     " WHERE e.survey = ANY($1)"},
    {"hop_stats",
     {{"survey", T::kText}, {"route", T::kInt}, {"hop", T::kInt}, {"from_unit", T::kInt}, {"unit", T::kInt},
      {"sent", T::kInt}, {"answered", T::kInt}, {"level_min", T::kReal}, {"level_avg", T::kReal},
      {"level_max", T::kReal}, {"battery", T::kReal}},
     ":hops",
     "SELECT su.content_id, h.route, h.hop, h.from_unit, h.unit, h.sent, h.answered, h.level_min, h.level_avg, "
     "h.level_max, h.battery, su.content_id FROM hop_stats h JOIN surveys su ON su.id = h.survey_id "
     "JOIN visits v ON v.id = su.visit_id WHERE su.visit_id = ?1 AND " LM_HOPS_FINAL,
     "SELECT e.survey, e.route, e.hop, e.from_unit, e.unit, e.sent, e.answered, e.level_min, e.level_avg, "
     "e.level_max, e.battery, e.survey" LM_SENDERS("hop_stats", "surveys", "survey") " WHERE e.survey = ANY($1)"},
    {"survey_ends",
     {{"survey", T::kText}, {"ended_at", T::kInt}, {"seal", T::kText}},
     ":end",
     "SELECT content_id, ended_at, seal, content_id FROM surveys WHERE visit_id = ?1 AND ended_at IS NOT NULL",
     "SELECT e.survey, e.ended_at, e.seal, e.survey" LM_SENDERS("survey_ends", "surveys", "survey")
     " WHERE e.survey = ANY($1)"},
    {"channel_scans",
     {{"content_id", T::kText}, {"visit", T::kText}, {"started_at", T::kInt}, {"unit", T::kInt},
      {"settings_json", T::kText}},
     "",
     "SELECT c.content_id, v.content_id, c.started_at, c.unit, c.settings_json, c.content_id FROM channel_scans c "
     "JOIN visits v ON v.id = c.visit_id WHERE v.id = ?1",
     "SELECT content_id, visit, started_at, unit, settings_json, content_id FROM linkmeter.channel_scans "
     "WHERE content_id = ANY($1)"},
    {"scan_rounds",
     {{"scan", T::kText}, {"round", T::kInt}, {"at", T::kInt}, {"raw", T::kBytes}, {"decoded_json", T::kText}},
     ":rounds",
     "SELECT c.content_id, r.round, r.at, r.raw, r.decoded_json, c.content_id FROM scan_rounds r "
     "JOIN channel_scans c ON c.id = r.scan_id WHERE c.visit_id = ?1",
     "SELECT e.scan, e.round, e.at, e.raw, e.decoded_json, e.scan" LM_SENDERS("scan_rounds", "channel_scans", "scan")
     " WHERE e.scan = ANY($1)"},
    {"scan_ends",
     {{"scan", T::kText}, {"ended_at", T::kInt}, {"seal", T::kText}},
     ":end",
     "SELECT content_id, ended_at, seal, content_id FROM channel_scans WHERE visit_id = ?1 AND ended_at IS NOT NULL",
     "SELECT e.scan, e.ended_at, e.seal, e.scan" LM_SENDERS("scan_ends", "channel_scans", "scan")
     " WHERE e.scan = ANY($1)"},
    {"settings_writes",
     {{"content_id", T::kText}, {"visit", T::kText}, {"written_at", T::kInt}, {"unit", T::kInt},
      {"succeeded", T::kBool}, {"message", T::kText}},
     "",
     "SELECT w.content_id, v.content_id, w.written_at, w.unit, w.succeeded, w.message, w.content_id "
     "FROM settings_writes w JOIN visits v ON v.id = w.visit_id WHERE v.id = ?1",
     "SELECT content_id, visit, written_at, unit, succeeded, message, content_id FROM linkmeter.settings_writes "
     "WHERE content_id = ANY($1)"},
    {"settings_write_keys",
     {{"write_id", T::kText}, {"position", T::kInt}, {"key", T::kText}, {"old_json", T::kText},
      {"new_json", T::kText}},
     ":keys",
     "SELECT w.content_id, k.position, k.key, k.old_json, k.new_json, w.content_id FROM settings_write_keys k "
     "JOIN settings_writes w ON w.id = k.write_id WHERE w.visit_id = ?1",
     "SELECT e.write_id, e.position, e.key, e.old_json, e.new_json, e.write_id"
     LM_SENDERS("settings_write_keys", "settings_writes", "write_id") " WHERE e.write_id = ANY($1)"},
    {"visit_ends",
     {{"visit", T::kText}, {"ended_at", T::kInt}, {"seal", T::kText}},
     ":end",
     "SELECT content_id, ended_at, end_seal, content_id FROM visits WHERE id = ?1 AND ended_at IS NOT NULL "
     "AND ended_without_closing = 0",
     "SELECT e.visit, e.ended_at, e.seal, e.visit" LM_SENDERS("visit_ends", "visits", "visit")
     " WHERE e.visit = ANY($1)"},
};

}  // namespace

std::span<const TableLayout> TableLayouts() { return kLayouts; }

const TableLayout& LayoutOf(const std::string& table) {
  for (const auto& s : kLayouts) {
    if (table == s.table) return s;
  }
  throw std::logic_error("no table " + table);
}

// A survey part the retention policy thinned counts as the rows it held, and
// a survey it removed whole as what it was: the server keeps them, and a
// sync never fetches them back.
const char* const kLocalInventory = R"sql(
WITH vs AS (SELECT v.id, v.content_id AS vc, v.ended_at, v.ended_without_closing AS guessed FROM visits v
            JOIN sites s ON s.id = v.site_id
            WHERE (?1 IS NULL OR s.serial = ?1) AND (?2 IS NULL OR v.content_id = ?2))
SELECT vc, vc, 1 FROM vs
UNION ALL SELECT vc, vc || ':end', 1 FROM vs WHERE ended_at IS NOT NULL AND guessed = 0
UNION ALL SELECT vc, x.content_id, 1 FROM visit_versions x JOIN vs ON vs.id = x.visit_id
UNION ALL SELECT vc, r.content_id, 1 FROM registration_snapshots r JOIN vs ON vs.id = r.visit_id
UNION ALL SELECT vc, r.content_id, 1 FROM downloads r JOIN vs ON vs.id = r.visit_id
UNION ALL SELECT vc, r.content_id, 1 FROM event_logs r JOIN vs ON vs.id = r.visit_id
UNION ALL SELECT vc, r.content_id, 1 FROM settings_readbacks r JOIN vs ON vs.id = r.visit_id
UNION ALL SELECT vc, r.content_id, 1 FROM acceptances r JOIN vs ON vs.id = r.visit_id
UNION ALL SELECT vc, r.content_id, 1 FROM waivers r JOIN vs ON vs.id = r.visit_id
UNION ALL SELECT vc, r.content_id, 1 FROM site_plans r JOIN vs ON vs.id = r.visit_id
UNION ALL SELECT vc, r.content_id, 1 FROM map_edits r JOIN vs ON vs.id = r.visit_id
UNION ALL SELECT vc, r.content_id || ':receipt', 1 FROM map_edit_receipts x JOIN map_edits r ON r.id = x.edit_id
  JOIN vs ON vs.id = r.visit_id
UNION ALL SELECT vc, su.content_id, 1 FROM surveys su JOIN vs ON vs.id = su.visit_id
UNION ALL SELECT vc, su.content_id || ':end', 1 FROM surveys su JOIN vs ON vs.id = su.visit_id
  WHERE su.ended_at IS NOT NULL
UNION ALL SELECT vc, su.content_id || ':probes', max((SELECT count(*) FROM probes p WHERE p.survey_id = su.id),
  coalesce((SELECT t.count FROM thinned_parts t WHERE t.survey_id = su.id AND t.part = 'probes'), 0))
  FROM surveys su JOIN vs ON vs.id = su.visit_id
UNION ALL SELECT vc, su.content_id || ':hops', max((SELECT count(*) FROM hop_stats h WHERE h.survey_id = su.id),
  coalesce((SELECT t.count FROM thinned_parts t WHERE t.survey_id = su.id AND t.part = 'hops'), 0),
  coalesce((SELECT k.hops FROM packed_surveys k WHERE k.survey_id = su.id), 0))
  FROM surveys su JOIN vs ON vs.id = su.visit_id WHERE su.ended_at IS NOT NULL OR vs.ended_at IS NOT NULL
UNION ALL SELECT vc, t.content_id, 1 FROM thinned_surveys t JOIN vs ON vs.id = t.visit_id
UNION ALL SELECT vc, t.content_id || ':end', 1 FROM thinned_surveys t JOIN vs ON vs.id = t.visit_id WHERE t.ended
UNION ALL SELECT vc, t.content_id || ':probes', t.probes FROM thinned_surveys t JOIN vs ON vs.id = t.visit_id
UNION ALL SELECT vc, t.content_id || ':hops', t.hops FROM thinned_surveys t JOIN vs ON vs.id = t.visit_id
  WHERE t.ended OR vs.ended_at IS NOT NULL
UNION ALL SELECT vc, c.content_id, 1 FROM channel_scans c JOIN vs ON vs.id = c.visit_id
UNION ALL SELECT vc, c.content_id || ':end', 1 FROM channel_scans c JOIN vs ON vs.id = c.visit_id
  WHERE c.ended_at IS NOT NULL
UNION ALL SELECT vc, c.content_id || ':rounds', (SELECT count(*) FROM scan_rounds r WHERE r.scan_id = c.id)
  FROM channel_scans c JOIN vs ON vs.id = c.visit_id
UNION ALL SELECT vc, w.content_id, 1 FROM settings_writes w JOIN vs ON vs.id = w.visit_id
UNION ALL SELECT vc, w.content_id || ':keys', (SELECT count(*) FROM settings_write_keys k WHERE k.write_id = w.id)
  FROM settings_writes w JOIN vs ON vs.id = w.visit_id
)sql";

// Parts by their number as the server's triggers keep it (part_counts):
// counting them here would read every part of the site at every sync.
const char* const kServerInventory = R"sql(
WITH vs AS (SELECT v.content_id AS vc FROM linkmeter.visits v JOIN linkmeter.sites s ON s.content_id = v.site
            WHERE $1::bigint IS NULL OR s.serial = $1::bigint)
SELECT vc, vc, 1::bigint FROM vs
UNION ALL SELECT vc, vc || ':end', 1 FROM vs JOIN linkmeter.visit_ends e ON e.visit = vs.vc
UNION ALL SELECT vc, x.content_id, 1 FROM linkmeter.visit_versions x JOIN vs ON vs.vc = x.visit
UNION ALL SELECT vc, r.content_id, 1 FROM linkmeter.raw_records r JOIN vs ON vs.vc = r.visit
UNION ALL SELECT vc, r.content_id || ':receipt', 1 FROM linkmeter.raw_records r JOIN vs ON vs.vc = r.visit
  WHERE r.kind = 'map-edit'
UNION ALL SELECT vc, su.content_id, 1 FROM linkmeter.surveys su JOIN vs ON vs.vc = su.visit
UNION ALL SELECT vc, e.survey || ':end', 1 FROM linkmeter.survey_ends e JOIN linkmeter.surveys su
  ON su.content_id = e.survey JOIN vs ON vs.vc = su.visit
UNION ALL SELECT vc, su.content_id || ':' || c.part, c.n FROM linkmeter.surveys su JOIN vs ON vs.vc = su.visit
  JOIN linkmeter.part_counts c ON c.head = su.content_id AND c.part IN ('probes', 'hops') WHERE c.n > 0
UNION ALL SELECT vc, c.content_id, 1 FROM linkmeter.channel_scans c JOIN vs ON vs.vc = c.visit
UNION ALL SELECT vc, e.scan || ':end', 1 FROM linkmeter.scan_ends e JOIN linkmeter.channel_scans c
  ON c.content_id = e.scan JOIN vs ON vs.vc = c.visit
UNION ALL SELECT vc, c.content_id || ':rounds', r.n FROM linkmeter.channel_scans c JOIN vs ON vs.vc = c.visit
  JOIN linkmeter.part_counts r ON r.head = c.content_id AND r.part = 'rounds' WHERE r.n > 0
UNION ALL SELECT vc, w.content_id, 1 FROM linkmeter.settings_writes w JOIN vs ON vs.vc = w.visit
UNION ALL SELECT vc, w.content_id || ':keys', k.n FROM linkmeter.settings_writes w JOIN vs ON vs.vc = w.visit
  JOIN linkmeter.part_counts k ON k.head = w.content_id AND k.part = 'keys' WHERE k.n > 0
)sql";

}  // namespace lm::teamsync
