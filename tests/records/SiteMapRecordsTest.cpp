// A site's plans and map edits travel with its export and are verified on
// import like every record: a plan whose image or description was changed
// in the file is refused, and a faithful file brings both back unchanged.
#include <gtest/gtest.h>

#include "RecordsTestSupport.h"
#include "lm/records/Database.h"

namespace lm::records::test {
namespace {

namespace fs = std::filesystem;

RawRecord Plan(Millis at) {
  RawRecord r;
  r.kind = RawKind::kPlan;
  r.takenAt = at;
  r.source = "file";
  r.raw = {0x89, 'P', 'N', 'G', 0x00, 0x0d};
  r.decodedJson = R"({"name":"Pump house","format":"png","width":800,"height":600,"sha256":"ab"})";
  return r;
}

RawRecord Edit(Millis at, const std::string& json) {
  RawRecord r;
  r.kind = RawKind::kMapEdit;
  r.takenAt = at;
  r.decodedJson = json;
  return r;
}

// An export of one visit with a plan and two edits, then changed by `craft`.
fs::path MapExport(const ScratchDir& dir, const std::string& name, const std::string& craft) {
  const fs::path file = dir / name;
  {
    ScratchDir source;
    auto store = OpenStore(source.path());
    const RowId visit = *store->StartVisit({kSiteSerial, "North plant", "VL-BS"}, {1000, "Sato", "Acme", ""});
    EXPECT_TRUE(store->AddRaw(visit, Plan(1100)));
    EXPECT_TRUE(store->AddRaw(visit, Edit(1200, R"({"action":"place","serial":"B80201","plan":"ab","x":5,"y":6})")));
    EXPECT_TRUE(store->AddRaw(visit, Edit(1200, R"({"action":"place","serial":"B80202","plan":"ab","x":7,"y":8})")));
    EXPECT_TRUE(store->ExportSite(kSiteSerial, file));
  }
  if (!craft.empty()) Database(file, Database::Mode::kPrivate).Exec(craft);
  return file;
}

TEST(RecordsSiteMap, PlansAndEditsAreExportedAndVerifiedOnImport) {
  ScratchDir files, dir;
  auto store = OpenStore(dir.path());
  const struct {
    const char* name;
    const char* craft;
  } forged[] = {
      {"image.sqlite", "UPDATE site_plans SET raw = x'00'"},
      {"scale.sqlite", "UPDATE site_plans SET decoded_json = replace(decoded_json, '800', '80')"},
      {"moved.sqlite", "UPDATE map_edits SET decoded_json = replace(decoded_json, '\"x\":5', '\"x\":50')"},
  };
  for (const auto& f : forged) {
    SCOPED_TRACE(f.name);
    auto result = store->Import(MapExport(files, f.name, f.craft));
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().code, StoreErrorCode::kDamagedFile);
  }
  auto counts = store->Import(MapExport(files, "faithful.sqlite", ""));
  ASSERT_TRUE(counts) << counts.error().message;
  EXPECT_EQ(CountRows(dir / kStoreFileName, "site_plans"), 1);
  EXPECT_EQ(CountRows(dir / kStoreFileName, "map_edits"), 2);
  const auto visits = *store->ListVisits(kSiteSerial);
  ASSERT_EQ(visits.size(), 1u);
  const auto read = store->ReadVisit(visits[0].id);
  ASSERT_TRUE(read);
  for (const auto& r : read->records) {
    if (r.kind != "plan") continue;
    const auto plan = store->ReadRaw(RawKind::kPlan, r.id);
    ASSERT_TRUE(plan) << plan.error().message;
    EXPECT_EQ(plan->record.raw, Plan(0).raw);
    EXPECT_EQ(plan->record.decodedJson, Plan(0).decodedJson);
  }
}

}  // namespace
}  // namespace lm::records::test
