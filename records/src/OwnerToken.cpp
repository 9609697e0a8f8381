#include "lm/records/OwnerToken.h"

#include <random>
#include <system_error>

namespace lm::records {
namespace {

namespace fs = std::filesystem;

std::string RandomId() {
  std::random_device random;
  static constexpr char kHex[] = "0123456789abcdef";
  std::string id;
  for (int i = 0; i < 4; ++i) {
    uint32_t word = random();
    for (int n = 0; n < 8; ++n, word >>= 4) id += kHex[word & 0xf];
  }
  return id;
}

// A token is a plain name of hex digits; anything else in the folder (a
// token still being made starts with '.') is not looked at by name.
bool IsTokenName(const std::string& name) {
  return !name.empty() && name.find_first_not_of("0123456789abcdef") == std::string::npos;
}

}  // namespace

fs::path OwnersFolder(const fs::path& storeFile) { return fs::path(storeFile) += ".owners"; }

OwnerToken::OwnerToken(const fs::path& storeFile) : id_(RandomId()) {
  const fs::path folder = OwnersFolder(storeFile);
  fs::create_directories(folder);
  fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace);
  // Locked under a private name first, then renamed: a sweeping opener never
  // sees the final name unlocked. An opener sweeping between the making and
  // the lock may take the new file for a program gone and remove it: then
  // the rename finds nothing, and a token is made again under a new id.
  for (int attempt = 0;; ++attempt) {
    const fs::path making = folder / ("." + id_);
    file_ = std::make_unique<LockFile>(making);
    file_->TryLock(LockFile::Kind::kExclusive);
    path_ = folder / id_;
    std::error_code ec;
    fs::rename(making, path_, ec);
    if (!ec) return;
    if (ec != std::errc::no_such_file_or_directory || attempt == 4) {
      throw fs::filesystem_error("cannot rename", making, path_, ec);
    }
    id_ = RandomId();
  }
}

OwnerToken::~OwnerToken() {
  // Removed while still locked, so no one takes it for a program gone.
  std::error_code ignored;
  fs::remove(path_, ignored);
}

bool OwnerToken::Alive(const fs::path& storeFile, const std::string& id) {
  if (!IsTokenName(id)) return false;
  try {
    LockFile probe(OwnersFolder(storeFile) / id, LockFile::Open::kExisting);
    return !probe.TryLock(LockFile::Kind::kExclusive);
  } catch (const fs::filesystem_error&) {
    return false;  // no such token: its program ended
  }
}

void OwnerToken::Sweep(const fs::path& storeFile) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(OwnersFolder(storeFile), ec)) {
    const std::string name = entry.path().filename().string();
    const std::string id = name.starts_with(".") ? name.substr(1) : name;
    if (!IsTokenName(id)) continue;
    try {
      LockFile probe(entry.path(), LockFile::Open::kExisting);
      if (probe.TryLock(LockFile::Kind::kExclusive)) fs::remove(entry.path(), ec);
    } catch (const fs::filesystem_error&) {
      // Gone already, or not ours to touch.
    }
  }
}

}  // namespace lm::records
