#include "lm/records/RecordExchange.h"

#include <unistd.h>

#include <cstdio>
#include <system_error>

#include "ChildTables.h"
#include "SealedImport.h"
#include "lm/records/Database.h"
#include "lm/records/ExportTarget.h"
#include "lm/records/ImportChecker.h"
#include "lm/records/QueryDeadline.h"
#include "lm/records/Schema.h"
#include "lm/records/SqlError.h"
#include "lm/records/StoreResult.h"
#include "lm/records/Transaction.h"
#include "PackedReads.h"

namespace lm::records {
namespace {

namespace fs = std::filesystem;

// The tables that hang off a visit, and those that hang off one of them.
constexpr const char* kVisitTables[] = {"registration_snapshots", "downloads", "event_logs", "settings_readbacks",
                                        "surveys", "channel_scans", "settings_writes", "acceptances", "waivers",
                                        "site_plans", "map_edits",
                                        "visit_versions"};
// The columns of each visit table after content_id and visit_id.
constexpr const char* kRawColumns = "taken_at, unit, source, header, raw, decoded_json";
const char* VisitTableColumns(const std::string& table) {
  if (table == "surveys") {
    return "kind, started_at, ended_at, probes_per_route, routes_json, thresholds_json, registration_content_id";
  }
  if (table == "channel_scans") return "started_at, ended_at, unit, settings_json";
  if (table == "settings_writes") return "written_at, unit, succeeded, message";
  if (table == "visit_versions") return "replaces, made_at, technician, customer, notes";
  return kRawColumns;
}

std::string Prefixed(const std::string& columns, const std::string& alias) {
  std::string out;
  size_t start = 0;
  while (start < columns.size()) {
    size_t end = columns.find(',', start);
    if (end == std::string::npos) end = columns.size();
    std::string name = columns.substr(start, end - start);
    name.erase(0, name.find_first_not_of(' '));
    out += (out.empty() ? "" : ", ") + alias + "." + name;
    start = end + 1;
  }
  return out;
}

// Detaches the attached file however the work in between ends.
class Attachment {
 public:
  Attachment(Database& db, const std::string& uri, const char* name) : db_(db), name_(name) {
    db_.Prepare(std::string("ATTACH DATABASE ? AS ") + name).BindAll(uri).Run();
  }
  ~Attachment() {
    try {
      db_.Exec(std::string("DETACH DATABASE ") + name_);
    } catch (...) {
    }
  }

 private:
  Database& db_;
  const char* name_;
};

}  // namespace

std::string ReadOnlyUri(const fs::path& path) {
  std::string uri = "file:";
  for (unsigned char c : fs::absolute(path).string()) {
    if (isalnum(c) || c == '/' || c == '.' || c == '_' || c == '-' || c == '~') {
      uri += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      uri += hex;
    }
  }
  return uri + "?mode=ro";
}

void RecordExchange::ExportSite(int64_t siteSerial, const fs::path& path) { Export(Scope::kSite, siteSerial, path); }

void RecordExchange::ExportVisit(RowId visit, const fs::path& path) { Export(Scope::kVisit, visit, path); }

void RecordExchange::Export(Scope scope, int64_t key, const fs::path& path) {
  RefuseStoreAsTarget(path);
  const fs::path part = fs::path(path) += ".part";
  std::error_code ignored;
  fs::remove(part, ignored);
  try {
    {
      Database out(part);
      Migrate(out);
      out.Exec("PRAGMA journal_mode=DELETE");
    }
    {
      Attachment attached(db_, part.string(), "ex");
      Transaction tx(db_);
      CopyRows(scope, key);
      db_.Exec("UPDATE ex.visits SET open_by = NULL");  // which program here has it open means nothing there
      tx.Commit();
    }
    fs::rename(part, path);
  } catch (...) {
    fs::remove(part, ignored);
    throw;
  }
}

void RecordExchange::CopyRows(Scope scope, int64_t key) {
  if (scope == Scope::kSite) {
    db_.Prepare("INSERT INTO ex.sites SELECT * FROM main.sites WHERE serial = ?").BindAll(key).Run();
    db_.Exec("INSERT INTO ex.visits SELECT * FROM main.visits WHERE site_id IN (SELECT id FROM ex.sites)");
  } else {
    db_.Prepare("INSERT INTO ex.sites SELECT * FROM main.sites WHERE id = (SELECT site_id FROM visits WHERE id = ?)")
        .BindAll(key)
        .Run();
    db_.Prepare("INSERT INTO ex.visits SELECT * FROM main.visits WHERE id = ?").BindAll(key).Run();
  }
  if (db_.Changes() == 0) {
    throw StoreFailure{{StoreErrorCode::kNotFound, scope == Scope::kSite
                                                       ? "no visits of site " + std::to_string(key) + " to export"
                                                       : "no visit " + std::to_string(key) + " to export"}};
  }
  // A sealed record takes no part, there as here: seals follow their parts.
  for (const char* table : kVisitTables) {
    db_.Exec(std::string("INSERT INTO ex.") + table + " SELECT " + ColumnsUnsealed(table) + " FROM main." + table +
             " WHERE visit_id IN (SELECT id FROM ex.visits)");
  }
  for (const auto& c : ChildTables()) {
    db_.Exec(std::string("INSERT INTO ex.") + c.table + " SELECT * FROM main." + c.table + " WHERE " + c.key +
             " IN (SELECT id FROM ex." + c.parent + ")");
  }
  UnpackForExport(db_);
  for (const char* table : {"surveys", "channel_scans"}) {
    // A survey the retention thinned holds fewer parts than its seal
    // covers: it leaves without one, and the store that takes it seals what
    // it holds.
    const std::string kept = std::string(table) == "surveys"
                                 ? " AND NOT EXISTS (SELECT 1 FROM main.thinned_parts t WHERE t.survey_id = m.id)"
                                 : "";
    db_.Exec(std::string("UPDATE ex.") + table + " SET seal = (SELECT m.seal FROM main." + table + " m WHERE m.id = " +
             table + ".id" + kept + ")");
  }
}

// Every column of a table in order, its seal (if it has one) as NULL.
std::string RecordExchange::ColumnsUnsealed(const std::string& table) {
  auto st = db_.Prepare("SELECT name FROM pragma_table_info(?)");
  st.BindAll(table);
  std::string out;
  while (st.Step()) out += (out.empty() ? "" : ", ") + (st.Text(0) == "seal" ? std::string("NULL") : st.Text(0));
  return out;
}

ImportCounts RecordExchange::Merge(const CheckedImport& file) {
  Attachment attached(db_, ReadOnlyUri(file.copy()), "src");
  // The file is checked; this bounds the merge all the same.
  QueryDeadline limit(db_, std::chrono::steady_clock::now() + kMergeTimeLimit);
  Transaction tx(db_);
  ImportCounts counts;
  SealedImport sealed(db_);
  // What the file completes is counted before it is added.
  const int grown = CountGrown();
  MergeSites(counts);
  MergeRecords(counts);
  MergeChildren();
  sealed.TakeEnds();
  counts.updated = grown;
  counts.skipped -= grown;
  counts.refused = sealed.Refused();
  tx.Commit();
  return counts;
}

// Visits, surveys and scans the store has that the file carries further: an
// end time (or a real one for a visit closed at a later open), probes,
// hop statistics over more probes, scan rounds.
int RecordExchange::CountGrown() {
  return static_cast<int>(db_.QueryInt(std::string(R"sql(
SELECT (SELECT count(*) FROM src.visits s JOIN main.visits m ON m.content_id = s.content_id
        WHERE s.ended_at IS NOT NULL AND s.ended_without_closing = 0
          AND (m.ended_at IS NULL OR m.ended_without_closing = 1))
     + (SELECT count(*) FROM src.surveys s JOIN main.surveys m ON m.content_id = s.content_id
        WHERE )sql" + SealedImport::TakesParts("m") + R"sql( AND ((m.ended_at IS NULL AND s.ended_at IS NOT NULL)
           OR EXISTS (SELECT 1 FROM src.probes p WHERE p.survey_id = s.id AND NOT EXISTS
                      (SELECT 1 FROM main.probes q WHERE q.survey_id = m.id AND q.route = p.route AND q.seq = p.seq))
           OR EXISTS (SELECT 1 FROM src.hop_stats h WHERE h.survey_id = s.id
                      AND NOT EXISTS (SELECT 1 FROM main.packed_surveys k WHERE k.survey_id = m.id) AND NOT EXISTS
                      (SELECT 1 FROM main.hop_stats g WHERE g.survey_id = m.id AND g.route = h.route
                       AND g.hop = h.hop AND g.sent >= h.sent))))
     + (SELECT count(*) FROM src.channel_scans s JOIN main.channel_scans m ON m.content_id = s.content_id
        WHERE )sql" + SealedImport::TakesParts("m") + R"sql( AND ((m.ended_at IS NULL AND s.ended_at IS NOT NULL)
           OR EXISTS (SELECT 1 FROM src.scan_rounds r WHERE r.scan_id = s.id AND NOT EXISTS
                      (SELECT 1 FROM main.scan_rounds q WHERE q.scan_id = m.id AND q.round = r.round))))
)sql")));
}

void RecordExchange::MergeSites(ImportCounts& counts) {
  // Content ids are checked, so a site's id is its serial's and a visit's is
  // its site serial's and start time's: joining by id joins by those.
  db_.Exec("INSERT INTO main.sites(content_id, serial, name, model) "
           "SELECT content_id, serial, name, model FROM src.sites WHERE true ON CONFLICT DO NOTHING");
  counts.sites = db_.Changes();
  db_.Exec("INSERT INTO main.visits(content_id, site_id, started_at, ended_at, technician, customer, notes, "
           "ended_without_closing) SELECT v.content_id, ms.id, v.started_at, v.ended_at, v.technician, v.customer, "
           "v.notes, v.ended_without_closing FROM src.visits v JOIN src.sites s ON s.id = v.site_id "
           "JOIN main.sites ms ON ms.serial = s.serial WHERE true ON CONFLICT DO NOTHING");
  counts.visits = db_.Changes();
  counts.skipped += static_cast<int>(db_.QueryInt("SELECT count(*) FROM src.visits")) - counts.visits;
}

void RecordExchange::MergeRecords(ImportCounts& counts) {
  for (const char* table : kVisitTables) {
    const std::string t = table;
    const std::string cols = VisitTableColumns(t);
    // A survey the retention policy removed here whole does not come back.
    const std::string gone =
        t == "surveys" ? "r.content_id NOT IN (SELECT content_id FROM main.thinned_surveys)" : std::string("true");
    db_.Exec("INSERT INTO main." + t + "(content_id, visit_id, " + cols + ") SELECT r.content_id, mv.id, " +
             Prefixed(cols, "r") + " FROM src." + t +
             " r JOIN src.visits v ON v.id = r.visit_id JOIN main.visits mv ON mv.content_id = v.content_id "
             "WHERE " + gone + " ON CONFLICT DO NOTHING");
    const int added = db_.Changes();
    counts.records += added;
    counts.skipped += static_cast<int>(db_.QueryInt("SELECT count(*) FROM src." + t)) - added;
  }
}

void RecordExchange::MergeChildren() {
  for (const auto& c : ChildTables()) {
    const std::string parent = c.parent;
    const std::string table = c.table;
    // Hop statistics over more probes replace those over fewer; every other
    // child is kept once.
    const std::string onConflict =
        table == "hop_stats" ? " ON CONFLICT DO UPDATE SET from_unit = excluded.from_unit, unit = excluded.unit, "
                               "sent = excluded.sent, answered = excluded.answered, level_min = excluded.level_min, "
                               "level_avg = excluded.level_avg, level_max = excluded.level_max, "
                               "battery = excluded.battery WHERE excluded.sent > hop_stats.sent"
                             : " ON CONFLICT DO NOTHING";
    // A packed survey's statistics are here already, packed.
    const std::string unpacked =
        table == "hop_stats" ? " AND NOT EXISTS (SELECT 1 FROM main.packed_surveys k WHERE k.survey_id = mp.id)" : "";
    // Record by record (CROSS JOIN keeps that order): each record is looked
    // up here by its content id once, then its parts are read by its key,
    // rather than a lookup of both records for every part.
    db_.Exec("INSERT INTO main." + table + "(" + c.key + ", " + c.columns + ") SELECT mp.id, " +
             Prefixed(c.columns, "r") + " FROM src." + parent + " p CROSS JOIN main." + parent + " mp CROSS JOIN src." +
             table + " r WHERE mp.content_id = p.content_id AND r." + c.key + " = p.id AND " +
             (c.sealed ? SealedImport::TakesParts("mp") : std::string("true")) + unpacked + onConflict);
  }
}

}  // namespace lm::records
