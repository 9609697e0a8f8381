#pragma once
// Shared pieces of the simulator tests: a demo site running in-process on
// loopback and a private USB bus, and commands to drive it with.

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "linkmeter/sim/Simulator.h"
#include "linkmeter/sim/SiteFile.h"
#include "vantor/vcomm/ExecutorVela.h"
#include "vantor/com/Tcmd.h"
#include "vantor/com/TcmdWireless.h"
#include "vcomm/UsbBus.h"

namespace simtest {

inline constexpr std::uint32_t kUsbBase = 0x009A0011;
inline constexpr std::uint32_t kLanBase = 0x009C0021;
inline constexpr const char* kPassword = "vela1234";

// A plain command that succeeds on one STATUS and continues while another holds.
class Cmd : public com::vantor::Tcmd {
 public:
  Cmd(std::string name, int group, int detail, int recvTimeoutMs = 5000)
      : Tcmd(std::move(name)), group_(group), detail_(detail), timeout_(recvTimeoutMs) {}
  bool IsSuccess() const override { return IsStatus(group_, detail_); }
  int GetRecvTimeout(int) const override { return timeout_; }
  bool IsContinue(int) const override { return continueGroup_ >= 0 && IsStatus(continueGroup_, continueDetail_); }
  void ContinueWhile(int group, int detail) { continueGroup_ = group, continueDetail_ = detail; }

 private:
  int group_, detail_, timeout_;
  int continueGroup_ = -1, continueDetail_ = -1;
};

// The 8-byte ID of a far unit as the wireless commands send it.
inline std::string FarId(std::uint32_t serial, int num, int parent) {
  std::string id = {'\xFE', static_cast<char>(num), static_cast<char>(parent), '\x07'};
  for (int i = 0; i < 4; ++i) id += static_cast<char>((serial >> (8 * i)) & 0xFF);
  return id;
}

inline std::unique_ptr<com::vantor::TcmdWireless> Radio(const std::string& name, int channel, const std::string& id) {
  auto cmd = std::make_unique<com::vantor::TcmdWireless>(name);
  cmd->SetSendNumber("CH", channel);
  cmd->SetSendField("ID", id);
  return cmd;
}

// The demo site on loopback with its own USB bus directory.
class DemoSite {
 public:
  explicit DemoSite(int hopMs = 300) {
    char pattern[] = "/tmp/lm-sim-test-XXXXXX";
    bus_ = ::mkdtemp(pattern);
    vcomm::usb::SetBusDirectory(bus_);
    linkmeter::sim::SimulatorOptions options;
    options.hopMs = hopMs;
    options.udp = false;
    sim_ = std::make_unique<linkmeter::sim::Simulator>(linkmeter::sim::DemoSite(), commands_, options);
    std::string error;
    started_ = sim_->Start(&error);
    error_ = error;
  }
  ~DemoSite() {
    sim_.reset();
    vcomm::usb::SetBusDirectory("");
    std::filesystem::remove_all(bus_);
  }

  linkmeter::sim::Simulator& operator*() { return *sim_; }
  linkmeter::sim::Simulator* operator->() { return sim_.get(); }
  bool Started() const { return started_; }
  const std::string& Error() const { return error_; }

  com::vantor::ExecResult OpenLan(com::vantor::ExecutorVela& executor, const std::string& password = kPassword) {
    return executor.OpenLAN("127.0.0.1", sim_->LanPort(kLanBase), password, nullptr, 0);
  }

 private:
  std::string bus_;
  const linkmeter::sim::CommandTable commands_ = linkmeter::sim::CommandTable::WithEveryCommand();
  std::unique_ptr<linkmeter::sim::Simulator> sim_;
  bool started_ = false;
  std::string error_;
};

inline double SecondsBetween(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

}  // namespace simtest
