#include "sorrel/js/FileTable.h"

namespace Sorrel::Js {

uint32_t FileTable::Add(std::FILE* file) {
  Stream stream(file, [](std::FILE* f) { std::fclose(f); });
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

bool FileTable::Close(uint32_t handle) {
  Stream stream;
  {
    std::lock_guard lock(mutex_);
    auto it = files_.find(handle);
    if (it == files_.end()) return false;
    stream = std::move(it->second);
    files_.erase(it);
  }
  return true;  // closes here, outside the lock, unless a call still holds it
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
