#include "lm/records/LockFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <thread>
#include <utility>

namespace lm::records {

LockFile::LockFile(const std::filesystem::path& path, Open open) : path_(path) {
  fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC | (open == Open::kCreate ? O_CREAT : 0), 0600);
  if (fd_ < 0) {
    throw std::filesystem::filesystem_error("opening a lock file", path, std::error_code(errno, std::generic_category()));
  }
}

LockFile::~LockFile() {
  if (fd_ >= 0) ::close(fd_);
}

LockFile::LockFile(LockFile&& other) noexcept : path_(std::move(other.path_)), fd_(std::exchange(other.fd_, -1)) {}

bool LockFile::TryLock(Kind kind) {
  const int op = (kind == Kind::kShared ? LOCK_SH : LOCK_EX) | LOCK_NB;
  for (;;) {
    if (::flock(fd_, op) == 0) return true;
    if (errno == EINTR) continue;
    if (errno == EWOULDBLOCK) return false;
    throw std::filesystem::filesystem_error("locking", path_, std::error_code(errno, std::generic_category()));
  }
}

bool LockFile::Lock(Kind kind, std::chrono::milliseconds wait) {
  // Polled rather than blocking, so a holder that never lets go is a
  // failure after `wait` instead of a hang.
  const auto deadline = std::chrono::steady_clock::now() + wait;
  while (!TryLock(kind)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

void LockFile::Unlock() { ::flock(fd_, LOCK_UN); }

}  // namespace lm::records
