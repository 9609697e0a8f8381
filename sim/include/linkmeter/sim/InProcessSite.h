#pragma once
// A site running inside the calling process, reached through libvcomm like
// any other: its USB units sit on a private bus folder that this process's
// libvcomm is pointed at, its LAN units listen on loopback. What
// `linkmeter-cli --demo` (and later the program's --demo) starts.

#include <memory>
#include <string>

#include "linkmeter/sim/ControlFile.h"
#include "linkmeter/sim/Simulator.h"

namespace linkmeter::sim {

class InProcessSite {
 public:
  // The built-in demo site; none with *error when it cannot be brought up.
  // `commands` (the process's answer table) outlives the site.
  static std::unique_ptr<InProcessSite> StartDemo(const CommandTable& commands, std::string* error);
  static std::unique_ptr<InProcessSite> Start(SiteSpec site, const CommandTable& commands, std::string* error);
  // Takes the site down and points libvcomm back at the default bus.
  ~InProcessSite();
  InProcessSite(const InProcessSite&) = delete;
  InProcessSite& operator=(const InProcessSite&) = delete;

  Simulator& Sim() { return *simulator_; }
  // The loopback port where the site answers the LAN search datagram.
  int UdpPort() const { return simulator_->UdpPort(); }
  // One line per base unit: how to reach it ("comInfo" members included).
  std::string Summary() const;

 private:
  InProcessSite() = default;

  std::string busDirectory_;
  std::unique_ptr<Simulator> simulator_;
  std::unique_ptr<ControlFile> control_;  // LINKMETER_DEMO_CONTROL, for tests
};

}  // namespace linkmeter::sim
