#include "ConnectionTable.h"

#include <utility>

namespace vcomm {

std::int64_t ConnectionTable::AddLan(std::shared_ptr<StreamConnection> connection) {
  std::lock_guard lock(mutex_);
  std::int64_t handle = nextLanHandle_++;
  connections_[handle] = std::move(connection);
  return handle;
}

void ConnectionTable::PutUsb(std::uint32_t serial, std::shared_ptr<StreamConnection> connection) {
  std::shared_ptr<StreamConnection> previous;
  {
    std::lock_guard lock(mutex_);
    previous = std::exchange(connections_[serial], std::move(connection));
  }
  if (previous) previous->Shutdown();
}

std::shared_ptr<StreamConnection> ConnectionTable::Find(std::int64_t handle) const {
  std::lock_guard lock(mutex_);
  auto it = connections_.find(handle);
  return it == connections_.end() ? nullptr : it->second;
}

bool ConnectionTable::Remove(std::int64_t handle) {
  std::shared_ptr<StreamConnection> removed;
  {
    std::lock_guard lock(mutex_);
    auto it = connections_.find(handle);
    if (it == connections_.end()) return false;
    removed = std::move(it->second);
    connections_.erase(it);
  }
  removed->Shutdown();
  return true;
}

std::size_t ConnectionTable::Size() const {
  std::lock_guard lock(mutex_);
  return connections_.size();
}

void ConnectionTable::ShutdownAll() {
  std::map<std::int64_t, std::shared_ptr<StreamConnection>> removed;
  {
    std::lock_guard lock(mutex_);
    removed.swap(connections_);
  }
  for (auto& [handle, connection] : removed) connection->Shutdown();
}

}  // namespace vcomm
