#pragma once
// A library's open connections by handle. USB connections are keyed by
// the unit's serial number; LAN connections get handles above the 32-bit
// range, counted up and never reused.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "StreamConnection.h"

namespace vcomm {

class ConnectionTable {
 public:
  // Stores a LAN connection under a fresh handle.
  std::int64_t AddLan(std::shared_ptr<StreamConnection> connection);
  // Stores a USB connection under its serial, shutting a previous one down.
  void PutUsb(std::uint32_t serial, std::shared_ptr<StreamConnection> connection);
  // The connection of a handle, or none.
  std::shared_ptr<StreamConnection> Find(std::int64_t handle) const;
  // Removes and shuts down a connection; false when the handle is unknown.
  bool Remove(std::int64_t handle);
  std::size_t Size() const;
  // Removes and shuts down every connection.
  void ShutdownAll();

 private:
  static constexpr std::int64_t kFirstLanHandle = std::int64_t{1} << 32;

  mutable std::mutex mutex_;
  std::map<std::int64_t, std::shared_ptr<StreamConnection>> connections_;
  std::int64_t nextLanHandle_ = kFirstLanHandle;
};

}  // namespace vcomm
