#include "lm/teamsync/PulledRows.h"

#include <algorithm>
#include <set>

#include "lm/records/BlobIo.h"
#include "lm/records/ContentId.h"
#include "lm/records/Seals.h"
#include "lm/records/VisitVersions.h"
#include "lm/teamsync/SyncFailure.h"

namespace lm::teamsync {
namespace {

namespace rec = lm::records;

// Each table's insert: ?N is the row's column N (from 1). Hop statistics
// come from the survey's sender once it has ended (or its visit): they are
// final, and replace those of a survey still running here (never those of a
// sealed one: they are not kept for it, and the store refuses them).
const std::map<std::string, std::string> kInserts = {
    {"sites", "INSERT INTO sites(content_id, serial, name, model) VALUES (?1, ?2, ?3, ?4) ON CONFLICT DO NOTHING"},
    {"visits",
     "INSERT INTO visits(content_id, site_id, started_at, technician, customer, notes) "
     "SELECT ?1, id, ?3, ?4, ?5, ?6 FROM sites WHERE content_id = ?2 ON CONFLICT DO NOTHING"},
    {"visit_versions",
     "INSERT INTO visit_versions(content_id, visit_id, replaces, made_at, technician, customer, notes) "
     "SELECT ?1, id, ?3, ?4, ?5, ?6, ?7 FROM visits WHERE content_id = ?2 ON CONFLICT DO NOTHING"},
    {"map_edit_receipts",
     "INSERT INTO map_edit_receipts(edit_id, received, sent_by) SELECT id, ?2, ?3 FROM map_edits "
     "WHERE content_id = ?1 ON CONFLICT DO NOTHING"},
    {"surveys",
     "INSERT INTO surveys(content_id, visit_id, kind, started_at, probes_per_route, routes_json, thresholds_json, "
     "registration_content_id) SELECT ?1, id, ?3, ?4, ?5, ?6, ?7, ?8 FROM visits WHERE content_id = ?2 "
     "ON CONFLICT DO NOTHING"},
    {"probes",
     "INSERT INTO probes(survey_id, route, seq, at, answered, raw) SELECT id, ?2, ?3, ?4, ?5, ?6 FROM surveys "
     "WHERE content_id = ?1 ON CONFLICT DO NOTHING"},
    {"hop_stats",
     "INSERT INTO hop_stats(survey_id, route, hop, from_unit, unit, sent, answered, level_min, level_avg, level_max, "
     "battery) SELECT id, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11 FROM surveys WHERE content_id = ?1 "
     "ON CONFLICT DO UPDATE SET from_unit = excluded.from_unit, unit = excluded.unit, sent = excluded.sent, "
     "answered = excluded.answered, level_min = excluded.level_min, level_avg = excluded.level_avg, "
     "level_max = excluded.level_max, battery = excluded.battery"},
    {"channel_scans",
     "INSERT INTO channel_scans(content_id, visit_id, started_at, unit, settings_json) "
     "SELECT ?1, id, ?3, ?4, ?5 FROM visits WHERE content_id = ?2 ON CONFLICT DO NOTHING"},
    {"scan_rounds",
     "INSERT INTO scan_rounds(scan_id, round, at, raw, decoded_json) SELECT id, ?2, ?3, ?4, ?5 FROM channel_scans "
     "WHERE content_id = ?1 ON CONFLICT DO NOTHING"},
    {"settings_writes",
     "INSERT INTO settings_writes(content_id, visit_id, written_at, unit, succeeded, message) "
     "SELECT ?1, id, ?3, ?4, ?5, ?6 FROM visits WHERE content_id = ?2 ON CONFLICT DO NOTHING"},
    {"settings_write_keys",
     "INSERT INTO settings_write_keys(write_id, position, key, old_json, new_json) "
     "SELECT id, ?2, ?3, ?4, ?5 FROM settings_writes WHERE content_id = ?1 ON CONFLICT DO NOTHING"},
};

std::string RawInsert(const std::string& table) {
  return "INSERT INTO " + table +
         "(content_id, visit_id, taken_at, unit, source, header, raw, decoded_json) "
         "SELECT ?1, id, ?4, ?5, ?6, ?7, ?8, ?9 FROM visits WHERE content_id = ?2 ON CONFLICT DO NOTHING";
}

std::string Text(const PgValue& v) { return v.value_or(""); }

// Thrown by Verify, which names the row; Write adds the row's text.
struct Refusal {
  std::string reason;
};

[[noreturn]] void Unverified(const std::string& what, const std::string& id) {
  throw Refusal{"the team server sent a " + what + " (" + id.substr(0, 12) +
                "…) whose content id does not match its content; nothing of that visit was kept"};
}

[[noreturn]] void UnsealedEnd(const PartOf& part, const std::string& id) {
  throw SyncFailure(SyncFailureKind::kUnverified, "the team server sent the end of " + std::string(part.head) + " " +
                                                      id.substr(0, 12) +
                                                      "… with a seal that does not match it and its parts; "
                                                      "nothing of that visit was kept");
}

// The tables whose rows are parts, or the end, of a record kept in `sealedIn`.
constexpr PartOf kParts[] = {
    {"probes", "probes", "survey", "surveys", false},
    {"hop_stats", "hop statistics", "survey", "surveys", false},
    {"survey_ends", "the end", "survey", "surveys", true},
    {"scan_rounds", "rounds", "channel scan", "channel_scans", false},
    {"scan_ends", "the end", "channel scan", "channel_scans", true},
    {"settings_write_keys", "keys", "settings write", nullptr, false},
    {"visit_ends", "the end", "visit", "visits", true},
};

const PartOf* PartOfTable(const std::string& table) {
  for (const auto& p : kParts) {
    if (table == p.table) return &p;
  }
  return nullptr;
}

// Whether a fetched part came from its record's sender: the two names
// after its columns.
bool SentByItsOwner(const Row& r, size_t columns) {
  return r.size() >= columns + 2 && r[columns] && r[columns] == r[columns + 1];
}

rec::SettingsWrite WriteOf(const Row& w, const Rows* keys) {
  rec::SettingsWrite out{IntOf(w[2]), OptIntOf(w[3]), BoolOf(w[4]), Text(w[5]), {}};
  std::vector<const Row*> mine;
  if (keys) {
    for (const auto& k : *keys) {
      if (k[0] == w[0] && SentByItsOwner(k, LayoutOf("settings_write_keys").columns.size())) mine.push_back(&k);
    }
  }
  std::sort(mine.begin(), mine.end(), [](const Row* a, const Row* b) { return IntOf((*a)[1]) < IntOf((*b)[1]); });
  for (const Row* k : mine) out.changes.push_back({Text((*k)[2]), (*k)[3], Text((*k)[4])});
  return out;
}

}  // namespace

int64_t PulledRows::SerialOfSite(const std::string& siteContentId) {
  auto st = db_.Prepare("SELECT serial FROM sites WHERE content_id = ?");
  st.BindAll(siteContentId);
  if (!st.Step()) throw Refusal{"the team server sent a visit without its site"};
  return st.Int(0);
}

int64_t PulledRows::SerialOfVisitSite(const std::string& visitContentId) {
  auto st = db_.Prepare("SELECT s.serial FROM visits v JOIN sites s ON s.id = v.site_id WHERE v.content_id = ?");
  st.BindAll(visitContentId);
  if (!st.Step()) throw Refusal{"the team server sent a record without its visit"};
  return st.Int(0);
}

void PulledRows::Verify(const std::string& table, const Row& r, const VisitRows& all) {
  const std::string id = Text(r[0]);
  std::string expected = id;
  if (table == "sites") {
    expected = rec::SiteContentId(IntOf(r[1]));
  } else if (table == "visits") {
    expected = rec::VisitContentId(SerialOfSite(Text(r[1])), IntOf(r[2]));
  } else if (table == "visit_versions") {
    const auto replaces = rec::SplitIds(Text(r[2]));
    if (!rec::CanonicalIds(replaces)) {
      throw Refusal{"the team server sent a visit version (" + id.substr(0, 12) +
                    "…) whose replaced ids are not in the canonical form; nothing of that visit was kept"};
    }
    expected = rec::VisitVersionContentId(Text(r[1]), {"", replaces, IntOf(r[3]), Text(r[4]), Text(r[5]), Text(r[6])});
  } else if (table == "raw_records") {
    const auto kind = RawKindNamed(Text(r[2]));
    if (!kind) Unverified("record", id);
    if (StreamedSize(LayoutOf(table), r)) return;  // checked as its bytes are written (WriteStreamed)
    const rec::RawRecord record{*kind, IntOf(r[3]), OptIntOf(r[4]), Text(r[5]), BytesOf(r[6]), BytesOf(r[7]),
                                Text(r[8])};
    if (*kind == rec::RawKind::kPlan && !rec::PlanMatchesItsImage(record)) {
      throw Refusal{"the team server sent a plan (" + id.substr(0, 12) +
                    "…) whose image does not match its SHA-256; nothing of that visit was kept"};
    }
    expected = rec::RawContentId(Text(r[1]), record);
  } else if (table == "surveys") {
    rec::SurveyInfo s{Text(r[2]) == "site" ? rec::SurveyKind::kSite : rec::SurveyKind::kRoute, IntOf(r[3]),
                      static_cast<int>(IntOf(r[4])), Text(r[5]), Text(r[6]), std::nullopt, Text(r[7])};
    if (Text(r[2]) != "site" && Text(r[2]) != "route") Unverified("survey", id);
    expected = rec::SurveyContentId(Text(r[1]), s);
  } else if (table == "channel_scans") {
    expected = rec::ScanContentId(Text(r[1]), {IntOf(r[2]), OptIntOf(r[3]), Text(r[4])});
  } else if (table == "settings_writes") {
    const auto keys = all.find("settings_write_keys");
    expected = rec::SettingsWriteContentId(Text(r[1]), WriteOf(r, keys == all.end() ? nullptr : &keys->second));
  }
  if (expected != id) Unverified(table == "raw_records" ? Text(r[2]) : table, id);
}

void PulledRows::Write(const VisitRows& rows) {
  std::set<std::string> writes;  // keys go only with a write verified here
  if (auto w = rows.find("settings_writes"); w != rows.end()) {
    for (const auto& r : w->second) writes.insert(Text(r[0]));
  }
  for (const auto& layout : TableLayouts()) {
    const auto found = rows.find(layout.table);
    if (found == rows.end()) continue;
    const std::string table = layout.table;
    const PartOf* part = PartOfTable(table);
    for (const Row& r : found->second) {
      if (part && !FromItsSender(*part, layout, r)) continue;
      if (table == "settings_write_keys" && !writes.count(Text(r[0]))) continue;
      if (part && part->end) {
        WriteEnd(*part, r);
        continue;
      }
      if (part && part->sealedIn && Sealed(*part, Text(r[0]))) {
        Refuse(*part, Text(r[0]), "differ from what has ended here; this computer's are kept");
        continue;
      }
      try {
        Verify(table, r, rows);
        Insert(layout, r);
      } catch (const Refusal& refusal) {
        throw SyncFailure(SyncFailureKind::kUnverified, refusal.reason, ShownRow(layout, r));
      } catch (const SyncFailure& f) {  // a value not of its column's type
        throw SyncFailure(f.kind(), f.what(), ShownRow(layout, r));
      }
    }
  }
}

void PulledRows::Insert(const TableLayout& layout, const Row& r) {
  const std::string table = layout.table;
  const bool raw = table == "raw_records";
  if (const auto streamed = StreamedSize(layout, r)) return InsertStreamed(layout, r, *streamed);
  const std::string sql = raw ? RawInsert(rec::RawKindTable(*RawKindNamed(Text(r[2])))) : kInserts.at(table);
  auto st = statements_.find(sql);
  if (st == statements_.end()) st = statements_.emplace(sql, db_.Prepare(sql)).first;
  for (size_t c = 0; c < layout.columns.size(); ++c) {
    if (raw && c == 2) continue;  // the kind names the table
    BindLocal(st->second, static_cast<int>(c + 1), layout.columns[c].type, r[c]);
  }
  st->second.Run();
  st->second.Reset();
}

// A raw record whose bytes come apart from it, inserted with room for them
// by VALUES: an INSERT ... SELECT into a table with triggers goes through a
// temporary copy of the row, bytes and all. A plan's image ends its row, so
// SQLite never builds its room in memory; in the other tables the room is
// not the last value, and a large record costs twice its size while it is
// inserted, and no more.
void PulledRows::InsertStreamed(const TableLayout& layout, const Row& r, int64_t size) {
  if (size < 0) Unverified(Text(r[2]), Text(r[0]));
  if (size > rec::Database::kMaxValueBytes) {
    throw Refusal{"the team server sent a record (" + Text(r[0]).substr(0, 12) + "…) of " + std::to_string(size) +
                  " bytes, more than this computer's records hold; nothing of that visit was kept"};
  }
  auto visit = db_.Prepare("SELECT id FROM visits WHERE content_id = ?");
  visit.BindAll(Text(r[1]));
  bool inserted = false;
  if (visit.Step()) {
    auto st = db_.Prepare("INSERT INTO " + std::string(rec::RawKindTable(*RawKindNamed(Text(r[2])))) +
                          "(content_id, visit_id, taken_at, unit, source, header, raw, decoded_json) "
                          "VALUES (?1, ?2, ?4, ?5, ?6, ?7, ?8, ?9) ON CONFLICT DO NOTHING");
    for (size_t c = 0; c < layout.columns.size(); ++c) {
      const int at = static_cast<int>(c + 1);
      if (c == 1) st.Bind(at, visit.Int(0));
      else if (static_cast<int>(c) == layout.streamed) st.BindZeroBlob(at, size);
      else if (c != 2) BindLocal(st, at, layout.columns[c].type, r[c]);  // the kind names the table
    }
    st.Run();
    inserted = db_.Changes() > 0;
  }
  WriteStreamed(r, size, inserted);
}

// Into the room the insert made (when the store did not hold the record
// already), the bytes as they come; every one of them hashed on the way.
void PulledRows::WriteStreamed(const Row& r, int64_t size, bool inserted) {
  const rec::RawKind kind = *RawKindNamed(Text(r[2]));
  const rec::RawRecord head{kind, IntOf(r[3]), OptIntOf(r[4]), Text(r[5]), BytesOf(r[6]), {}, Text(r[8])};
  rec::RawContentStream id(Text(r[1]), head, static_cast<uint64_t>(size));
  rec::Sha256Stream image;
  std::optional<rec::BlobIo> blob;
  if (inserted) blob.emplace(db_, rec::RawKindTable(kind), "raw", db_.LastInsertId(), rec::BlobIo::Mode::kWrite);
  int64_t at = 0;
  pieces_(r, [&](std::span<const uint8_t> piece) {
    id.Add(piece);
    image.Add(piece);
    if (blob && at + static_cast<int64_t>(piece.size()) <= size) blob->Write(at, piece);
    at += static_cast<int64_t>(piece.size());
  });
  if (kind == rec::RawKind::kPlan && !rec::PlanNamesImage(head.decodedJson, image.Hex())) {
    throw Refusal{"the team server sent a plan (" + Text(r[0]).substr(0, 12) +
                  "…) whose image does not match its SHA-256; nothing of that visit was kept"};
  }
  if (id.Finish() != Text(r[0])) Unverified(Text(r[2]), Text(r[0]));
}

bool PulledRows::FromItsSender(const PartOf& part, const TableLayout& layout, const Row& r) {
  const size_t n = layout.columns.size();
  if (SentByItsOwner(r, n)) return true;
  const std::string by = r.size() > n && r[n] ? *r[n] : "nobody";
  const std::string owner = r.size() > n + 1 && r[n + 1] ? *r[n + 1] : "nobody";
  Refuse(part, Text(r[0]), "came from " + by + ", not from its sender " + owner + "; not kept");
  return false;
}

bool PulledRows::Sealed(const PartOf& part, const std::string& head) {
  auto st = db_.Prepare(std::string("SELECT 1 FROM ") + part.sealedIn + " WHERE content_id = ? AND seal IS NOT NULL");
  st.BindAll(head);
  return st.Step();
}

void PulledRows::Refuse(const PartOf& part, const std::string& head, const std::string& why) {
  refused_.insert(std::string(part.what) + " of " + part.head + " " + head.substr(0, 12) + "… " + why);
}

void PulledRows::WriteEnd(const PartOf& part, const Row& r) {
  const std::string head = Text(r[0]), seal = Text(r[2]);
  const bool visit = std::string(part.sealedIn) == "visits";
  const char* sealColumn = visit ? "end_seal" : "seal";
  auto st = db_.Prepare(std::string("SELECT id, ") + sealColumn + ", " + (visit ? "started_at" : "0") + " FROM " +
                        part.sealedIn + " WHERE content_id = ?");
  st.BindAll(head);
  if (!st.Step()) Unverified(part.head, head);
  const rec::RowId id = st.Int(0);
  if (!st.IsNull(1)) {
    if (st.Text(1) != seal) Refuse(part, head, "differs from the one kept here, which is kept");
    return;
  }
  if (visit && (IntOf(r[1]) < st.Int(2) || rec::VisitEndSeal(head, IntOf(r[1])) != seal)) {
    UnsealedEnd(part, head);
  }
  // A visit's end this computer guessed gives way to its sender's.
  db_.Prepare(visit ? "UPDATE visits SET ended_at = ?1, ended_without_closing = 0 WHERE id = ?2"
                    : std::string("UPDATE ") + part.sealedIn + " SET ended_at = ?1 WHERE id = ?2")
      .BindAll(IntOf(r[1]), id)
      .Run();
  rec::Seals seals(db_);
  const auto made = visit ? seals.OfVisitEnd(id)
                          : std::string(part.sealedIn) == "surveys" ? seals.OfSurvey(id) : seals.OfScan(id);
  if (made != seal) UnsealedEnd(part, head);
  db_.Prepare(std::string("UPDATE ") + part.sealedIn + " SET " + sealColumn + " = ?1 WHERE id = ?2")
      .BindAll(seal, id)
      .Run();
}

}  // namespace lm::teamsync
