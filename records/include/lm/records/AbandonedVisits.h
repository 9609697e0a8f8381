#pragma once
// Visits a program left open when it was killed or ended without closing
// them. Each is closed at its last record's time and marked "ended without
// closing"; a visit whose program still runs (its owner token is held) is
// left open.

#include <filesystem>

namespace lm::records {

class Database;

// Answers how many visits were closed. Throws SqlError.
int CloseAbandonedVisits(Database& db, const std::filesystem::path& storeFile);

}  // namespace lm::records
