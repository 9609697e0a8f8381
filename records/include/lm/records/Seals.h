#pragma once
// Seals of the records that grow while they run (a survey's probes and hop
// statistics, a scan's rounds, a visit's end), read from the store: computed
// when the record ends and kept beside it (surveys.seal, channel_scans.seal,
// visits.end_seal). A sealed record takes no part any more, locally (the
// store's triggers) nor on the team server. Throws SqlError.

#include <optional>
#include <string>

#include "lm/records/Records.h"

namespace lm::records {

class Database;

class Seals {
 public:
  explicit Seals(Database& db) : db_(db) {}

  // The seal over what the store holds now; nullopt when the record has not ended.
  std::optional<std::string> OfSurvey(RowId survey);
  std::optional<std::string> OfScan(RowId scan);
  std::optional<std::string> OfVisitEnd(RowId visit);

  // Computes and keeps the seal of an ended record.
  void SealSurvey(RowId survey);
  void SealScan(RowId scan);
  void SealVisitEnd(RowId visit);
  // Seals every ended record that has none (a store or file brought up to
  // this schema). A visit whose end this computer guessed has none.
  void SealAllEnded();

 private:
  Database& db_;
};

}  // namespace lm::records
