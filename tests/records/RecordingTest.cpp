// Recording each kind and reading it back; the audit trail of settings
// writes; a unit's trend across visits; refusals.
#include <gtest/gtest.h>

#include "RecordsTestSupport.h"

namespace lm::records::test {
namespace {

template <class T>
std::optional<StoreErrorCode> CodeOf(const Result<T>& result) {
  if (result) return std::nullopt;
  return result.error().code;
}

TEST(RecordsRecording, EveryRawKindReadsBackByteForByte) {
  ScratchDir dir;
  auto store = OpenStore(dir.path());
  const RowId visit = *store->StartVisit({kSiteSerial, "North plant", "VL-BS"}, {1000, "Sato", "Acme", ""});
  for (RawKind kind : {RawKind::kRegistration, RawKind::kDownload, RawKind::kEventLog, RawKind::kSettingsReadback,
                       RawKind::kAcceptance, RawKind::kWaiver, RawKind::kPlan, RawKind::kMapEdit}) {
    SCOPED_TRACE(RawKindName(kind));
    const RawRecord in = SampleRaw(kind, 2000);
    auto id = store->AddRaw(visit, in);
    ASSERT_TRUE(id) << id.error().message;
    auto again = store->AddRaw(visit, in);
    EXPECT_EQ(*again, *id) << "the same content is one record";
    auto out = store->ReadRaw(kind, *id);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->visitId, visit);
    EXPECT_EQ(out->record.raw, in.raw);
    EXPECT_EQ(out->record.header, in.header);
    EXPECT_EQ(out->record.decodedJson, in.decodedJson);
    EXPECT_EQ(out->record.unit, in.unit);
    EXPECT_EQ(out->record.takenAt, in.takenAt);
  }
  auto read = store->ReadVisit(visit);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->records.size(), 8u);
}

TEST(RecordsRecording, SurveyKeepsEveryProbeAndItsHopStatistics) {
  ScratchDir dir;
  auto store = OpenStore(dir.path());
  const RowId visit = *store->StartVisit({kSiteSerial, "", ""}, {1000, "", "", ""});
  const RowId survey = *store->BeginSurvey(visit, SampleSurvey(1100));
  const auto probes = SampleProbes(2, 4, 1200);
  // In two parts, the second overlapping the first: a probe is kept once.
  ASSERT_TRUE(store->AddProbes(survey, std::span(probes).first(5)));
  ASSERT_TRUE(store->AddProbes(survey, std::span(probes).subspan(3)));
  const auto hops = SampleHops(2, -61.5, 2.9);
  ASSERT_TRUE(store->FinishSurvey(survey, 1900, hops));
  auto out = store->ReadSurvey(survey);
  ASSERT_TRUE(out);
  ASSERT_EQ(out->probes.size(), probes.size());
  for (size_t i = 0; i < probes.size(); ++i) {
    EXPECT_EQ(out->probes[i].raw, probes[i].raw) << i;
    EXPECT_EQ(out->probes[i].answered, probes[i].answered) << i;
  }
  ASSERT_EQ(out->hops.size(), 2u);
  EXPECT_EQ(out->hops[1].levelAvg, -61.5);
  EXPECT_EQ(out->hops[1].battery, 2.9);
  EXPECT_EQ(out->endedAt, 1900);
  EXPECT_EQ(out->info.thresholdsJson, SampleSurvey(0).thresholdsJson);
  auto read = store->ReadVisit(visit);
  ASSERT_EQ(read->records.size(), 1u);
  EXPECT_EQ(read->records[0].kind, "site-survey");
}

TEST(RecordsRecording, SettingsWriteIsAnAuditTrail) {
  ScratchDir dir;
  auto store = OpenStore(dir.path());
  const RowId visit = *store->StartVisit({kSiteSerial, "", ""}, {1000, "", "", ""});
  const SettingsWrite first = SampleWrite(5000);
  SettingsWrite refused = {4000, 0x00B00011, false, "the unit refused the write", {{"channel", "3", "7"}}};
  ASSERT_TRUE(store->AddSettingsWrite(visit, first));
  ASSERT_TRUE(store->AddSettingsWrite(visit, refused));
  ASSERT_TRUE(store->AddSettingsWrite(visit, first));  // delivered twice: kept once
  auto read = store->ReadVisit(visit);
  ASSERT_TRUE(read);
  const auto& writes = read->settingsWrites;
  ASSERT_EQ(writes.size(), 2u);
  // By time: the refused one came first.
  EXPECT_FALSE(writes[0].write.succeeded);
  EXPECT_EQ(writes[0].write.message, "the unit refused the write");
  EXPECT_EQ(writes[0].write.unit, 0x00B00011);
  const auto& w = writes[1].write;
  EXPECT_EQ(w.writtenAt, 5000);
  ASSERT_EQ(w.changes.size(), 2u);
  const struct {
    std::string key;
    std::optional<std::string> oldJson;
    std::string newJson;
  } expected[] = {{"interval", "600", "300"}, {"name", std::nullopt, "\"Tank 2\""}};
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(w.changes[i].key, expected[i].key);
    EXPECT_EQ(w.changes[i].oldJson, expected[i].oldJson);
    EXPECT_EQ(w.changes[i].newJson, expected[i].newJson);
  }
  EXPECT_EQ(read->records.back().kind, "settings-write");
}

TEST(RecordsRecording, UnitTrendFollowsTheUnitAcrossVisitsOfItsSite) {
  ScratchDir dir;
  auto store = OpenStore(dir.path());
  RecordFullVisit(*store, 10'000, -55);
  RecordFullVisit(*store, 90'000, -71);
  RecordFullVisit(*store, 50'000, -63);
  // Another site with the same unit serial must not mix in.
  const RowId other = *store->StartVisit({kSiteSerial + 1, "", ""}, {20'000, "", "", ""});
  const RowId survey = *store->BeginSurvey(other, SampleSurvey(20'001));
  store->FinishSurvey(survey, 20'002, SampleHops(1, -99, 1.0));
  auto trend = store->UnitTrend(kSiteSerial, 0x00B00010);
  ASSERT_TRUE(trend);
  ASSERT_EQ(trend->size(), 3u);
  const double levels[] = {-55, -63, -71};
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ((*trend)[i].levelAvg, levels[i]) << i;
  EXPECT_EQ((*trend)[0].battery, 3.1);
  auto visits = store->ListVisits(kSiteSerial);
  ASSERT_EQ(visits->size(), 3u);
  EXPECT_EQ((*visits)[0].info.startedAt, 90'000) << "newest first";
  EXPECT_EQ((*visits)[0].endedAt, 90'100);
  auto sites = store->ListSites();
  ASSERT_EQ(sites->size(), 2u);
}

TEST(RecordsRecording, RefusalsAreResultsWithTheirCode) {
  ScratchDir dir;
  auto store = OpenStore(dir.path());
  const RowId visit = *store->StartVisit({kSiteSerial, "", ""}, {1000, "", "", ""});
  SurveyInfo badThresholds = SampleSurvey(1);
  badThresholds.thresholdsJson = "weak=-80";
  const std::vector<Probe> probe = SampleProbes(1, 1, 0);
  const struct {
    const char* what;
    StoreErrorCode code;
    std::function<std::optional<StoreErrorCode>(RecordStore&)> call;
  } cases[] = {
      {"record into a missing visit", StoreErrorCode::kNotFound,
       [](RecordStore& s) { return CodeOf(s.AddRaw(999, SampleRaw(RawKind::kEventLog, 1))); }},
      {"probes of a missing survey", StoreErrorCode::kNotFound,
       [&](RecordStore& s) { return CodeOf(s.AddProbes(999, probe)); }},
      {"thresholds that are no JSON", StoreErrorCode::kInvalid,
       [&](RecordStore& s) { return CodeOf(s.BeginSurvey(visit, badThresholds)); }},
      {"a settings write without keys", StoreErrorCode::kInvalid,
       [&](RecordStore& s) { return CodeOf(s.AddSettingsWrite(visit, {1, 2, true, "", {}})); }},
      {"read a missing survey", StoreErrorCode::kNotFound, [](RecordStore& s) { return CodeOf(s.ReadSurvey(5)); }},
      {"export a site never visited", StoreErrorCode::kNotFound,
       [&](RecordStore& s) { return CodeOf(s.ExportSite(42, dir / "x.sqlite")); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.call(*store), c.code);
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "x.sqlite"));
  EXPECT_FALSE(std::filesystem::exists(dir / "x.sqlite.part"));
}

}  // namespace
}  // namespace lm::records::test
