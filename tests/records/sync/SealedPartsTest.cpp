// Sealed parts against a real PostgreSQL 15: technicians and the
// administrator adding parts and ends to a colleague's records are refused
// by the server; rows the server's owner writes around its checks are not
// kept by any laptop; a third, empty laptop then holds exactly what the
// honest laptop holds, and the honest laptops' stores are unchanged.
#include <gtest/gtest.h>

#include "TeamSyncFixture.h"
#include "lm/records/Database.h"

namespace lm::teamsync::test {
namespace sealed {

namespace rec = lm::records;

constexpr rec::Millis kStart = 1'765'000'000'000;


// Everything a laptop holds of the team's records, by content id, one line a row.
std::string Dump(const std::filesystem::path& storeFile) {
  rec::Database db(storeFile);
  static const char* const kQueries[] = {
      "SELECT quote(content_id), quote(ended_at), ended_without_closing, quote(end_seal), quote(notes), "
      "quote(sent_by) FROM visits",
      "SELECT quote(content_id), quote(ended_at), quote(seal) FROM surveys",
      "SELECT quote(s.content_id), p.route, p.seq, p.at, p.answered, hex(p.raw) FROM probes p "
      "JOIN surveys s ON s.id = p.survey_id",
      "SELECT quote(s.content_id), h.route, h.hop, h.from_unit, h.unit, h.sent, h.answered, quote(h.level_min), "
      "quote(h.level_avg), quote(h.level_max), quote(h.battery) FROM hop_stats h JOIN surveys s ON s.id = h.survey_id",
      "SELECT quote(content_id), quote(ended_at), quote(seal) FROM channel_scans",
      "SELECT quote(c.content_id), r.round, r.at, hex(r.raw), quote(r.decoded_json) FROM scan_rounds r "
      "JOIN channel_scans c ON c.id = r.scan_id",
      "SELECT quote(w.content_id), k.position, k.key, quote(k.old_json), k.new_json FROM settings_write_keys k "
      "JOIN settings_writes w ON w.id = k.write_id",
      "SELECT content_id FROM registration_snapshots UNION ALL SELECT content_id FROM downloads "
      "UNION ALL SELECT content_id FROM event_logs UNION ALL SELECT content_id FROM settings_readbacks",
  };
  std::string out;
  for (const char* q : kQueries) {
    auto st = db.Prepare(q);
    std::vector<std::string> lines;
    while (st.Step()) {
      std::string line;
      for (int c = 0; c < st.ColumnCount(); ++c) line += (c ? "|" : "") + (st.IsNull(c) ? "NULL" : st.Text(c));
      lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    for (const auto& l : lines) out += l + "\n";
    out += "--\n";
  }
  return out;
}

// The records the attacks aim at, as the server holds them.
struct Ids {
  std::string sealedSurvey, openSurvey, scan, write, openVisit;
};

class SealedPartsTest : public TeamSyncTest {
 protected:
  // The content id the server holds for what `sql` selects.
  std::string Id(const std::string& sql) {
    PgConnection owner(server_->Uri(db_));
    PgResult r = owner.Exec(sql);
    EXPECT_EQ(r.Rows(), 1) << sql;
    return r.Rows() ? r.Text(0, 0) : "";
  }

  int64_t PartsOnServer() {
    return ServerCount(
        "SELECT (SELECT count(*) FROM linkmeter.probes) + (SELECT count(*) FROM linkmeter.hop_stats) "
        "+ (SELECT count(*) FROM linkmeter.scan_rounds) + (SELECT count(*) FROM linkmeter.settings_write_keys) "
        "+ (SELECT count(*) FROM linkmeter.visit_ends) + (SELECT count(*) FROM linkmeter.survey_ends) "
        "+ (SELECT count(*) FROM linkmeter.scan_ends)");
  }

  Ids ServerIds() {
    return {Id("SELECT survey FROM linkmeter.survey_ends"),
            Id("SELECT content_id FROM linkmeter.surveys WHERE content_id NOT IN "
               "(SELECT survey FROM linkmeter.survey_ends)"),
            Id("SELECT scan FROM linkmeter.scan_ends"), Id("SELECT content_id FROM linkmeter.settings_writes"),
            Id("SELECT content_id FROM linkmeter.visits WHERE content_id NOT IN "
               "(SELECT visit FROM linkmeter.visit_ends)")};
  }
};

// One attack: who sends it, what, with the record it aims at as $1.
struct Attack {
  const char* who;
  const char* sql;
  std::string Ids::*target;
  const char* why;  // in the server's refusal
};

const Attack kAttacks[] = {
    {"bob", "INSERT INTO linkmeter.probes (survey, route, seq, at, answered, raw) VALUES ($1, 0, 99, 1, false, '')",
     &Ids::sealedSurvey, "sent by alice"},
    {"bob", "INSERT INTO linkmeter.probes (survey, route, seq, at, answered, raw) VALUES ($1, 0, 99, 1, false, '')",
     &Ids::openSurvey, "sent by alice"},
    {"bob",
     "INSERT INTO linkmeter.hop_stats (survey, route, hop, from_unit, unit, sent, answered, level_min) "
     "VALUES ($1, 0, 5, 1, 2, 50, 50, -20)",
     &Ids::sealedSurvey, "sent by alice"},
    {"bob", "INSERT INTO linkmeter.scan_rounds (scan, round, at, raw) VALUES ($1, 9, 1, '\\x00')",
     &Ids::scan, "sent by alice"},
    {"bob", "INSERT INTO linkmeter.settings_write_keys (write_id, position, key, new_json) VALUES ($1, 7, 'PW', '1')",
     &Ids::write, "sent by alice"},
    {"bob", "INSERT INTO linkmeter.visit_ends (visit, ended_at, seal) VALUES ($1, 86400000, "
            "linkmeter.visit_end_seal($1, 86400000))",
     &Ids::openVisit, "sent by alice"},
    {"bob", "INSERT INTO linkmeter.survey_ends (survey, ended_at, seal) VALUES ($1, 1, linkmeter.survey_seal($1, 1))",
     &Ids::openSurvey, "sent by alice"},
    {"boss", "INSERT INTO linkmeter.probes (survey, route, seq, at, answered, raw) VALUES ($1, 1, 98, 1, false, '')",
     &Ids::sealedSurvey, "sent by alice"},
    // The sender herself, after the end.
    {"alice", "INSERT INTO linkmeter.probes (survey, route, seq, at, answered, raw) VALUES ($1, 0, 99, 1, false, '')",
     &Ids::sealedSurvey, "sealed"},
    {"alice",
     "INSERT INTO linkmeter.probes (survey, route, seq, at, answered, raw, sent_by) "
     "VALUES ($1, 0, 77, 1, false, '', 'bob')",
     &Ids::openSurvey, "in the name of bob"},
    {"alice", "INSERT INTO linkmeter.visit_ends (visit, ended_at, seal) VALUES ($1, 86400000, "
              "linkmeter.visit_end_seal($1, 86400000))",
     &Ids::openVisit, "before it began"},
    {"alice", "INSERT INTO linkmeter.survey_ends (survey, ended_at, seal) VALUES ($1, 1765000009999, 'f00d')",
     &Ids::openSurvey, "seal does not match"},
};

// The same rows written by the server's owner with its checks switched off.
const std::pair<const char*, std::string Ids::*> kAroundTheChecks[] = {
    {"INSERT INTO linkmeter.probes (survey, route, seq, at, answered, raw) VALUES ($1, 0, 99, 1, false, '')",
     &Ids::sealedSurvey},
    {"INSERT INTO linkmeter.hop_stats (survey, route, hop, from_unit, unit, sent, answered) "
     "VALUES ($1, 0, 5, 1, 2, 9, 9)",
     &Ids::sealedSurvey},
    {"INSERT INTO linkmeter.probes (survey, route, seq, at, answered, raw) VALUES ($1, 0, 99, 1, false, '')",
     &Ids::openSurvey},
    {"INSERT INTO linkmeter.survey_ends (survey, ended_at, seal) VALUES ($1, 1765000009999, "
     "linkmeter.survey_seal($1, 1765000009999))",
     &Ids::openSurvey},
    {"INSERT INTO linkmeter.scan_rounds (scan, round, at, raw) VALUES ($1, 9, 1, '\\x00')", &Ids::scan},
    {"INSERT INTO linkmeter.settings_write_keys (write_id, position, key, new_json) VALUES ($1, 7, 'PW', '1')",
     &Ids::write},
    {"INSERT INTO linkmeter.visit_ends (visit, ended_at, seal) VALUES ($1, 86400000, "
     "linkmeter.visit_end_seal($1, 86400000))",
     &Ids::openVisit},
};

TEST_F(SealedPartsTest, NobodyAddsToAnotherSendersRecordsAndWhatGetsAroundTheServerIsNotKept) {
  Laptop a, b, c;
  rec::test::RecordFullVisit(*a.store, kStart);
  const rec::RowId open = *a.store->StartVisit({rec::test::kSiteSerial, "", ""}, {kStart + 1000, "Sato", "", ""});
  const rec::RowId running = *a.store->BeginSurvey(open, rec::test::SampleSurvey(kStart + 1010));
  a.store->AddProbes(running, rec::test::SampleProbes(1, 2, kStart + 1020));
  Sync(a, "alice");
  Sync(b, "bob");
  const std::string honest = Dump(a.File());
  ASSERT_EQ(Dump(b.File()), honest);
  const Ids ids = ServerIds();
  const int64_t parts = PartsOnServer();

  for (const auto& attack : kAttacks) {
    PgConnection conn(server_->Uri(db_, attack.who));
    try {
      conn.Exec(attack.sql, {ids.*attack.target});
      ADD_FAILURE() << attack.who << " got in: " << attack.sql;
    } catch (const SyncFailure& f) {
      EXPECT_NE(std::string(f.what()).find(attack.why), std::string::npos) << attack.sql << "\n" << f.what();
    }
  }
  EXPECT_EQ(PartsOnServer(), parts);

  {
    PgConnection owner(server_->Uri(db_));
    owner.Exec("SET session_replication_role = replica");
    for (const auto& [sql, target] : kAroundTheChecks) owner.Exec(sql, {ids.*target});
  }
  const SyncCounts again = Sync(a, "alice");
  EXPECT_FALSE(again.refused.empty());
  EXPECT_EQ(Dump(a.File()), honest);
  {
    rec::Database db(b.File());  // as an open does when the visit's program is gone
    db.Exec("UPDATE visits SET ended_at = " + std::to_string(kStart + 1500) +
            ", ended_without_closing = 1 WHERE ended_at IS NULL");
  }
  const std::string guessed = Dump(b.File());
  Sync(b, "bob");
  EXPECT_EQ(Dump(b.File()), guessed);  // the 1970 end, sent by no sender of the visit, never replaces the guess
  const SyncCounts fresh = Sync(c, "bob");
  EXPECT_EQ(Dump(c.File()), honest);
  ASSERT_FALSE(fresh.refused.empty());
  EXPECT_NE(fresh.refused[0].find("not from its sender alice"), std::string::npos) << fresh.refused[0];
}

// Rows written around the server's checks under the sender's own name: the
// seal no longer holds, so a laptop that lacks the survey keeps nothing of
// its visit, and the laptop that sealed it keeps its own.
TEST_F(SealedPartsTest, APartForgedUnderTheSendersNameBreaksTheSealAndIsNeverKept) {
  Laptop a, c;
  rec::test::RecordFullVisit(*a.store, kStart);
  Sync(a, "alice");
  const std::string honest = Dump(a.File());
  {
    PgConnection owner(server_->Uri(db_));
    owner.Exec("SET session_replication_role = replica");
    owner.Exec("INSERT INTO linkmeter.probes (survey, route, seq, at, answered, raw, sent_by) "
               "SELECT survey, 0, 99, 1, false, '', 'alice' FROM linkmeter.survey_ends");
    // The counts a sync compares, made to agree (with the triggers off they
    // would not notice): the sender's laptop then fetches the survey.
    owner.Exec("UPDATE linkmeter.part_counts SET n = n + 1 WHERE part = 'probes' "
               "AND head IN (SELECT survey FROM linkmeter.survey_ends)");
  }
  const SyncCounts again = Sync(a, "alice");
  EXPECT_EQ(Dump(a.File()), honest);
  ASSERT_EQ(again.refused.size(), 1u);
  EXPECT_NE(again.refused[0].find("differ from what has ended here"), std::string::npos) << again.refused[0];
  // The laptop without the survey sets its visit aside and keeps nothing of it.
  const SyncCounts fetched = Sync(c, "bob");
  ASSERT_EQ(fetched.setAside.size(), 1u) << "a survey whose seal does not hold was kept";
  EXPECT_NE(fetched.setAside[0].reason.find("seal that does not match"), std::string::npos)
      << fetched.setAside[0].reason;
  EXPECT_EQ(rec::test::CountRows(c.File(), "surveys"), 0);
}

}  // namespace sealed
}  // namespace lm::teamsync::test
