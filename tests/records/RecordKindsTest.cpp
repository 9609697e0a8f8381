// The store's schema held to the declared record kinds: every column of
// every table is covered by an id or a seal, or declared as what it is; a
// column or table added without being declared fails.
#include <gtest/gtest.h>

#include "KindsCheck.h"
#include "RecordsTestSupport.h"
#include "lm/records/Database.h"

namespace lm::records::test {
namespace {

FoundSchema LocalSchema(Database& db) {
  FoundSchema out;
  auto tables = db.Prepare("SELECT name FROM sqlite_schema WHERE type = 'table' AND name NOT LIKE 'sqlite%'");
  while (tables.Step()) {
    auto columns = db.Prepare("SELECT name FROM pragma_table_info(?)");
    columns.BindAll(tables.Text(0));
    auto& set = out[tables.Text(0)];
    while (columns.Step()) set.insert(columns.Text(0));
  }
  return out;
}

TEST(RecordKinds, EveryColumnOfTheStoreIsDeclaredAndAnUndeclaredOneFails) {
  const struct {
    const char* change;
    const char* named;  // in the one complaint; null: none
  } cases[] = {
      {"", nullptr},
      {"ALTER TABLE surveys ADD COLUMN quality REAL", "surveys.quality"},
      {"ALTER TABLE probes ADD COLUMN rssi INTEGER", "probes.rssi"},
      {"CREATE TABLE photos (id INTEGER PRIMARY KEY, visit_id INTEGER, jpeg BLOB)", "table photos"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.change);
    ScratchDir dir;
    OpenStore(dir.path());
    Database db(dir / "site-records.sqlite");
    if (*c.change) db.Exec(c.change);
    const auto complaints = AgainstKinds(LocalSchema(db), false);
    if (!c.named) {
      EXPECT_TRUE(complaints.empty()) << complaints.front();
      continue;
    }
    ASSERT_EQ(complaints.size(), 1u);
    EXPECT_NE(complaints[0].find(c.named), std::string::npos) << complaints[0];
  }
}

TEST(RecordKinds, PartsAreSealedByARecordKindAndEveryRecordHasItsId) {
  for (const auto& kind : RecordKinds()) {
    SCOPED_TRACE(kind.name);
    if (kind.sealedBy) {
      const auto by = std::find_if(RecordKinds().begin(), RecordKinds().end(),
                                   [&](const RecordKind& k) { return std::string(k.name) == kind.sealedBy; });
      EXPECT_NE(by, RecordKinds().end());
    }
    for (const auto& t : kind.local) {
      const bool hasId = std::any_of(t.columns.begin(), t.columns.end(),
                                     [](const KindColumn& c) { return c.vouch == Vouch::kContentId; });
      // What the server stamped on a record, fetched back (a map edit's
      // receipt), is the record's link and the stamps only.
      const bool stamps = std::all_of(t.columns.begin(), t.columns.end(), [](const KindColumn& c) {
        return c.vouch == Vouch::kLink || c.vouch == Vouch::kServer;
      });
      if (stamps) continue;
      EXPECT_EQ(hasId, kind.sealedBy == nullptr) << t.table;  // a part is vouched for by its record
    }
  }
}

}  // namespace
}  // namespace lm::records::test
