// Feeds arbitrary bytes to the site-records import as a file. Whatever the
// bytes, the import answers (a refusal or counts) and a refused file adds
// nothing to the store.
//
// With LM_RECORDS_FUZZ_SEEDS naming a folder, the first run writes seed
// files there (a full export, compacted to small pages), to start a corpus:
//   LM_RECORDS_FUZZ_SEEDS=corpus ./fuzz_records_import corpus
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "lm/records/Database.h"
#include "lm/records/RecordStore.h"

using namespace lm::records;
namespace fs = std::filesystem;

namespace {

fs::path Scratch() {
  static const fs::path dir = [] {
    std::string pattern = (fs::temp_directory_path() / "lm-records-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    return fs::path(pattern);
  }();
  return dir;
}

RecordStore& Store() {
  static std::unique_ptr<RecordStore> store = [] {
    auto opened = RecordStore::Open(Scratch() / "store");
    if (!opened) std::abort();
    return std::move(*opened);
  }();
  return *store;
}

void WriteSeeds(const fs::path& folder) {
  fs::create_directories(folder);
  auto& store = Store();
  const RowId visit = *store.StartVisit({0x00A00001, "North", "B-1"}, {1000, "K", "Board", ""});
  store.AddRaw(visit, {RawKind::kRegistration, 1100, 7, "unit", {}, {1, 2, 3}, R"({"a":1})"});
  const RowId survey = *store.BeginSurvey(visit, {SurveyKind::kSite, 1200, 2, "[[10485761,7]]", "{}", 1, ""});
  const Probe probe{0, 0, 1201, true, {9, 8, 7}};
  store.AddProbes(survey, std::span(&probe, 1));
  const HopStats hop{0, 0, 0x00A00001, 7, 1, 1, -60, -60, -60, 3.1};
  store.FinishSurvey(survey, 1300, std::span(&hop, 1));
  store.AddSettingsWrite(visit, {1400, 7, true, "", {{"Interval", "60", "30"}}});
  store.EndVisit(visit, 2000);
  const fs::path seed = folder / "seed-visit.sqlite";
  if (!store.ExportVisit(visit, seed)) std::abort();
  Database db(seed, Database::Mode::kPrivate);
  db.Exec("PRAGMA page_size=512; VACUUM;");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (const char* seeds = std::getenv("LM_RECORDS_FUZZ_SEEDS")) WriteSeeds(seeds);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fs::path file = Scratch() / "input.sqlite";
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  auto& store = Store();
  const size_t before = store.ListSites()->size();
  auto counts = store.Import(file);
  if (!counts && store.ListSites()->size() != before) std::abort();
  return 0;
}
