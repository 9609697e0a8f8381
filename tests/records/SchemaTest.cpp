// The store's file settings, its tables, and forward migration from a
// version-1 file the test makes itself.
#include <gtest/gtest.h>

#include "RecordsTestSupport.h"
#include "lm/records/ContentId.h"
#include "lm/records/Database.h"
#include "lm/records/RecordWriter.h"
#include "lm/records/Schema.h"
#include "lm/records/SqlError.h"

namespace lm::records::test {
namespace {

TEST(RecordsSchema, ConnectionAndFileSettings) {
  ScratchDir dir;
  OpenStore(dir.path());
  Database db(dir / kStoreFileName);
  const struct {
    const char* pragma;
    std::string expected;
  } cases[] = {
      {"PRAGMA journal_mode", "wal"},
      {"PRAGMA synchronous", "1"},  // NORMAL
      {"PRAGMA foreign_keys", "1"},
      {"PRAGMA busy_timeout", std::to_string(Database::kBusyTimeout.count())},
      {"PRAGMA user_version", std::to_string(CurrentSchemaVersion())},
  };
  for (const auto& c : cases) EXPECT_EQ(db.QueryText(c.pragma), c.expected) << c.pragma;
}

TEST(RecordsSchema, EveryKindHasItsTableAndTheTrendIsIndexed) {
  ScratchDir dir;
  OpenStore(dir.path());
  Database db(dir / kStoreFileName);
  for (const char* table : {"sites", "visits", "registration_snapshots", "downloads", "event_logs",
                            "settings_readbacks", "surveys", "probes", "hop_stats", "channel_scans", "scan_rounds",
                            "settings_writes", "settings_write_keys"}) {
    EXPECT_EQ(db.QueryInt(std::string("SELECT count(*) FROM sqlite_schema WHERE type='table' AND name='") + table +
                          "'"),
              1)
        << table;
  }
  auto st = db.Prepare(
      "EXPLAIN QUERY PLAN SELECT h.level_avg FROM hop_stats h JOIN surveys su ON su.id = h.survey_id "
      "JOIN visits v ON v.id = su.visit_id JOIN sites s ON s.id = v.site_id WHERE h.unit = ? AND s.serial = ?");
  st.BindAll(int64_t{5}, int64_t{6});
  std::string all;
  while (st.Step()) all += st.Text(3) + "\n";
  EXPECT_NE(all.find("hop_stats_by_unit"), std::string::npos) << all;
}

// The raw-record tables of later versions are stored with the text of the
// first ones, their names aside, with the same index and sync-mark trigger:
// an import compares a file's schema with the store's, so text that drifted
// would refuse the files of an earlier build at the same version.
TEST(RecordsSchema, LaterRawRecordTablesAreStoredLikeTheFirst) {
  ScratchDir dir;
  OpenStore(dir.path());
  Database db(dir / kStoreFileName);
  auto sqlOf = [&db](const std::string& type, const std::string& name) {
    return db.QueryText("SELECT sql FROM sqlite_schema WHERE type = '" + type + "' AND name = '" + name + "'");
  };
  const std::string first = "registration_snapshots";
  const std::string model = sqlOf("table", first);
  for (const std::string table : {"acceptances", "waivers", "site_plans", "map_edits"}) {
    std::string expected = model;
    expected.replace(expected.find(first), first.size(), table);
    if (table == "site_plans") {  // made again with its image last
      expected.replace(expected.find(table), table.size(), '"' + table + '"');
      const std::string raw = "raw BLOB NOT NULL, ", json = "decoded_json TEXT";
      expected.replace(expected.find(raw), raw.size() + json.size(), json + ", raw BLOB NOT NULL");
    }
    EXPECT_EQ(sqlOf("table", table), expected);
    EXPECT_EQ(sqlOf("index", table + "_by_visit"), "CREATE INDEX " + table + "_by_visit ON " + table + "(visit_id)");
    EXPECT_EQ(sqlOf("trigger", "unmark_" + table), "CREATE TRIGGER unmark_" + table + " AFTER INSERT ON " + table +
                                                       "\n  BEGIN DELETE FROM sync_marks WHERE visit_id = NEW.visit_id; END");
  }
}

// A site and an open visit, written as an earlier build wrote them
// (straight into its tables); the visit's row id.
RowId AddOpenVisit(Database& db) {
  db.Prepare("INSERT INTO sites(content_id, serial, name, model) VALUES (?, ?, 'North plant', 'VL-BS')")
      .BindAll(SiteContentId(kSiteSerial), kSiteSerial)
      .Run();
  db.Prepare("INSERT INTO visits(content_id, site_id, started_at, technician) VALUES (?, 1, 1000, 'Sato')")
      .BindAll(VisitContentId(kSiteSerial, 1000))
      .Run();
  return db.LastInsertId();
}

// The steps of the build before the plans' images moved last.
std::vector<SchemaStep> StepsToVersion11() {
  std::vector<SchemaStep> steps(SchemaSteps().begin(), SchemaSteps().end() - 1);
  EXPECT_EQ(steps.back().version, 11);
  return steps;
}

// A plan's image ends its row, so that the room a fetched image is written
// into is never built in memory; the plans of a store made before keep
// their every byte, and the store opens with its records' checks passed.
TEST(RecordsSchema, PlansKeptBeforeTheirImageMovedLastStayTheSame) {
  ScratchDir dir;
  const auto path = dir / kStoreFileName;
  const auto plans = [](Database& db) {
    return db.QueryText("SELECT group_concat(id || content_id || visit_id || taken_at || coalesce(unit, '') || source || "
                        "hex(header) || decoded_json || hex(raw), '|') FROM site_plans");
  };
  std::string before;
  {
    Database db(path);
    Migrate(db, StepsToVersion11());
    RecordWriter(db).AddRaw(AddOpenVisit(db), SampleRaw(RawKind::kPlan, 1100));
    before = plans(db);
  }
  ASSERT_FALSE(before.empty());
  EXPECT_EQ(OpenStore(dir.path())->report().state, StoreState::kMigrated);
  Database db(path);
  EXPECT_EQ(db.QueryText("SELECT name FROM pragma_table_info('site_plans') ORDER BY cid DESC LIMIT 1"), "raw");
  EXPECT_EQ(plans(db), before);
}

// A file written at version 11 (an export of the build before) brings its
// plan in whole: the copy checked against version 11's schema, then moved
// forward before its rows are taken.
TEST(RecordsSchema, AFileOfVersion11BringsItsPlanInWhole) {
  ScratchDir dir, other;
  const auto file = other / "v11.sqlite";
  std::string image;
  {
    Database db(file);
    Migrate(db, StepsToVersion11());
    RawRecord plan{RawKind::kPlan, 1100, std::nullopt, "file", {}, Bytes(3000, 0x5a), ""};
    plan.decodedJson = R"({"name":"Yard","format":"png","width":40,"height":30,"sha256":")" + Sha256Hex(plan.raw) + "\"}";
    RecordWriter(db).AddRaw(AddOpenVisit(db), plan);
    image = db.QueryText("SELECT hex(raw) FROM site_plans");
  }
  auto store = OpenStore(dir.path());
  const auto counts = store->Import(file);
  ASSERT_TRUE(counts) << counts.error().message;
  EXPECT_EQ(counts->visits, 1);
  Database db(dir / kStoreFileName);
  EXPECT_EQ(db.QueryText("SELECT hex(raw) FROM site_plans"), image);
  EXPECT_FALSE(image.empty());
}

// A second version as a later build would add it: a column and an index.
std::vector<SchemaStep> StepsWithVersion2(const char* v2sql) {
  std::vector<SchemaStep> steps = {SchemaSteps().front()};
  steps.push_back({2, [v2sql](Database& db) { db.Exec(v2sql); }});
  return steps;
}

RowId MakeVersion1File(const std::filesystem::path& path) {
  Database db(path);
  EXPECT_EQ(Migrate(db, {SchemaSteps().front()}), MigrateOutcome::kCreated);
  EXPECT_EQ(db.UserVersion(), 1);
  const RowId visit = AddOpenVisit(db);
  RecordWriter(db).AddSettingsWrite(visit, SampleWrite(1100));
  return visit;
}

TEST(RecordsSchema, Version1FileMovesForwardKeepingItsRecords) {
  ScratchDir dir;
  const auto path = dir / "v1.sqlite";
  const RowId visit = MakeVersion1File(path);
  Database db(path);
  ASSERT_EQ(Migrate(db, StepsWithVersion2("ALTER TABLE visits ADD COLUMN weather TEXT NOT NULL DEFAULT '';"
                                          "CREATE INDEX visits_by_technician ON visits(technician);")),
            MigrateOutcome::kMigrated);
  EXPECT_EQ(db.UserVersion(), 2);
  EXPECT_EQ(db.QueryText("SELECT technician || '/' || weather FROM visits"), "Sato/");
  EXPECT_EQ(db.QueryInt("SELECT count(*) FROM settings_write_keys"), 2);
  EXPECT_EQ(RecordWriter(db).AddRaw(visit, SampleRaw(RawKind::kEventLog, 1200)), 1);
  // Run again: nothing left to do.
  EXPECT_EQ(Migrate(db, StepsWithVersion2("SELECT 1")), MigrateOutcome::kUpToDate);
}

TEST(RecordsSchema, FailingStepLeavesTheFileAtTheVersionBefore) {
  ScratchDir dir;
  const auto path = dir / "v1.sqlite";
  MakeVersion1File(path);
  Database db(path);
  EXPECT_THROW(Migrate(db, StepsWithVersion2("ALTER TABLE visits ADD COLUMN weather TEXT; SELECT * FROM nowhere;")),
               SqlError);
  EXPECT_EQ(db.UserVersion(), 1);
  EXPECT_EQ(db.QueryInt("SELECT count(*) FROM pragma_table_info('visits') WHERE name = 'weather'"), 0);
}

TEST(RecordsSchema, NewerFileIsLeftUntouched) {
  ScratchDir dir;
  const auto path = dir / "v3.sqlite";
  MakeVersion1File(path);
  Database db(path);
  db.SetUserVersion(CurrentSchemaVersion() + 1);
  EXPECT_EQ(Migrate(db), MigrateOutcome::kNewer);
  EXPECT_EQ(db.UserVersion(), CurrentSchemaVersion() + 1);
}

TEST(RecordsSchema, StoreOpensAVersion1FileAndReadsIt) {
  ScratchDir dir;
  MakeVersion1File(dir / kStoreFileName);
  auto store = OpenStore(dir.path());
  EXPECT_EQ(store->report().state, CurrentSchemaVersion() == 1 ? StoreState::kOpened : StoreState::kMigrated);
  auto visits = store->ListVisits(kSiteSerial);
  ASSERT_TRUE(visits);
  ASSERT_EQ(visits->size(), 1u);
  EXPECT_EQ((*visits)[0].info.technician, "Sato");
  EXPECT_EQ((*visits)[0].contentId, VisitContentId(kSiteSerial, 1000)) << "ids stay what version 1 made them";
  // Its program is long gone: closed at its last record, and marked so.
  EXPECT_EQ((*visits)[0].endedAt, 1100);
  EXPECT_TRUE((*visits)[0].endedWithoutClosing);
  EXPECT_EQ(store->report().closedVisits, 1);
  EXPECT_EQ(store->ReadVisit((*visits)[0].id)->settingsWrites.size(), 1u);
}

}  // namespace
}  // namespace lm::records::test
