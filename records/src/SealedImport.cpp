#include "SealedImport.h"

#include "ChildTables.h"
#include "lm/records/Database.h"
#include "lm/records/Seals.h"
#include "lm/records/StoreResult.h"

namespace lm::records {
namespace {

// The records whose parts are sealed, with their kind's name.
struct SealedTable {
  const char* table;
  const char* kind;
  const char* parts;  // for messages
};
constexpr SealedTable kSealedTables[] = {
    {"surveys", "survey", "probes or hop statistics"},
    {"channel_scans", "channel scan", "rounds"},
};

// Whether a part of record `fromId` in schema `from` has no identical twin
// under record `toId` in schema `to`.
std::string PartMissing(const ChildTable& c, const std::string& from, const std::string& fromId, const std::string& to,
                        const std::string& toId) {
  std::string same;
  const std::string columns = c.columns;
  size_t start = 0;
  while (start < columns.size()) {
    size_t end = columns.find(',', start);
    if (end == std::string::npos) end = columns.size();
    std::string name = columns.substr(start, end - start);
    name.erase(0, name.find_first_not_of(' '));
    same += " AND y." + name + " IS x." + name;
    start = end + 1;
  }
  return "EXISTS (SELECT 1 FROM " + from + "." + c.table + " x WHERE x." + c.key + " = " + fromId +
         " AND NOT EXISTS (SELECT 1 FROM " + to + "." + c.table + " y WHERE y." + c.key + " = " + toId + same + "))";
}

// Any part of the record missing on the other side; hop statistics only when
// `withChanging` (they change while a survey runs, and the end's are final).
std::string AnyPartMissing(const char* parent, const std::string& from, const std::string& fromId,
                           const std::string& to, const std::string& toId, bool withChanging) {
  std::string out;
  for (const auto& c : ChildTables()) {
    if (c.parent != parent || (!withChanging && c.table == "hop_stats")) continue;
    out += (out.empty() ? "" : " OR ") + PartMissing(c, from, fromId, to, toId);
  }
  return out.empty() ? "false" : "(" + out + ")";
}

}  // namespace

SealedImport::SealedImport(Database& db) : db_(db) {
  db_.Exec("CREATE TEMP TABLE import_refused (content_id TEXT PRIMARY KEY, message TEXT NOT NULL)");
  // What the retention policy thinned here stays thinned: a file taken
  // before (a colleague's export, a backup) gives none of it back.
  db_.Exec("INSERT OR IGNORE INTO temp.import_refused SELECT m.content_id, 'survey ' || substr(m.content_id, 1, 12) "
           "|| '… was thinned here by the retention policy, so the file''s probes or hop statistics of it are not "
           "taken back' FROM src.surveys s JOIN main.surveys m ON m.content_id = s.content_id "
           "WHERE EXISTS (SELECT 1 FROM main.thinned_parts t WHERE t.survey_id = m.id) AND " +
           AnyPartMissing("surveys", "src", "s.id", "main", "m.id", true));
  for (const auto& t : kSealedTables) {
    const std::string table = t.table, kind = t.kind, parts = t.parts;
    db_.Exec("INSERT OR IGNORE INTO temp.import_refused SELECT m.content_id, '" + kind +
             " ' || substr(m.content_id, 1, 12) || '… has ended here; the file holds other " + parts +
             " or another end for it, so this computer''s are kept' FROM src." + table + " s JOIN main." + table +
             " m ON m.content_id = s.content_id WHERE m.seal IS NOT NULL "
             "AND ((s.seal IS NOT NULL AND s.seal <> m.seal) "
             "OR " + AnyPartMissing(t.table, "src", "s.id", "main", "m.id", true) + ")");
    db_.Exec("INSERT OR IGNORE INTO temp.import_refused SELECT m.content_id, '" + kind +
             " ' || substr(m.content_id, 1, 12) || '… has ended in the file without " + parts +
             " kept here, so this computer''s are kept' FROM src." + table + " s JOIN main." + table +
             " m ON m.content_id = s.content_id WHERE m.seal IS NULL AND s.seal IS NOT NULL AND " +
             AnyPartMissing(t.table, "main", "m.id", "src", "s.id", false));
  }
  db_.Exec("INSERT OR IGNORE INTO temp.import_refused SELECT m.content_id, 'visit ' || substr(m.content_id, 1, 12) "
           "|| '… has ended here; the file gives it another end, so this computer''s is kept' FROM src.visits s "
           "JOIN main.visits m ON m.content_id = s.content_id WHERE m.end_seal IS NOT NULL "
           "AND s.end_seal IS NOT NULL AND s.end_seal <> m.end_seal");
}

SealedImport::~SealedImport() {
  try {
    db_.Exec("DROP TABLE temp.import_refused");
  } catch (...) {
  }
}

std::string SealedImport::TakesParts(const std::string& alias) {
  return alias + ".seal IS NULL AND " + alias + ".content_id NOT IN (SELECT content_id FROM temp.import_refused)";
}

void SealedImport::TakeEnds() {
  for (const auto& t : kSealedTables) {
    const std::string table = t.table;
    db_.Exec("UPDATE main." + table + " SET ended_at = s.ended_at, seal = s.seal FROM src." + table +
             " AS s WHERE s.content_id = " + table + ".content_id AND s.seal IS NOT NULL AND " + TakesParts(table));
  }
  // A visit open here, or closed at a later open, that the file has closed by its program.
  db_.Exec("UPDATE main.visits SET ended_without_closing = 0, open_by = NULL, ended_at = s.ended_at, "
           "end_seal = s.end_seal FROM src.visits AS s WHERE s.content_id = visits.content_id "
           "AND s.end_seal IS NOT NULL AND visits.end_seal IS NULL");
  CheckTaken();
}

void SealedImport::CheckTaken() {
  Seals seals(db_);
  for (const auto& t : kSealedTables) {
    const std::string table = t.table;
    // A refused record took nothing from the file.
    auto st = db_.Prepare("SELECT m.id, m.content_id, m.seal FROM main." + table + " m JOIN src." + table +
                          " s ON s.content_id = m.content_id WHERE s.seal IS NOT NULL AND s.seal = m.seal "
                          "AND m.content_id NOT IN (SELECT content_id FROM temp.import_refused)");
    while (st.Step()) {
      const auto made = table == "surveys" ? seals.OfSurvey(st.Int(0)) : seals.OfScan(st.Int(0));
      if (made == st.Text(2)) continue;
      throw StoreFailure{{StoreErrorCode::kDamagedFile,
                          std::string("the file's end of ") + t.kind + " " + st.Text(1).substr(0, 12) +
                              "… does not match the " + t.parts + " this computer holds; nothing was imported"}};
    }
  }
}

std::vector<std::string> SealedImport::Refused() {
  std::vector<std::string> out;
  auto st = db_.Prepare("SELECT message FROM temp.import_refused ORDER BY message");
  while (st.Step()) out.push_back(st.Text(0));
  return out;
}

}  // namespace lm::records
