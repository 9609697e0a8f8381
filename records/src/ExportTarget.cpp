#include "lm/records/ExportTarget.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>
#include <vector>

#include "lm/records/SiteRecordsFile.h"
#include "lm/records/StoreOpener.h"
#include "lm/records/StoreResult.h"

namespace lm::records {
namespace {

namespace fs = std::filesystem;

struct FileId {
  dev_t dev;
  ino_t ino;
  bool operator==(const FileId&) const = default;
};

std::optional<FileId> IdOf(const fs::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileId{st.st_dev, st.st_ino};
}

// The files that make up a store besides the database itself.
constexpr const char* kCompanions[] = {"", "-wal", "-shm", "-journal", ".lock"};

std::mutex registryMutex;
// Never destroyed: a store held by another process-wide object may close
// while the program's statics are going.
std::vector<fs::path>& Registry() {
  static auto* stores = new std::vector<fs::path>;
  return *stores;
}

// Is the file locked by any process (this one included)? /proc/locks names
// each locked file as major:minor:inode, the device numbers in hex.
bool LockedAnywhere(const FileId& id) {
  std::ifstream locks("/proc/locks");
  std::string line;
  while (std::getline(locks, line)) {
    std::istringstream words(line);
    std::string word;
    while (words >> word) {
      unsigned major = 0, minor = 0;
      unsigned long long inode = 0;
      char tail = 0;
      if (std::sscanf(word.c_str(), "%x:%x:%llu%c", &major, &minor, &inode, &tail) != 3) continue;
      if (makedev(major, minor) == id.dev && inode == id.ino) return true;
    }
  }
  return false;
}

// The open store files of this process, as they are on disk now.
bool IsOwnStoreFile(const FileId& id) {
  std::lock_guard lock(registryMutex);
  for (const auto& store : Registry()) {
    for (const char* companion : kCompanions) {
      if (IdOf(fs::path(store) += companion) == id) return true;
    }
  }
  return false;
}

// A name that is not there yet but would be a store's: the folder by
// identity and the name of one of an open store's files.
bool NamesOwnStoreFile(const fs::path& target) {
  const auto folder = IdOf(target.parent_path().empty() ? fs::path(".") : target.parent_path());
  if (!folder) return false;
  std::lock_guard lock(registryMutex);
  for (const auto& store : Registry()) {
    if (IdOf(store.parent_path()) != folder) continue;
    for (const char* companion : kCompanions) {
      if ((store.filename().string() + companion) == target.filename().string()) return true;
    }
  }
  return false;
}

// A -wal, -shm or -journal whose database another program has open.
bool CompanionOfOpenDatabase(const fs::path& target) {
  const std::string name = fs::weakly_canonical(target).string();
  for (const char* suffix : {"-wal", "-shm", "-journal"}) {
    if (!name.ends_with(suffix)) continue;
    const auto base = IdOf(name.substr(0, name.size() - std::char_traits<char>::length(suffix)));
    if (base && (IsOwnStoreFile(*base) || LockedAnywhere(*base))) return true;
  }
  return false;
}

// One of the names a workspace's store or its companions go by, in any
// folder: a store no program has open yet is still the technician's records.
bool IsStoreName(const fs::path& target) {
  const std::string name = target.filename().string();
  for (const char* store : {kStoreFileName, kDemoStoreFileName}) {
    for (const char* companion : kCompanions) {
      if (name == std::string(store) + companion) return true;
    }
  }
  return false;
}

// An existing site-records database, or a -wal, -shm or -journal of one.
bool HoldsOrBelongsToRecords(const fs::path& target) {
  if (HoldsSiteRecords(target)) return true;
  const std::string name = target.string();
  for (const char* suffix : {"-wal", "-shm", "-journal"}) {
    if (name.ends_with(suffix) && HoldsSiteRecords(name.substr(0, name.size() - std::char_traits<char>::length(suffix)))) {
      return true;
    }
  }
  return false;
}

[[noreturn]] void Refuse(const fs::path& target, const char* why) {
  throw StoreFailure{{StoreErrorCode::kInvalid, "Not exported: " + target.string() + " " + why +
                                                    ". An export never writes over the site records; choose "
                                                    "another file."}};
}

void Check(const fs::path& candidate, const fs::path& target) {
  if (const auto id = IdOf(candidate)) {
    if (IsOwnStoreFile(*id)) Refuse(target, "is the site records' own file");
    if (LockedAnywhere(*id)) Refuse(target, "is open in another program");
  } else if (NamesOwnStoreFile(candidate)) {
    Refuse(target, "is the name of one of the site records' own files");
  }
  if (CompanionOfOpenDatabase(candidate)) Refuse(target, "belongs to a database another program has open");
}

}  // namespace

void RegisterOpenStore(const fs::path& storeFile) {
  std::lock_guard lock(registryMutex);
  Registry().push_back(fs::absolute(storeFile));
}

void UnregisterOpenStore(const fs::path& storeFile) {
  std::lock_guard lock(registryMutex);
  auto& stores = Registry();
  const auto it = std::find(stores.begin(), stores.end(), fs::absolute(storeFile));
  if (it != stores.end()) stores.erase(it);
}

void RefuseStoreAsTarget(const fs::path& target) {
  if (IsStoreName(target)) Refuse(target, "is named as the site records' own file");
  if (HoldsOrBelongsToRecords(target)) Refuse(target, "already holds site records");
  Check(target, target);
  Check(fs::path(target) += ".part", target);
}

}  // namespace lm::records
