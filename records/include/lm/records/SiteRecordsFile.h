#pragma once
// Whether a file on disk is a site-records database (a workspace's store or
// an export of one), looked at without changing it: the SQLite header, then
// the schema read with the file taken as immutable (no lock, no -shm made).

#include <filesystem>

namespace lm::records {

// True for an SQLite file with the store's sites and visits tables, and for
// one whose schema cannot be read or still sits in a -wal beside it: a file
// that may hold records is taken as holding them.
bool HoldsSiteRecords(const std::filesystem::path& file);

}  // namespace lm::records
