#pragma once
// A running site: every base unit's state, its LAN listener or USB
// attachment, the UDP responder and the transcript. Start() brings the site
// up; the destructor takes it down (listeners closed, USB units detached).

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "linkmeter/sim/CommandTable.h"
#include "linkmeter/sim/Listeners.h"
#include "linkmeter/sim/RadioModel.h"
#include "linkmeter/sim/Site.h"
#include "linkmeter/sim/Transcript.h"
#include "linkmeter/sim/UdpResponder.h"
#include "linkmeter/sim/UnitState.h"

namespace linkmeter::sim {

struct SimulatorOptions {
  bool attachUsb = true;        // attach USB units at start
  bool listenLan = true;        // open LAN listeners at start
  std::optional<bool> udp;      // answer UDP datagrams (default: the site file says)
  std::optional<std::string> udpAddress;
  std::optional<int> udpPort;   // 0 = any free port
  std::optional<std::string> lanAddress;  // listen here instead of the site file's addresses
  std::optional<int> hopMs;     // air time per hop instead of the site file's
};

class Simulator {
 public:
  // `commands` answers every unit's requests; it outlives the simulator.
  Simulator(SiteSpec site, const CommandTable& commands, SimulatorOptions options = {});
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // Brings the site up; false with *error when a listener cannot be opened.
  bool Start(std::string* error);
  void Stop();

  const SiteSpec& Site() const { return site_; }
  Transcript& GetTranscript() { return transcript_; }
  RadioModel& Radio() { return radio_; }  // the site's radio, which control lines change
  UnitState* Unit(std::uint32_t serial);

  // The TCP port a LAN unit listens on; 0 when it does not.
  int LanPort(std::uint32_t serial) const;
  int UdpPort() const { return udp_ ? udp_->Port() : 0; }

  // USB units come and go while the site runs.
  bool AttachUsb(std::uint32_t serial, std::string* error);
  bool DetachUsb(std::uint32_t serial);
  bool IsAttached(std::uint32_t serial) const;

  void InjectFault(std::uint32_t serial, const FaultRule& rule);
  void ClearFaults(std::uint32_t serial);

 private:
  bool StartUdp(std::string* error);
  SiteShared Shared() { return {radio_, commands_, transcript_}; }

  SiteSpec site_;
  const CommandTable& commands_;
  SimulatorOptions options_;
  Transcript transcript_;
  RadioModel radio_;
  std::vector<std::unique_ptr<UnitState>> units_;
  std::map<std::uint32_t, std::unique_ptr<LanListener>> lan_;
  mutable std::mutex usbMutex_;
  std::map<std::uint32_t, std::unique_ptr<UsbAttachment>> usb_;
  std::unique_ptr<UdpResponder> udp_;
};

}  // namespace linkmeter::sim
