// The team server tried as a hostile technician would: bob attacks what
// alice sent, boss (the administrator) looks on. After each attack an empty
// third laptop syncs and must hold what alice's laptop holds, and alice's
// store must be as it was.
#include <gtest/gtest.h>

#include <algorithm>

#include "TeamSyncFixture.h"
#include "lm/records/ContentId.h"
#include "lm/records/Database.h"
#include "lm/teamsync/SyncFailure.h"

namespace lm::teamsync::test {
namespace {

namespace rec = lm::records;

constexpr rec::Millis kAliceAt = 1'765'000'000'000;

// The reasons a sync gave for the visits it set aside, for failure messages.
std::string Reasons(const SyncCounts& c) {
  std::string out;
  for (const auto& v : c.setAside) out += v.reason + " [" + v.row + "]\n";
  return out;
}

class HostileServerTest : public TeamSyncTest {
 protected:
  PgConnection Session(const std::string& user) { return PgConnection(server_->Uri(db_, user)); }

  // A temporary table of the session's own for every table of the schema,
  // holding a copy of its rows: what an unqualified name would read first.
  static void ShadowEveryTable(PgConnection& session) {
    PgResult tables = session.Exec("SELECT tablename FROM pg_tables WHERE schemaname = 'linkmeter'");
    ASSERT_GE(tables.Rows(), 14);
    for (int i = 0; i < tables.Rows(); ++i) {
      const std::string t = tables.Text(i, 0);
      session.Exec("CREATE TEMP TABLE " + t + " (LIKE linkmeter." + t + ")");
      session.Exec("INSERT INTO pg_temp." + t + " SELECT * FROM linkmeter." + t);
    }
  }

  static void ExpectRefused(PgConnection& session, const std::string& what, const std::string& sql,
                            const std::vector<PgValue>& params = {}) {
    try {
      session.Exec(sql, params);
      ADD_FAILURE() << what << " was taken";
    } catch (const SyncFailure& f) {
      EXPECT_EQ(f.kind(), SyncFailureKind::kRefused) << what << ": " << f.what();
    }
  }

  // What a store holds, as text both laptops must agree on: every record by
  // content id, every part by its record's id, every end.
  static std::string Holdings(const Laptop& laptop) {
    rec::Database db(laptop.File());
    std::string out;
    for (const char* sql : {
             "SELECT content_id, serial, name, model FROM sites",
             "SELECT content_id, started_at, ended_at, ended_without_closing, technician, customer, notes FROM visits",
             "SELECT content_id, replaces, notes FROM visit_versions",
             "SELECT content_id FROM registration_snapshots UNION ALL SELECT content_id FROM downloads "
             "UNION ALL SELECT content_id FROM event_logs UNION ALL SELECT content_id FROM settings_readbacks "
             "UNION ALL SELECT content_id FROM acceptances UNION ALL SELECT content_id FROM waivers "
             "UNION ALL SELECT content_id FROM site_plans UNION ALL SELECT content_id FROM map_edits",
             "SELECT content_id, ended_at FROM surveys",
             "SELECT su.content_id, p.route, p.seq, p.at, p.answered, hex(p.raw) FROM probes p "
             "JOIN surveys su ON su.id = p.survey_id",
             "SELECT su.content_id, h.route, h.hop, h.sent, h.answered, h.level_avg FROM hop_stats h "
             "JOIN surveys su ON su.id = h.survey_id",
             "SELECT content_id, ended_at FROM channel_scans",
             "SELECT c.content_id, r.round, r.at, hex(r.raw) FROM scan_rounds r JOIN channel_scans c ON c.id = r.scan_id",
             "SELECT content_id FROM settings_writes",
             "SELECT w.content_id, k.position, k.key, k.new_json FROM settings_write_keys k "
             "JOIN settings_writes w ON w.id = k.write_id",
         }) {
      auto st = db.Prepare(sql);
      std::vector<std::string> lines;
      while (st.Step()) {
        std::string line;
        for (int c = 0; c < st.ColumnCount(); ++c) line += (st.IsNull(c) ? "-" : st.Text(c)) + "|";
        lines.push_back(line + "\n");
      }
      std::sort(lines.begin(), lines.end());
      for (const auto& line : lines) out += line;
      out += "--\n";
    }
    return out;
  }

  // alice's laptop with two full visits, sent.
  void AliceSends(Laptop& a) {
    rec::test::RecordFullVisit(*a.store, kAliceAt);
    rec::test::RecordFullVisit(*a.store, kAliceAt + 86'400'000);
    Sync(a, "alice");
  }

  // An empty laptop syncs and holds what alice holds; alice's store stays as it was.
  void ExpectTheTeamUnharmed(Laptop& a, const std::string& aliceBefore) {
    Laptop c;
    Sync(c, "bob");
    EXPECT_EQ(Holdings(c), Holdings(a));
    Sync(a, "alice");
    EXPECT_EQ(Holdings(a), aliceBefore);
  }

  std::string AnyWrite() {
    return Session("lmadmin").Exec("SELECT min(content_id) FROM linkmeter.settings_writes").Text(0, 0);
  }
};

TEST_F(HostileServerTest, TemporaryTablesShadowingTheSchemaFoolNoCheck) {
  Laptop a;
  AliceSends(a);
  const std::string before = Holdings(a);
  const std::string aliceSite = rec::SiteContentId(rec::test::kSiteSerial);
  const std::string write = AnyWrite();
  PgConnection bob = Session("bob");
  ShadowEveryTable(bob);
  // A site whose serial reads false in the shadow: a visit of serial 999 filed under alice's site.
  bob.Exec("UPDATE pg_temp.sites SET serial = 999");
  ExpectRefused(bob, "a visit under another site's id",
                "INSERT INTO linkmeter.visits(content_id, site, started_at) VALUES ($1, $2, $3)",
                {rec::VisitContentId(999, kAliceAt + 5), aliceSite, std::to_string(kAliceAt + 5)});
  // Shadow copies of the write and its keys: the id computed over them matches whatever is added.
  ExpectRefused(bob, "key PW added to a colleague's write",
                "INSERT INTO linkmeter.settings_write_keys(write_id, position, key, new_json) "
                "VALUES ($1, 9, 'PW', '\"0000\"')",
                {write});
  ExpectRefused(bob, "a write's head with shadowed keys",
                "INSERT INTO linkmeter.settings_writes(content_id, visit, written_at, succeeded) "
                "SELECT content_id, visit, written_at + 1, succeeded FROM pg_temp.settings_writes LIMIT 1");
  EXPECT_EQ(ServerCount("SELECT count(*) FROM linkmeter.visits"), 2);
  EXPECT_EQ(ServerCount("SELECT count(*) FROM linkmeter.settings_write_keys WHERE key = 'PW'"), 0);
  ExpectTheTeamUnharmed(a, before);
}

TEST_F(HostileServerTest, EveryFunctionOfTheSchemaSearchesTemporaryTablesLast) {
  PgResult r = Session("lmadmin").Exec(
      "SELECT p.proname, coalesce(array_to_string(p.proconfig, ','), '') FROM pg_proc p "
      "WHERE p.pronamespace = 'linkmeter'::regnamespace");
  ASSERT_GT(r.Rows(), 20);
  for (int i = 0; i < r.Rows(); ++i) {
    EXPECT_EQ(r.Text(i, 1), "search_path=linkmeter, pg_catalog, pg_temp") << r.Text(i, 0);
  }
}

// Rows a server took before it checked them (or an owner slipped in past
// its triggers): each poisons one visit of alice's.
TEST_F(HostileServerTest, ABadVisitOnTheServerIsSetAsideAndEveryOtherVisitSyncs) {
  struct Case {
    const char* what;
    const char* table;  // the row that cannot be verified
    const char* insert;  // $1: alice's first visit; run past every trigger
    const char* clear;   // what the administrator deletes
    bool setAside;       // false: a part not from its record's sender, passed over without harm
  };
  const Case cases[] = {
      {"a version whose replaces holds two spaces", "visit_versions",
       "INSERT INTO linkmeter.visit_versions(content_id, visit, replaces, made_at, notes) "
       "SELECT linkmeter.version_id($1, $1 || '  ' || $1, 5, '', '', 'forged'), $1, $1 || '  ' || $1, 5, 'forged'",
       "DELETE FROM linkmeter.visit_versions WHERE notes = 'forged'", true},
      {"key PW added to a kept write", "settings_writes",
       "INSERT INTO linkmeter.settings_write_keys(write_id, position, key, new_json) "
       "SELECT content_id, 9, 'PW', '\"0000\"' FROM linkmeter.settings_writes WHERE visit = $1",
       "DELETE FROM linkmeter.settings_write_keys WHERE key = 'PW'", false},
      {"a visit filed under a site whose serial is not its own", "visits",
       "INSERT INTO linkmeter.visits(content_id, site, started_at) "
       "SELECT linkmeter.visit_id(999, 7), site, 7 FROM linkmeter.visits WHERE content_id = $1",
       "DELETE FROM linkmeter.visits WHERE started_at = 7", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();  // a database of its own for each case
    Laptop a, onlySecond;
    AliceSends(a);
    rec::test::RecordFullVisit(*onlySecond.store, kAliceAt + 86'400'000);
    const std::string before = Holdings(a);
    const std::string poisoned =
        std::string(c.table) == "visits" ? rec::VisitContentId(999, 7) : rec::VisitContentId(rec::test::kSiteSerial, kAliceAt);
    {
      PgConnection owner = Session("lmadmin");
      owner.Exec("SET session_replication_role = replica");
      owner.Exec(c.insert, {rec::VisitContentId(rec::test::kSiteSerial, kAliceAt)});
    }
    Laptop empty;
    const SyncCounts got = Sync(empty, "bob");
    if (!c.setAside) {
      // The key came from nobody who sent the write: the empty laptop keeps
      // the write as alice sent it, and nothing is set aside.
      EXPECT_TRUE(got.setAside.empty()) << Reasons(got);
      EXPECT_EQ(Holdings(empty), before);
      continue;
    }
    ASSERT_EQ(got.setAside.size(), 1u) << Reasons(got);
    EXPECT_EQ(got.setAside[0].visit, poisoned);
    EXPECT_NE(got.setAside[0].reason.find("nothing of that visit was kept"), std::string::npos) << got.setAside[0].reason;
    EXPECT_EQ(got.setAside[0].row.rfind(c.table, 0), 0u) << got.setAside[0].row;
    // A forged visit leaves alice's two alone; a poisoned one of hers is not kept.
    EXPECT_EQ(Holdings(empty), std::string(c.table) == "visits" ? before : Holdings(onlySecond));
    // alice's laptop keeps what it had, and her next visit still leaves.
    Sync(a, "alice");
    EXPECT_EQ(Holdings(a), before);
    rec::test::RecordFullVisit(*a.store, kAliceAt + 2 * 86'400'000);
    const SyncCounts later = Sync(a, "alice");
    EXPECT_EQ(later.pushedVisits, 1);
    EXPECT_LE(later.setAside.size(), 1u);
    // The administrator deletes the row; then every laptop holds what alice holds.
    Session("boss").Exec(c.clear);
    EXPECT_TRUE(Sync(empty, "bob").setAside.empty());
    EXPECT_EQ(Holdings(empty), Holdings(a));
    EXPECT_TRUE(Sync(a, "alice").setAside.empty());
  }
}

TEST_F(HostileServerTest, AVisitTheServerRefusesIsSetAsideAndTheOthersLeave) {
  Laptop b;
  const rec::RowId first = rec::test::RecordFullVisit(*b.store, kAliceAt);
  rec::test::RecordFullVisit(*b.store, kAliceAt + 86'400'000);
  // The store refuses at the field what the server could not keep...
  EXPECT_FALSE(b.store->UpdateVisit(first, {0, "Ito", "", std::string("gate\0code", 9)}));
  EXPECT_FALSE(b.store->UpdateVisit(first, {0, "Ito", "", "\xff\xfe"}));
  // ...and a store written some other way holds it anyway.
  rec::Database(b.File()).Exec("UPDATE visits SET notes = 'gate' || char(0) || 'code' WHERE id = " +
                               std::to_string(first));
  const SyncCounts got = Sync(b, "bob");
  ASSERT_EQ(got.setAside.size(), 1u) << Reasons(got);
  EXPECT_EQ(got.setAside[0].visit, rec::VisitContentId(rec::test::kSiteSerial, kAliceAt));
  EXPECT_TRUE(got.setAside[0].row.empty());
  EXPECT_EQ(got.pushedVisits, 1);
  EXPECT_EQ(ServerCount("SELECT count(*) FROM linkmeter.visits"), 1);
  EXPECT_FALSE(Visits(b)[1].synced);
  EXPECT_TRUE(Visits(b)[0].synced);
}

// The map edits of alice's site on a laptop, in the order they apply:
// "x,y by sender" (sender "-" until the server took it).
std::vector<std::string> EditsInOrder(rec::RecordStore& store) {
  struct Edit {
    int64_t order;
    std::string text;
  };
  std::vector<Edit> edits;
  const auto visits = *store.ListVisits(rec::test::kSiteSerial);
  for (const auto& visit : visits) {
    const auto read = *store.ReadVisit(visit.id);
    for (const auto& r : read.records) {
      if (r.kind != "map-edit") continue;
      const auto edit = *store.ReadRaw(rec::RawKind::kMapEdit, r.id);
      const std::string xy = edit.record.decodedJson.substr(edit.record.decodedJson.find("\"x\""));
      edits.push_back({edit.receipt ? edit.receipt->number : (int64_t{1} << 62) + edit.id,
                       xy + " by " + (edit.receipt ? edit.receipt->sentBy : "-")});
    }
  }
  std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.order < b.order; });
  std::vector<std::string> out;
  for (const auto& e : edits) out.push_back(e.text);
  return out;
}

TEST_F(HostileServerTest, MapEditsGoByWhoSentThemInTheOrderTheServerTookThem) {
  Laptop a, b;
  const rec::RowId aliceVisit = *a.store->StartVisit({rec::test::kSiteSerial, "North", "B"}, {kAliceAt, "Sato", "", ""});
  const rec::RowId bobVisit = *b.store->StartVisit({rec::test::kSiteSerial, "North", "B"}, {kAliceAt + 1, "Ito", "", ""});
  constexpr rec::Millis k2036 = 2'082'758'400'000, k2100 = 4'102'444'800'000;
  // bob: a laptop clock in 2036, then an edit dated 2100 "by" alice.
  b.store->AddRaw(bobVisit, rec::test::SampleMapEdit(k2036, R"({"action":"place","serial":"B1","by":"Sato","x":9,"y":9})"));
  b.store->AddRaw(bobVisit, rec::test::SampleMapEdit(k2100, R"({"action":"place","serial":"B1","by":"Sato","x":8,"y":8})"));
  Sync(b, "bob");
  // Before it is sent an edit has no sender but this laptop's.
  a.store->AddRaw(aliceVisit, rec::test::SampleMapEdit(kAliceAt + 5, R"({"action":"place","serial":"B1","x":1,"y":1})"));
  EXPECT_EQ(EditsInOrder(*a.store), (std::vector<std::string>{R"("x":1,"y":1} by -)"}));
  // A receipt number or sender a client writes is not taken.
  PgConnection bobSession = Session("bob");
  const rec::RawRecord forged = rec::test::SampleMapEdit(5, R"({"action":"place","serial":"B1","x":7,"y":7})");
  const std::string bobVisitId = rec::VisitContentId(rec::test::kSiteSerial, kAliceAt + 1);
  bobSession.Exec("INSERT INTO linkmeter.raw_records(content_id, visit, kind, taken_at, source, raw, decoded_json, "
                  "sent_by, received) VALUES ($1, $2, 'map-edit', 5, '', '\\x', $3, 'alice', -1)",
                  {rec::RawContentId(bobVisitId, forged), bobVisitId, forged.decodedJson});
  EXPECT_EQ(ServerCount("SELECT count(*) FROM linkmeter.raw_records WHERE sent_by = 'alice' OR received < 1"), 0);
  Sync(a, "alice");  // alice's correct edit, the latest taken, wins on every laptop
  Laptop c;
  Sync(c, "boss");
  Sync(b, "bob");
  const std::vector<std::string> order = {R"("x":9,"y":9} by bob)", R"("x":8,"y":8} by bob)", R"("x":7,"y":7} by bob)",
                                          R"("x":1,"y":1} by alice)"};
  for (Laptop* laptop : {&a, &b, &c}) EXPECT_EQ(EditsInOrder(*laptop->store), order);
  // Nothing new: nothing moves.
  const SyncCounts again = Sync(c, "boss");
  EXPECT_EQ(again.pushedRows + again.pulledRows, 0);
}

}  // namespace
}  // namespace lm::teamsync::test
