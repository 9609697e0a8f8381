#pragma once
// An import file read and verified before anything of it reaches the store.
// The file is copied to a private folder (so it is never changed, and a copy
// of a store in WAL mode reads like any other), with the -wal or -journal
// beside it when there is one (so a copied live store brings its latest
// visits, replayed into the copy), and the copy is checked on its own
// connection, under a time limit:
// - its version: a newer one is refused, an older one is migrated (in the copy);
// - `quick_check`, and the schema exactly as this build's steps make it at
//   the file's version (no view, trigger, virtual table or changed column);
// - every value's type against its column, no value over 64 MiB, JSON columns
//   valid, every row's parent present;
// - every content id recomputed from its row, and every seal over the
//   parts the file holds (an ended record without one is sealed first).
// A file over kMaxFileBytes is refused before it is copied.
// Throws StoreFailure (kNewerFile, kDamagedFile) saying what was refused.

#include <chrono>
#include <cstdint>
#include <filesystem>

namespace lm::records {

class CheckedImport {
 public:
  // How long reading and checking a file may take.
  static constexpr std::chrono::seconds kTimeLimit{20};
  // The largest file taken: a copy of anything larger could fill the
  // temporary folder before a single check ran.
  static constexpr std::uintmax_t kMaxFileBytes = std::uintmax_t{1} << 30;

  explicit CheckedImport(const std::filesystem::path& file,
                         std::chrono::steady_clock::duration timeLimit = kTimeLimit);
  ~CheckedImport();
  CheckedImport(const CheckedImport&) = delete;
  CheckedImport& operator=(const CheckedImport&) = delete;

  // The checked copy at this build's version, a single file.
  const std::filesystem::path& copy() const { return copy_; }
  // The name of the file given, for messages.
  std::string name() const { return name_; }

 private:
  void Check(std::chrono::steady_clock::time_point deadline);

  std::string name_;
  std::filesystem::path folder_;
  std::filesystem::path copy_;
};

}  // namespace lm::records
