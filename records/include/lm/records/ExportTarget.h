#pragma once
// An export never writes over a store. The target (and its <name>.part) is
// compared by file identity (device and inode, through symlinks and hard
// links) with the files of every store open in this process, and with
// files another program holds locked (an open SQLite database in WAL mode
// and its -shm are), so neither a path spelt another way nor a link can
// point an export at live records.

#include <filesystem>

namespace lm::records {

// The stores open in this process, by their database file.
void RegisterOpenStore(const std::filesystem::path& storeFile);
void UnregisterOpenStore(const std::filesystem::path& storeFile);

// Throws StoreFailure (kInvalid) with a message for the user when the path
// is, or would become, a file of an open store.
void RefuseStoreAsTarget(const std::filesystem::path& target);

}  // namespace lm::records
