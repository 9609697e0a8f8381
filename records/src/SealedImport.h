#pragma once
// What an import does with records that have ended, here or in the file
// (RecordExchange::Merge, inside its transaction). Finished is finished:
// - a record sealed here takes nothing from the file; when the file holds
//   other parts or another end for it, it is refused and named;
// - a record the file has ended takes the file's end and seal, unless this
//   store holds a part of it the file lacks (then it is refused the same way);
// - a seal taken must hold over what the store then holds, or nothing is
//   imported.
// The refused records are kept in a temporary table for the merge's steps.

#include <string>
#include <vector>

namespace lm::records {

class Database;

class SealedImport {
 public:
  // Finds the refused records of the attached file "src".
  explicit SealedImport(Database& db);
  ~SealedImport();
  SealedImport(const SealedImport&) = delete;
  SealedImport& operator=(const SealedImport&) = delete;

  // An SQL condition on a record of main (`alias`, a survey or scan) that
  // may take parts from the file.
  static std::string TakesParts(const std::string& alias);
  // Ends and seals from the file, then each one checked over the store.
  void TakeEnds();
  // Each refused record: which and why, one line each.
  std::vector<std::string> Refused();

 private:
  void CheckTaken();

  Database& db_;
};

}  // namespace lm::records
