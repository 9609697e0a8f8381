#pragma once
// Which running program keeps a visit open. Each opener of a store makes a
// token: a file in <store>.owners/ named by a random id, which it holds
// locked for as long as it has the store open. A visit records its opener's
// token; a later opener closes an open visit only when no one holds that
// token's lock any more (its program ended or was killed).

#include <filesystem>
#include <memory>
#include <string>

#include "lm/records/LockFile.h"

namespace lm::records {

class OwnerToken {
 public:
  // Creates and locks a new token for the store file. Throws
  // std::filesystem::filesystem_error.
  explicit OwnerToken(const std::filesystem::path& storeFile);
  ~OwnerToken();
  OwnerToken(const OwnerToken&) = delete;
  OwnerToken& operator=(const OwnerToken&) = delete;

  const std::string& id() const { return id_; }

  // False when the token's file is gone or no one holds its lock.
  static bool Alive(const std::filesystem::path& storeFile, const std::string& id);
  // Removes the files of tokens whose programs are gone.
  static void Sweep(const std::filesystem::path& storeFile);

 private:
  std::string id_;
  std::filesystem::path path_;
  std::unique_ptr<LockFile> file_;
};

std::filesystem::path OwnersFolder(const std::filesystem::path& storeFile);

}  // namespace lm::records
