// Rows as a team server could send them, mutated, written into a store as a
// sync does. Whatever the rows, the write either keeps only records whose
// content ids match their contents (the store's own check passes) or is
// refused as a SyncFailure or a store constraint, leaving nothing; any other
// outcome (another exception, a crash) is a finding.
//
// The rows start from one honest visit of every kind, so the mutations reach
// the checks behind the content ids: each input picks rows and columns to
// overwrite, blank, swap between rows, duplicate or drop.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "lm/records/ContentIdCheck.h"
#include "lm/records/Database.h"
#include "lm/records/RecordStore.h"
#include "lm/records/SqlError.h"
#include "lm/records/StoreResult.h"
#include "lm/records/Transaction.h"
#include "lm/teamsync/LocalSide.h"
#include "lm/teamsync/PulledRows.h"
#include "lm/teamsync/SyncFailure.h"

namespace rec = lm::records;
namespace ts = lm::teamsync;
namespace fs = std::filesystem;

namespace {

fs::path Scratch() {
  static const fs::path dir = [] {
    std::string pattern = (fs::temp_directory_path() / "lm-pulled-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    return fs::path(pattern);
  }();
  return dir;
}

std::unique_ptr<rec::RecordStore> OpenStore(const std::string& name) {
  auto opened = rec::RecordStore::Open(Scratch() / name);
  if (!opened) std::abort();
  return std::move(*opened);
}

void RecordVisit(rec::RecordStore& store) {
  const rec::RowId visit = *store.StartVisit({0x00A00001, "North", "B-1"}, {1000, "Sato", "Acme", "gate 2"});
  store.AddRaw(visit, {rec::RawKind::kRegistration, 1100, 7, "unit", {}, {1, 2, 3}, R"({"a":1})"});
  store.AddRaw(visit, {rec::RawKind::kMapEdit, 1150, std::nullopt, "page", {}, {}, R"({"action":"unplace","serial":"B1"})"});
  const rec::RowId survey = *store.BeginSurvey(visit, {rec::SurveyKind::kSite, 1200, 2, "[[10485761,7]]", "{}", std::nullopt, ""});
  const rec::Probe probe{0, 0, 1201, true, {9, 8, 7}};
  store.AddProbes(survey, std::span(&probe, 1));
  const rec::HopStats hop{0, 0, 0x00A00001, 7, 1, 1, -60, -60, -60, 3.1};
  store.FinishSurvey(survey, 1300, std::span(&hop, 1));
  const rec::RowId scan = *store.BeginScan(visit, {1350, 7, "{}"});
  const rec::ScanRound round{0, 1351, {4, 5}, R"({"r":1})"};
  store.AddScanRounds(scan, std::span(&round, 1));
  store.AddSettingsWrite(visit, {1400, 7, true, "", {{"Interval", "60", "30"}, {"Name", std::nullopt, "\"T\""}}});
  store.UpdateVisit(visit, {0, "Sato", "Acme", "gate 3"});
  store.EndVisit(visit, 2000);
}

// The rows a server holding the honest visit would send for it.
const ts::VisitRows& HonestRows() {
  static const ts::VisitRows rows = [] {
    auto source = OpenStore("source");
    RecordVisit(*source);
    source.reset();
    ts::LocalSide local(Scratch() / "source" / "site-records.sqlite");
    const auto inventory = local.Items(std::nullopt);
    if (inventory.size() != 1) std::abort();
    std::set<std::string> items;
    for (const auto& [item, count] : inventory.begin()->second) items.insert(item);
    return local.RowsFor(inventory.begin()->first, items);
  }();
  return rows;
}

ts::PgValue SomeValue(FuzzedDataProvider& in, const ts::VisitRows& rows) {
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: return std::nullopt;
    case 1: return in.ConsumeRandomLengthString(80);
    case 2: return std::to_string(in.ConsumeIntegral<int64_t>());
    default: {  // a value of another row: ids and times that mean something
      auto table = rows.begin();
      std::advance(table, in.ConsumeIntegralInRange<size_t>(0, rows.size() - 1));
      if (table->second.empty()) return std::nullopt;
      const ts::Row& row = table->second[in.ConsumeIntegralInRange<size_t>(0, table->second.size() - 1)];
      return row[in.ConsumeIntegralInRange<size_t>(0, row.size() - 1)];
    }
  }
}

ts::VisitRows Mutated(FuzzedDataProvider& in) {
  ts::VisitRows rows = HonestRows();
  const int edits = in.ConsumeIntegralInRange(0, 8);
  for (int i = 0; i < edits && in.remaining_bytes() > 0; ++i) {
    auto table = rows.begin();
    std::advance(table, in.ConsumeIntegralInRange<size_t>(0, rows.size() - 1));
    ts::Rows& list = table->second;
    if (list.empty()) continue;
    const size_t at = in.ConsumeIntegralInRange<size_t>(0, list.size() - 1);
    switch (in.ConsumeIntegralInRange(0, 2)) {
      case 0: list[at][in.ConsumeIntegralInRange<size_t>(0, list[at].size() - 1)] = SomeValue(in, HonestRows()); break;
      case 1: list.push_back(list[at]); break;
      default: list.erase(list.begin() + static_cast<std::ptrdiff_t>(at)); break;
    }
  }
  return rows;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  HonestRows();
  OpenStore("target");  // made once, with its schema, and closed
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const ts::VisitRows rows = Mutated(in);
  // Each input starts from a copy of the empty store made at the start.
  const fs::path file = Scratch() / "work.sqlite";
  fs::copy_file(Scratch() / "target" / "site-records.sqlite", file, fs::copy_options::overwrite_existing);
  rec::Database db(file);
  {
    rec::Transaction tx(db);
    try {
      // A streamed value's bytes (a row whose raw became NULL) come from the input.
      ts::PulledRows(db, [&](const ts::Row&, const ts::PieceSink& take) {
        const std::string bytes = in.ConsumeRandomLengthString(64);
        take(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
      }).Write(rows);
    } catch (const ts::SyncFailure& f) {
      if (f.kind() != ts::SyncFailureKind::kUnverified) std::abort();
      return 0;
    } catch (const rec::SqlError& e) {
      if (e.Code() != 19) std::abort();  // only a constraint of the store may refuse
      return 0;
    }
    tx.Commit();
  }
  rec::CheckContentIds(db, "pulled rows");  // a StoreFailure here is a forged record kept: it aborts
  return 0;
}
