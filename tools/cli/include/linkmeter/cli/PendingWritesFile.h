#pragma once
// The site-records writes a run could not make (the store stayed busy until
// it ended), kept in a file beside the store for the next run: for
// site-records.sqlite, site-records.pending.json. Created 0600 and replaced
// whole (written beside it, then renamed), so a kill leaves the old list or
// the new one.

#include <filesystem>
#include <string>

namespace linkmeter::cli {

class PendingWritesFile {
 public:
  explicit PendingWritesFile(const std::filesystem::path& storePath);

  const std::filesystem::path& Path() const { return path_; }
  // The list kept, "" when there is none (or it cannot be read).
  std::string Load() const;
  // Keeps `text`; "" removes the file. False when it could not be written.
  bool Save(const std::string& text) const;

 private:
  std::filesystem::path path_;
};

}  // namespace linkmeter::cli
