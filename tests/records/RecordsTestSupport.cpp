#include "RecordsTestSupport.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "lm/records/ContentId.h"
#include "lm/records/Database.h"

namespace lm::records::test {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
  std::string pattern = (fs::temp_directory_path() / "lm-records-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::unique_ptr<RecordStore> OpenStore(const fs::path& folder) {
  auto opened = RecordStore::Open(folder);
  if (!opened) throw std::runtime_error("open failed: " + opened.error().message);
  return std::move(*opened);
}

Bytes BytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

RawRecord SampleRaw(RawKind kind, Millis at) {
  RawRecord r;
  r.kind = kind;
  r.takenAt = at;
  r.unit = 0x00B00010;
  r.source = "unit";
  if (kind == RawKind::kDownload) r.header = BytesOf("HDR\x01");
  r.raw = {0x00, 0xff, 0x10, 0x00, 0x7f};  // embedded zero bytes must survive
  r.decodedJson = R"({"n":1})";
  return r;
}

RawRecord SamplePlan(Millis at) {
  RawRecord r;
  r.kind = RawKind::kPlan;
  r.takenAt = at;
  r.source = "file";
  r.raw = {0x89, 'P', 'N', 'G', 0x00, 0x0d};
  r.decodedJson = std::string(R"({"name":"Pump house","format":"png","width":800,"height":600,"sha256":")") +
                  Sha256Hex(r.raw) + "\"}";
  return r;
}

RawRecord SampleMapEdit(Millis at, const std::string& json) {
  RawRecord r;
  r.kind = RawKind::kMapEdit;
  r.takenAt = at;
  r.decodedJson = json;
  return r;
}

std::string IdWithoutDecoded(const std::string& visitId, const RawRecord& r) {
  ContentHasher h(RawKindName(r.kind));
  h.Add(visitId).Add(r.takenAt).Add(r.unit).Add(r.source);
  return h.Add(std::span<const uint8_t>(r.header)).Add(std::span<const uint8_t>(r.raw)).Finish();
}

SurveyInfo SampleSurvey(Millis at) {
  return {SurveyKind::kSite, at, 3, R"([[10485761,11534352],[10485761,11534353]])", R"({"levelWeak":-80})",
          std::nullopt, ""};
}

std::vector<Probe> SampleProbes(int routes, int perRoute, Millis at) {
  std::vector<Probe> probes;
  for (int r = 0; r < routes; ++r) {
    for (int s = 0; s < perRoute; ++s) {
      probes.push_back({r, s, at + r * 100 + s, s % 4 != 3, s % 4 != 3 ? BytesOf("ANS" + std::to_string(s)) : Bytes{}});
    }
  }
  return probes;
}

std::vector<HopStats> SampleHops(int routes, double level, double battery) {
  std::vector<HopStats> hops;
  for (int r = 0; r < routes; ++r) {
    hops.push_back({r, 0, kSiteSerial, 0x00B00010 + r, 3, 2, level - 2, level, level + 2, battery});
  }
  return hops;
}

SettingsWrite SampleWrite(Millis at) {
  return {at, 0x00B00010, true, "", {{"interval", "600", "300"}, {"name", std::nullopt, "\"Tank 2\""}}};
}

RowId RecordFullVisit(RecordStore& store, Millis startedAt, double level) {
  auto visit = store.StartVisit({kSiteSerial, "North plant", "VL-BS"}, {startedAt, "Sato", "Acme", "first"});
  if (!visit) throw std::runtime_error(visit.error().message);
  for (RawKind kind : {RawKind::kRegistration, RawKind::kDownload, RawKind::kEventLog, RawKind::kSettingsReadback}) {
    store.AddRaw(*visit, SampleRaw(kind, startedAt + 10));
  }
  auto survey = store.BeginSurvey(*visit, SampleSurvey(startedAt + 20));
  const auto probes = SampleProbes(2, 3, startedAt + 30);
  store.AddProbes(*survey, probes);
  const auto hops = SampleHops(2, level, 3.1);
  store.FinishSurvey(*survey, startedAt + 40, hops);
  auto scan = store.BeginScan(*visit, {startedAt + 50, 0x00B00010, R"({"rounds":2})"});
  const std::vector<ScanRound> rounds = {{0, startedAt + 51, BytesOf("R0"), ""}, {1, startedAt + 52, BytesOf("R1"), "[1]"}};
  store.AddScanRounds(*scan, rounds);
  store.FinishScan(*scan, startedAt + 53);
  store.AddSettingsWrite(*visit, SampleWrite(startedAt + 60));
  store.EndVisit(*visit, startedAt + 100);
  return *visit;
}

int64_t CountRows(const fs::path& storeFile, const std::string& table) {
  Database db(storeFile);
  return db.QueryInt("SELECT count(*) FROM " + table);
}

std::string IntegrityCheck(const fs::path& storeFile) {
  Database db(storeFile);
  return db.QueryText("PRAGMA integrity_check");
}

std::vector<uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace lm::records::test
