#pragma once
// Answers the LAN search datagram for every LAN unit of the site and takes
// parameter datagrams addressed to one of them by MAC address. Binds only
// to the address it is given; answers go to the sender's address and port.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "linkmeter/sim/StreamServer.h"
#include "linkmeter/sim/UnitState.h"

namespace linkmeter::sim {

inline constexpr std::size_t kDatagramSize = 256;

// A LAN unit as the responder announces it.
struct LanAnnouncement {
  UnitState* unit = nullptr;
  std::string address;  // dotted IPv4 the unit is reached at
  int port = 0;
};

class UdpResponder {
 public:
  static std::unique_ptr<UdpResponder> Start(const std::string& address, int port,
                                             std::vector<LanAnnouncement> units, Transcript& transcript,
                                             std::string* error);
  ~UdpResponder();

  int Port() const { return port_; }

  // The answer to one datagram, one per unit; empty when it asks nothing of us.
  static std::vector<std::string> Answers(const std::string& datagram, const std::vector<LanAnnouncement>& units);

 private:
  UdpResponder(vcomm::UniqueFd fd, int port, std::vector<LanAnnouncement> units, Transcript& transcript);
  void Loop(const StopSignal& stop);

  vcomm::UniqueFd fd_;
  int port_;
  std::vector<LanAnnouncement> units_;
  Transcript& transcript_;
  ConnectionPool pool_;
};

}  // namespace linkmeter::sim
