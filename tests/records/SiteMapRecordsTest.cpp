// A site's plans and map edits travel with its export and are verified on
// import like every record: a plan whose image or description was changed
// in the file is refused, and so is an image under another image's hash or
// an edit whose position was left out of its id; a faithful file brings both
// back unchanged.
#include <gtest/gtest.h>

#include "RecordsTestSupport.h"
#include "lm/records/ContentId.h"
#include "lm/records/Database.h"

namespace lm::records::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kFirstEdit = R"({"action":"place","serial":"B80201","plan":"p","x":5,"y":6})";
const std::string kVisitId = VisitContentId(kSiteSerial, 1000);

// An export of one visit with a plan and two edits, then changed by `craft`.
fs::path MapExport(const ScratchDir& dir, const std::string& name, const std::string& craft) {
  const fs::path file = dir / name;
  {
    ScratchDir source;
    auto store = OpenStore(source.path());
    const RowId visit = *store->StartVisit({kSiteSerial, "North plant", "VL-BS"}, {1000, "Sato", "Acme", ""});
    EXPECT_TRUE(store->AddRaw(visit, SamplePlan(1100)));
    EXPECT_TRUE(store->AddRaw(visit, SampleMapEdit(1200, kFirstEdit)));
    EXPECT_TRUE(store->AddRaw(visit, SampleMapEdit(1200, R"({"action":"place","serial":"B80202","plan":"p","x":7,"y":8})")));
    EXPECT_TRUE(store->ExportSite(kSiteSerial, file));
  }
  if (!craft.empty()) Database(file, Database::Mode::kPrivate).Exec(craft);
  return file;
}

TEST(RecordsSiteMap, PlansAndEditsAreExportedAndVerifiedOnImport) {
  ScratchDir files, dir;
  auto store = OpenStore(dir.path());
  RawRecord swapped = SamplePlan(1100);  // another image under the first one's hash, with an id to match
  swapped.raw = {0x00};
  RawRecord moved = SampleMapEdit(1200, R"({"action":"place","serial":"B80201","plan":"p","x":50,"y":6})");
  moved.raw = {0x01};  // bytes, so a forger hopes the position is left out of the id
  const struct {
    const char* name;
    std::string craft;
  } forged[] = {
      {"image.sqlite", "UPDATE site_plans SET raw = x'00'"},
      {"scale.sqlite", "UPDATE site_plans SET decoded_json = replace(decoded_json, '800', '80')"},
      {"moved.sqlite", "UPDATE map_edits SET decoded_json = replace(decoded_json, '\"x\":5', '\"x\":50')"},
      {"swapped.sqlite", "UPDATE site_plans SET raw = x'00', content_id = '" + RawContentId(kVisitId, swapped) + "'"},
      {"bytes.sqlite", "UPDATE map_edits SET raw = x'01', decoded_json = '" + moved.decodedJson + "', content_id = '" +
                           IdWithoutDecoded(kVisitId, moved) + "' WHERE decoded_json = '" + kFirstEdit + "'"},
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
    EXPECT_EQ(plan->record.raw, SamplePlan(0).raw);
    EXPECT_EQ(plan->record.decodedJson, SamplePlan(0).decodedJson);
  }
}

}  // namespace
}  // namespace lm::records::test
