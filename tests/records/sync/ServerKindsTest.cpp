// The team server's schema and the sync layouts held to the declared record
// kinds: every server column is covered by an id or a seal, or declared as
// stamped by the server; every layout sends exactly what a client may; a
// column added on the server without being declared fails.
#include <gtest/gtest.h>

#include "../KindsCheck.h"
#include "TeamSyncFixture.h"
#include "lm/teamsync/TableLayouts.h"

namespace lm::teamsync::test {
namespace kinds {

namespace rec = lm::records;

rec::test::FoundSchema ServerSchemaFound(PgConnection& conn) {
  PgResult r = conn.Exec(
      "SELECT c.table_name, c.column_name FROM information_schema.columns c JOIN information_schema.tables t "
      "ON t.table_schema = c.table_schema AND t.table_name = c.table_name "
      "WHERE c.table_schema = 'linkmeter' AND t.table_type = 'BASE TABLE'");
  rec::test::FoundSchema out;
  for (int i = 0; i < r.Rows(); ++i) out[r.Text(i, 0)].insert(r.Text(i, 1));
  return out;
}

using ServerKindsTest = TeamSyncTest;

TEST_F(ServerKindsTest, EveryServerColumnIsDeclaredAndAnUndeclaredOneFails) {
  PgConnection owner(server_->Uri(db_));
  auto complaints = rec::test::AgainstKinds(ServerSchemaFound(owner), true);
  EXPECT_TRUE(complaints.empty()) << complaints.front();
  owner.Exec("ALTER TABLE linkmeter.hop_stats ADD COLUMN noise double precision");
  complaints = rec::test::AgainstKinds(ServerSchemaFound(owner), true);
  ASSERT_EQ(complaints.size(), 1u);
  EXPECT_NE(complaints[0].find("hop_stats.noise"), std::string::npos) << complaints[0];
}

TEST(ServerKinds, EachLayoutSendsWhatItsTableDeclaresAClientMaySend) {
  for (const auto& layout : TableLayouts()) {
    SCOPED_TRACE(layout.table);
    if (layout.pullOnly) continue;  // the server's stamps, fetched back: a client sends none
    std::set<std::string> declared, sent;
    for (const auto& kind : rec::RecordKinds()) {
      for (const auto& t : kind.server) {
        if (std::string(t.table) != layout.table) continue;
        for (const auto& c : t.columns) {
          if (c.vouch != rec::Vouch::kServer) declared.insert(c.name);
        }
      }
    }
    for (const auto& c : layout.columns) sent.insert(c.name);
    EXPECT_EQ(sent, declared);
  }
}

}  // namespace kinds
}  // namespace lm::teamsync::test
