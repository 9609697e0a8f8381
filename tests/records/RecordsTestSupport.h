#pragma once
// Shared pieces of the store tests: a scratch folder and sample records.

#include <filesystem>
#include <string>
#include <vector>

#include "lm/records/RecordStore.h"

namespace lm::records::test {

class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

constexpr int64_t kSiteSerial = 0x00A00001;

std::unique_ptr<RecordStore> OpenStore(const std::filesystem::path& folder);
Bytes BytesOf(const std::string& text);
RawRecord SampleRaw(RawKind kind, Millis at);
// A plan: a few bytes of image and a decoded form naming their SHA-256.
RawRecord SamplePlan(Millis at);
RawRecord SampleMapEdit(Millis at, const std::string& json);
// A record's id with its decoded form left out, as a forger who hopes bytes
// keep the decoded form out of the id would compute it.
std::string IdWithoutDecoded(const std::string& visitId, const RawRecord& record);
SurveyInfo SampleSurvey(Millis at);
std::vector<Probe> SampleProbes(int routes, int perRoute, Millis at);
std::vector<HopStats> SampleHops(int routes, double level, double battery);
SettingsWrite SampleWrite(Millis at);

// Fills a visit with one record of every kind; returns the visit's id.
RowId RecordFullVisit(RecordStore& store, Millis startedAt, double level = -60);

int64_t CountRows(const std::filesystem::path& storeFile, const std::string& table);
std::string IntegrityCheck(const std::filesystem::path& storeFile);
std::vector<uint8_t> ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

}  // namespace lm::records::test
