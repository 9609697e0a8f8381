#include "sorrel/js/FileTable.h"

#include <cerrno>

namespace Sorrel::Js {
namespace {

// Closes the stream and keeps fclose's outcome (0, else errno) where
// Close() can read it.
struct Closer {
  std::shared_ptr<int> outcome = std::make_shared<int>(0);
  void operator()(std::FILE* f) const { *outcome = std::fclose(f) == 0 ? 0 : (errno ? errno : EIO); }
};

}  // namespace

uint32_t FileTable::Add(std::FILE* file) {
  Stream stream(file, Closer{});
  std::lock_guard lock(mutex_);
  const uint32_t handle = next_++;
  files_.emplace(handle, std::move(stream));
  return handle;
}

Stream FileTable::Find(uint32_t handle) const {
  std::lock_guard lock(mutex_);
  auto it = files_.find(handle);
  return it == files_.end() ? nullptr : it->second;
}

FileTable::Closed FileTable::Close(uint32_t handle, int* error) {
  Stream stream;
  {
    std::lock_guard lock(mutex_);
    auto it = files_.find(handle);
    if (it == files_.end()) return Closed::kNotOpen;
    stream = std::move(it->second);
    files_.erase(it);
  }
  // Closes here, outside the lock, unless a call still holds it.
  const std::shared_ptr<int> outcome = std::get_deleter<Closer>(stream)->outcome;
  stream.reset();
  if (*outcome == 0) return Closed::kDone;
  if (error) *error = *outcome;
  return Closed::kFailed;
}

void FileTable::CloseAll() {
  std::map<uint32_t, Stream> all;
  {
    std::lock_guard lock(mutex_);
    all.swap(files_);
  }
}

size_t FileTable::OpenCount() const {
  std::lock_guard lock(mutex_);
  return files_.size();
}

}  // namespace Sorrel::Js
