#pragma once
// A file held with an flock(2) lock, shared or exclusive, for as long as the
// object lives. flock locks belong to the open file, so two opens in one
// process exclude each other just as two processes do, and a killed
// process's locks go with it.

#include <chrono>
#include <filesystem>

namespace lm::records {

class LockFile {
 public:
  enum class Kind { kShared, kExclusive };

  enum class Open { kCreate, kExisting };

  // Opens (creating 0600 when missing, unless kExisting) without locking.
  // Throws std::filesystem::filesystem_error.
  explicit LockFile(const std::filesystem::path& path, Open open = Open::kCreate);
  ~LockFile();
  LockFile(LockFile&& other) noexcept;
  LockFile& operator=(LockFile&&) = delete;
  LockFile(const LockFile&) = delete;
  LockFile& operator=(const LockFile&) = delete;

  // Takes the lock without waiting; false when another holder conflicts.
  // Changing a held lock's kind drops it first: after a false answer this
  // file holds no lock at all.
  bool TryLock(Kind kind);
  // Takes the lock, trying again until `wait` has passed; false then.
  bool Lock(Kind kind, std::chrono::milliseconds wait);
  void Unlock();

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  int fd_ = -1;
};

}  // namespace lm::records
