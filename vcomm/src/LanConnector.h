#pragma once
// Opens a LAN connection: TCP connect, then the login exchange.

#include <cstdint>
#include <memory>
#include <string>

#include "StreamConnection.h"

namespace vcomm {

struct LanOpenResult {
  int error = 0;  // 0 or a VCOMM_* error number
  std::shared_ptr<StreamConnection> connection;
};

class LanConnector {
 public:
  static constexpr int kConnectTimeoutMs = 5000;
  static constexpr int kLoginTimeoutMs = 5000;

  LanConnector(std::string address, int port, std::string password);
  LanOpenResult Open() const;

 private:
  UniqueFd Connect(int& error) const;
  int LogIn(StreamConnection& connection) const;

  std::string address_;
  int port_;
  std::string password_;
};

}  // namespace vcomm
