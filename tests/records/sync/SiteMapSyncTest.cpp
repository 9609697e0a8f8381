// The site map through the team server: a plan (its image, by hash) and the
// units placed on it by one technician arrive whole at the other, who sees
// the same map visit by visit; a plan or map edit forged on the server is
// refused on pull and nothing of its visit lands; a large plan travels in
// pieces, the memory of a sync well short of a few copies of its image; a
// server made with schema version 1 is brought up to date by server-init and
// keeps its records.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "TeamSyncFixture.h"
#include "lm/records/ContentId.h"
#include "lm/teamsync/LocalSide.h"
#include "lm/teamsync/SyncFailure.h"
#include "lm/teamsync/TableLayouts.h"

namespace lm::teamsync::test {
namespace {

namespace rec = lm::records;

constexpr rec::Millis kT0 = 1'766'000'000'000;
constexpr rec::Millis kDay = 86'400'000;
const rec::SiteInfo kSite{rec::test::kSiteSerial, "North plant", "VL-BS"};

std::string Hex(const rec::Bytes& bytes) {
  static const char* const kDigits = "0123456789abcdef";
  std::string out = "\\x";
  for (uint8_t b : bytes) out += {kDigits[b >> 4], kDigits[b & 15]};
  return out;
}

// An image of `size` bytes that no compressor would shrink, behind a PNG signature.
rec::Bytes ImageBytes(size_t size) {
  rec::Bytes out{0x89, 'P', 'N', 'G'};
  uint32_t x = 2463534242u;
  while (out.size() < size) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    out.push_back(static_cast<uint8_t>(x));
  }
  return out;
}

// What the map is drawn from, visit by visit: each plan and map edit of the
// site with its visit's start and end, its time, decoded form and bytes.
struct MapRecord {
  rec::Millis visitStart;
  std::optional<rec::Millis> visitEnd;
  std::string kind, contentId;
  rec::Millis at;
  std::string decoded;
  rec::Bytes raw;
  bool operator==(const MapRecord&) const = default;
};

std::vector<MapRecord> SiteMap(rec::RecordStore& store) {
  std::vector<MapRecord> out;
  const auto visits = store.ListVisits(rec::test::kSiteSerial);
  for (const auto& v : *visits) {
    const auto read = store.ReadVisit(v.id);
    for (const auto& r : read->records) {
      for (auto kind : {rec::RawKind::kPlan, rec::RawKind::kMapEdit}) {
        if (r.kind != rec::RawKindName(kind)) continue;
        const auto raw = store.ReadRaw(kind, r.id)->record;
        out.push_back({v.info.startedAt, v.endedAt, r.kind, r.contentId, raw.takenAt, raw.decodedJson, raw.raw});
      }
    }
  }
  return out;
}

// A field of /proc/self/status in bytes (VmRSS: resident now; VmHWM: the
// peak since ResetPeak).
int64_t StatusBytes(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string name;
  int64_t kib = 0;
  while (status >> name) {
    if (name == field + ":" && status >> kib) return kib * 1024;
    status.ignore(4096, '\n');
  }
  return -1;
}

// Starts the process's peak resident memory again from what it holds now;
// false where the system does not let it.
bool ResetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  return static_cast<bool>(clear << "5" << std::flush) && StatusBytes("VmHWM") > 0;
}

class SiteMapSyncTest : public TeamSyncTest {
 protected:
  static rec::RawRecord Plan(rec::Millis at, rec::Bytes image) {
    rec::RawRecord r{rec::RawKind::kPlan, at, std::nullopt, "file", {}, std::move(image), ""};
    r.decodedJson = R"({"name":"Ground floor","format":"png","width":8000,"height":6000,"sha256":")" +
                    rec::Sha256Hex(r.raw) + "\"}";
    return r;
  }

  static rec::RawRecord Edit(rec::Millis at, const std::string& json) {
    return rec::test::SampleMapEdit(at, R"({"by":"Sato",)" + json.substr(1));
  }

  // How a fresh laptop's sync treats the visit: set aside (kUnverified) with
  // nothing of it kept, or taken (kUsage, a failure here).
  SyncFailureKind PullFails() {
    Laptop fresh;
    const SyncCounts got = Sync(fresh, "bob");
    EXPECT_TRUE(fresh.store->ListSites()->empty());
    if (got.setAside.size() == 1) return SyncFailureKind::kUnverified;
    ADD_FAILURE() << "the pull was taken";
    return SyncFailureKind::kUsage;
  }
};

TEST_F(SiteMapSyncTest, APlanAndThePlacedUnitsArriveAsTheyWereMadeVisitByVisit) {
  Laptop a, b;
  const rec::RowId first = *a.store->StartVisit(kSite, {kT0, "Sato", "Acme", ""});
  const rec::RawRecord plan = Plan(kT0 + 10, ImageBytes(12 << 20));  // an aerial photo of some size
  a.store->AddRaw(first, plan);
  const std::string p = R"("plan":")" + rec::Sha256Hex(plan.raw) + "\"";
  for (const auto& [at, json] : std::vector<std::pair<rec::Millis, std::string>>{
           {kT0 + 20, R"({"action":"scale",)" + p + R"(,"x1":0,"y1":0,"x2":400,"y2":0,"metres":25})"},
           {kT0 + 30, R"({"action":"place","serial":"B80201",)" + p + R"(,"x":120,"y":340})"},
           {kT0 + 30, R"({"action":"plan","serial":"B80202",)" + p + R"(,"x":700,"y":90})"}}) {
    a.store->AddRaw(first, Edit(at, json));
  }
  a.store->EndVisit(first, kT0 + 3'600'000);
  const rec::RowId second = *a.store->StartVisit(kSite, {kT0 + kDay, "Sato", "Acme", ""});
  a.store->AddRaw(second, Edit(kT0 + kDay + 5, R"({"action":"place","serial":"B80201",)" + p + R"(,"x":130,"y":350})"));
  a.store->AddRaw(second, Edit(kT0 + kDay + 6, R"({"action":"unplace","serial":"B80202"})"));

  EXPECT_EQ(Sync(a, "alice").pushedVisits, 2);
  EXPECT_EQ(ServerCount("SELECT count(*) FROM linkmeter.raw_records WHERE kind = 'plan' AND sent_by = 'alice' "
                        "AND octet_length(raw) = " + std::to_string(plan.raw.size())),
            1);
  EXPECT_EQ(Sync(b, "bob").pulledVisits, 2);
  const auto made = SiteMap(*a.store);
  ASSERT_EQ(made.size(), 6u);
  EXPECT_TRUE(SiteMap(*b.store) == made);  // the same image bytes, positions and visits

  // The other technician moves a unit on the same plan; the first sees it.
  const rec::RowId third = *b.store->StartVisit(kSite, {kT0 + 2 * kDay, "Tanaka", "Acme", ""});
  b.store->AddRaw(third, Edit(kT0 + 2 * kDay + 5, R"({"action":"place","serial":"B80202",)" + p + R"(,"x":710,"y":95})"));
  EXPECT_EQ(Sync(b, "bob").pushedRows, 3);  // the site, the visit and the edit
  EXPECT_EQ(Sync(a, "alice").pulledVisits, 1);
  EXPECT_TRUE(SiteMap(*a.store) == SiteMap(*b.store));
  EXPECT_EQ(SiteMap(*a.store).size(), 7u);
  const SyncCounts again = Sync(a, "alice");
  EXPECT_EQ(again.pushedRows + again.pulledRows, 0);
}

// How far a sync raises the process's peak memory above what it held before.
// A plan held whole, as hex text and copies of it, costs ten times its image
// or more; streamed, about twice (SQLite builds the row it lands in whole).
TEST_F(SiteMapSyncTest, ALargePlanTravelsInPiecesBothWaysAndEveryPieceIsChecked) {
  if (!ResetPeak()) GTEST_SKIP() << "the peak memory cannot be reset here";
  constexpr int64_t kImage = 24 << 20;
  Laptop a, b;
  const rec::RowId visit = *a.store->StartVisit(kSite, {kT0, "Sato", "Acme", ""});
  a.store->AddRaw(visit, Plan(kT0 + 10, ImageBytes(kImage)));
  const auto growth = [&](Laptop& laptop, const std::string& user) {
    ResetPeak();
    const int64_t before = StatusBytes("VmRSS");
    Sync(laptop, user);
    return StatusBytes("VmHWM") - before;
  };
  EXPECT_LT(growth(a, "alice"), 4 * kImage) << "sent";
  EXPECT_LT(growth(b, "bob"), 4 * kImage) << "fetched";
  ASSERT_EQ(SiteMap(*b.store).size(), 1u);
  EXPECT_TRUE(SiteMap(*b.store) == SiteMap(*a.store));

  // One byte of the image's last piece changed on the server: refused whole.
  PgConnection owner(server_->Uri(db_));
  owner.Exec("SET session_replication_role = replica");
  owner.Exec("UPDATE linkmeter.raw_records SET raw = set_byte(raw, $1::int, 255 - get_byte(raw, $1::int)) "
             "WHERE kind = 'plan'",
             {std::to_string(kImage - 1)});
  EXPECT_EQ(PullFails(), SyncFailureKind::kUnverified);
}

TEST_F(SiteMapSyncTest, APlanOrEditForgedOnTheServerIsRefusedOnPullAndNothingOfItLands) {
  Laptop a;
  const rec::RowId visit = *a.store->StartVisit(kSite, {kT0, "Sato", "Acme", ""});
  const rec::RawRecord plan = Plan(kT0 + 10, ImageBytes(4096));
  const rec::RawRecord edit = Edit(kT0 + 20, R"({"action":"place","serial":"B80201","x":5,"y":6})");
  a.store->AddRaw(visit, plan);
  a.store->AddRaw(visit, edit);
  Sync(a, "alice");
  const std::string visitId = rec::VisitContentId(kSite.serial, kT0);
  const std::string planId = rec::RawContentId(visitId, plan), editId = rec::RawContentId(visitId, edit);

  rec::RawRecord swapped = plan;  // another image under the plan's hash, with an id that matches it
  swapped.raw = ImageBytes(4000);
  rec::RawRecord moved = Edit(kT0 + 20, R"({"action":"place","serial":"B80201","x":500,"y":6})");
  moved.raw = {0x01};  // bytes, in the hope that the position is left out of the id
  const struct {
    const char* what;
    std::string id;
    std::string set;  // the forged columns
  } forged[] = {
      {"a plan's image changed", planId, "raw = '\\x00'"},
      {"another image under the plan's hash", planId,
       "raw = '" + Hex(swapped.raw) + "', content_id = '" + rec::RawContentId(visitId, swapped) + "'"},
      {"a unit moved", editId, "decoded_json = replace(decoded_json, '\"x\":5', '\"x\":50')"},
      {"a unit moved with bytes", editId,
       "raw = '\\x01', decoded_json = '" + moved.decodedJson + "', content_id = '" +
           rec::test::IdWithoutDecoded(visitId, moved) + "'"},
  };
  for (const auto& f : forged) {
    SCOPED_TRACE(f.what);
    PgConnection owner(server_->Uri(db_));  // past the server's own checks, as a restored or tampered dump would be
    owner.Exec("SET session_replication_role = replica");
    PgTransaction tx(owner);
    owner.Exec("UPDATE linkmeter.raw_records SET " + f.set + " WHERE content_id = $1", {f.id});
    tx.Commit();
    EXPECT_EQ(PullFails(), SyncFailureKind::kUnverified);
    owner.Exec("DELETE FROM linkmeter.raw_records WHERE visit = $1 AND kind IN ('plan', 'map-edit')", {visitId});
    owner.Exec("SET session_replication_role = origin");
    Sync(a, "alice");  // the faithful records again
  }
  Laptop b;
  Sync(b, "bob");
  EXPECT_TRUE(SiteMap(*b.store) == SiteMap(*a.store));
}

// Inserts a laptop's records row by row, as an older laptop sent them:
// without the seals (version 1 had none: they are the last column of an
// end) or with them.
void InsertAsOlderLaptop(PgConnection& conn, const std::filesystem::path& storeFile, bool seals) {
  LocalSide local(storeFile);
  for (const auto& [visit, items] : local.Items(std::nullopt)) {
    std::set<std::string> all;
    for (const auto& [item, count] : items) all.insert(item);
    const VisitRows rows = local.RowsFor(visit, all);
    for (const auto& layout : TableLayouts()) {
      const auto found = rows.find(layout.table);
      if (found == rows.end()) continue;
      std::string columns, params;
      size_t known = 0;  // version 1 had no seals: they are the last column of an end
      for (size_t c = 0; c < layout.columns.size() && (seals || std::string(layout.columns[c].name) != "seal");
           ++c, ++known) {
        columns += std::string(c ? ", " : "") + layout.columns[c].name;
        params += (c ? ", $" : "$") + std::to_string(c + 1);
      }
      for (const Row& row : found->second) {
        Row values(row.begin(), row.begin() + static_cast<long>(known));
        if (StreamedSize(layout, row)) {  // a plan's image, read apart from its row
          std::string hex = "\\x";
          local.Pieces(row, [&](std::span<const uint8_t> piece) {
            for (uint8_t b : piece) hex += "0123456789abcdef"[b >> 4], hex += "0123456789abcdef"[b & 15];
          });
          values[layout.streamed] = hex;
        }
        conn.Exec("INSERT INTO linkmeter." + std::string(layout.table) + " (" + columns + ") VALUES (" + params + ")",
                  values);
      }
    }
  }
}

// Every table version 1 knew, in one transaction.
void SendAsVersionOne(PgConnection& conn, const std::filesystem::path& storeFile) {
  PgTransaction tx(conn);
  InsertAsOlderLaptop(conn, storeFile, false);
  tx.Commit();
}

std::string SchemaFile(int version) {
  std::ifstream file(LM_TEAM_SQL_DIR "/team-records-" + std::to_string(version) + ".sql");
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST_F(SiteMapSyncTest, AVersionOneServerIsBroughtUpToDateByServerInitAndKeepsItsRecords) {
  PgConnection(server_->Uri("postgres")).Exec("CREATE DATABASE " + db_ + "v1");
  db_ += "v1";
  {
    PgConnection owner(server_->Uri(db_));
    PgTransaction tx(owner);
    owner.Exec(SchemaFile(1));
    tx.Commit();
  }
  Laptop a, b;
  rec::test::RecordFullVisit(*a.store, kT0);
  {
    PgConnection alice(server_->Uri(db_, "alice"));
    SendAsVersionOne(alice, a.File());
  }
  const int64_t rows = ServerCount("SELECT (SELECT count(*) FROM linkmeter.raw_records) "
                                   "+ (SELECT count(*) FROM linkmeter.probes) + (SELECT count(*) FROM linkmeter.visits)");
  try {
    Sync(a, "alice");
    ADD_FAILURE() << "a sync with a version-1 server went on";
  } catch (const SyncFailure& f) {
    EXPECT_EQ(f.kind(), SyncFailureKind::kSchema);
    EXPECT_NE(std::string(f.what()).find("server-init"), std::string::npos) << f.what();
  }

  PgConnection owner(server_->Uri(db_));
  EXPECT_TRUE(ServerSchema::Init(owner));
  EXPECT_EQ(ServerSchema::Found(owner), ServerSchema::kVersion);
  EXPECT_FALSE(ServerSchema::Init(owner));
  EXPECT_EQ(ServerCount("SELECT count(*) FROM pg_proc WHERE pronamespace = 'linkmeter'::regnamespace "
                        "AND proconfig IS NULL"),
            0);  // every function, replaced or new, still resolves its names in the schema only
  EXPECT_EQ(ServerCount("SELECT (SELECT count(*) FROM linkmeter.raw_records) "
                        "+ (SELECT count(*) FROM linkmeter.probes) + (SELECT count(*) FROM linkmeter.visits)"),
            rows);
  // The part counts the upgrade made from the parts it found.
  EXPECT_EQ(ServerCount("SELECT coalesce(sum(n), 0) FROM linkmeter.part_counts WHERE part = 'probes'"),
            ServerCount("SELECT count(*) FROM linkmeter.probes"));
  EXPECT_EQ(Sync(a, "alice").pushedRows, 0);  // the server holds all of it already
  EXPECT_TRUE(Visits(a)[0].synced);

  a.store->AddRaw(Visits(a)[0].id, rec::test::SamplePlan(kT0 + 95));
  a.store->AddRaw(Visits(a)[0].id, Edit(kT0 + 96, R"({"action":"place","serial":"B80201","x":5,"y":6})"));
  EXPECT_EQ(Sync(a, "alice").pushedRows, 2);
  Sync(b, "bob");  // the old records and the new, every id checked again
  EXPECT_EQ(SiteMap(*b.store).size(), 2u);
  EXPECT_TRUE(SiteMap(*b.store) == SiteMap(*a.store));
  EXPECT_EQ(b.store->ReadVisit(Visits(b)[0].id)->records.size(), a.store->ReadVisit(Visits(a)[0].id)->records.size());
}

// A laptop of the version before sending a survey while the server is
// brought up to date: the upgrade waits for it, and its parts are counted
// once, by the upgrade's first count (none lost between that count and the
// triggers that keep the counts from then on).
TEST_F(SiteMapSyncTest, PartsSentWhileTheServerIsUpgradedAreCountedOnce) {
  PgConnection(server_->Uri("postgres")).Exec("CREATE DATABASE " + db_ + "v4");
  db_ += "v4";
  {
    PgConnection owner(server_->Uri(db_));
    PgTransaction tx(owner);
    for (int version = 1; version <= 4; ++version) owner.Exec(SchemaFile(version));
    tx.Commit();
  }
  Laptop a;
  rec::test::RecordFullVisit(*a.store, kT0);
  PgConnection alice(server_->Uri(db_, "alice"));
  alice.Exec("BEGIN");
  InsertAsOlderLaptop(alice, a.File(), true);
  std::optional<bool> upgraded;
  std::thread upgrade([&] {
    PgConnection owner(server_->Uri(db_));
    upgraded = ServerSchema::Init(owner);
  });
  // The upgrade waits for alice's transaction before it counts.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (ServerCount("SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() "
                     "AND wait_event_type = 'Lock'") == 0 &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  alice.Exec("COMMIT");
  upgrade.join();
  EXPECT_EQ(upgraded, true);
  const int64_t probes = ServerCount("SELECT count(*) FROM linkmeter.probes");
  EXPECT_GT(probes, 0);
  EXPECT_EQ(ServerCount("SELECT coalesce(sum(n), 0) FROM linkmeter.part_counts WHERE part = 'probes'"), probes);
  EXPECT_EQ(ServerCount("SELECT coalesce(sum(n), 0) FROM linkmeter.part_counts WHERE part = 'hops'"),
            ServerCount("SELECT count(*) FROM linkmeter.hop_stats"));
  EXPECT_EQ(Sync(a, "alice").pushedRows, 0);  // the server holds all of it, and says so
}

}  // namespace
}  // namespace lm::teamsync::test
