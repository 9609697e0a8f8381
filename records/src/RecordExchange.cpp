#include "lm/records/RecordExchange.h"

#include <unistd.h>

#include <cstdio>
#include <system_error>

#include "lm/records/Database.h"
#include "lm/records/Schema.h"
#include "lm/records/SqlError.h"
#include "lm/records/StoreResult.h"
#include "lm/records/Transaction.h"

namespace lm::records {
namespace {

namespace fs = std::filesystem;

// The tables that hang off a visit, and those that hang off one of them.
constexpr const char* kVisitTables[] = {"registration_snapshots", "downloads", "event_logs", "settings_readbacks",
                                        "surveys", "channel_scans", "settings_writes"};
struct ChildTable {
  const char* table;
  const char* key;
  const char* parent;
  const char* columns;  // after the parent key
};
constexpr ChildTable kChildTables[] = {
    {"probes", "survey_id", "surveys", "route, seq, at, answered, raw"},
    {"hop_stats", "survey_id", "surveys",
     "route, hop, from_unit, unit, sent, answered, level_min, level_avg, level_max, battery"},
    {"scan_rounds", "scan_id", "channel_scans", "round, at, raw, decoded_json"},
    {"settings_write_keys", "write_id", "settings_writes", "position, key, old_json, new_json"},
};
// The columns of each visit table after content_id and visit_id.
constexpr const char* kRawColumns = "taken_at, unit, source, header, raw, decoded_json";
const char* VisitTableColumns(const std::string& table) {
  if (table == "surveys") return "kind, started_at, ended_at, probes_per_route, routes_json, thresholds_json";
  if (table == "channel_scans") return "started_at, ended_at, unit, settings_json";
  if (table == "settings_writes") return "written_at, unit, succeeded, message";
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

// Checks an import file and answers the file to attach: the file itself, or a
// migrated temporary copy when an older version wrote it.
fs::path CheckedImportFile(const fs::path& path, fs::path& tempCopy) {
  int version = 0;
  try {
    Database src(path, Database::Mode::kReadOnly);
    version = src.UserVersion();
    if (version > CurrentSchemaVersion()) {
      throw StoreFailure{{StoreErrorCode::kNewerFile, path.filename().string() +
                                                          " was written by a newer version of Linkmeter"}};
    }
    if (version < 1 || src.QueryText("PRAGMA quick_check") != "ok") throw SqlError(11, "not a site-records file");
  } catch (const SqlError&) {
    throw StoreFailure{{StoreErrorCode::kDamagedFile, path.filename().string() + " is not a readable site-records file"}};
  }
  if (version == CurrentSchemaVersion()) return path;
  tempCopy = fs::temp_directory_path() / ("lm-import-" + std::to_string(::getpid()) + ".sqlite");
  fs::copy_file(path, tempCopy, fs::copy_options::overwrite_existing);
  Database copy(tempCopy);
  Migrate(copy);
  return tempCopy;
}

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
  for (const char* table : kVisitTables) {
    db_.Exec(std::string("INSERT INTO ex.") + table + " SELECT * FROM main." + table +
             " WHERE visit_id IN (SELECT id FROM ex.visits)");
  }
  for (const auto& c : kChildTables) {
    db_.Exec(std::string("INSERT INTO ex.") + c.table + " SELECT * FROM main." + c.table + " WHERE " + c.key +
             " IN (SELECT id FROM ex." + c.parent + ")");
  }
}

ImportCounts RecordExchange::Import(const fs::path& path) {
  fs::path tempCopy;
  const fs::path file = CheckedImportFile(path, tempCopy);
  struct TempRemover {
    fs::path& p;
    ~TempRemover() {
      std::error_code ignored;
      if (!p.empty()) fs::remove(p, ignored);
    }
  } remover{tempCopy};
  Attachment attached(db_, ReadOnlyUri(file), "src");
  Transaction tx(db_);
  const ImportCounts counts = Merge();
  tx.Commit();
  return counts;
}

ImportCounts RecordExchange::Merge() {
  ImportCounts counts;
  db_.Exec("INSERT INTO main.sites(content_id, serial, name, model) "
           "SELECT content_id, serial, name, model FROM src.sites WHERE true ON CONFLICT DO NOTHING");
  counts.sites = db_.Changes();
  db_.Exec("INSERT INTO main.visits(content_id, site_id, started_at, ended_at, technician, customer, notes) "
           "SELECT v.content_id, ms.id, v.started_at, v.ended_at, v.technician, v.customer, v.notes "
           "FROM src.visits v JOIN src.sites s ON s.id = v.site_id JOIN main.sites ms ON ms.serial = s.serial "
           "WHERE true ON CONFLICT DO NOTHING");
  counts.visits = db_.Changes();
  counts.skipped += static_cast<int>(db_.QueryInt("SELECT count(*) FROM src.visits")) - counts.visits;
  for (const char* table : kVisitTables) {
    const std::string t = table;
    const std::string cols = VisitTableColumns(t);
    db_.Exec("INSERT INTO main." + t + "(content_id, visit_id, " + cols + ") SELECT r.content_id, mv.id, " +
             Prefixed(cols, "r") + " FROM src." + t +
             " r JOIN src.visits v ON v.id = r.visit_id JOIN main.visits mv ON mv.content_id = v.content_id "
             "WHERE true ON CONFLICT DO NOTHING");
    const int added = db_.Changes();
    counts.records += added;
    counts.skipped += static_cast<int>(db_.QueryInt("SELECT count(*) FROM src." + t)) - added;
  }
  for (const auto& c : kChildTables) {
    const std::string parent = c.parent;
    db_.Exec(std::string("INSERT INTO main.") + c.table + "(" + c.key + ", " + c.columns + ") SELECT mp.id, " +
             Prefixed(c.columns, "r") + " FROM src." + c.table + " r JOIN src." + parent + " p ON p.id = r." +
             c.key + " JOIN main." + parent + " mp ON mp.content_id = p.content_id WHERE true ON CONFLICT DO NOTHING");
  }
  // A visit, survey or scan that was still open here and ended in the file.
  for (const char* t : {"visits", "surveys", "channel_scans"}) {
    const std::string table = t;
    db_.Exec("UPDATE main." + table + " SET ended_at = (SELECT s.ended_at FROM src." + table +
             " s WHERE s.content_id = " + table + ".content_id) WHERE ended_at IS NULL AND content_id IN "
             "(SELECT content_id FROM src." + table + " WHERE ended_at IS NOT NULL)");
  }
  return counts;
}

}  // namespace lm::records
