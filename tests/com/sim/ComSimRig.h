#pragma once
// A simulated site with its USB bus in a private folder, and a router with
// the program's device functions registered, as a page would reach them.

#include <memory>
#include <string>

#include "../../cef/BridgeTestSupport.h"
#include "linkmeter/sim/Simulator.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/com/ComServices.h"

namespace comsim {

inline constexpr uint32_t kUsbUnit = 0x009A0011;    // demo site, USB, model 77
inline constexpr uint32_t kLanUnit = 0x009C0021;    // demo site, LAN, model 78
inline constexpr uint32_t kModel96Unit = 0x00C00031; // added: USB, a model the commands refuse
inline constexpr const char* kLanPassword = "vela1234";

class ComSimRig {
 public:
  // hopMs: simulated air time per radio hop.
  explicit ComSimRig(int hopMs = 40);
  ~ComSimRig();

  linkmeter::sim::Simulator& Sim() { return *sim_; }
  Sorrel::cef::Manager& GetManager() { return manager_; }
  Sorrel::Com::ComExecutorTable& Units() { return devices_.Units(); }

  // comInfo texts of the site's units.
  std::string UsbComInfo(uint32_t serial = kUsbUnit, const std::string& model = "VL-BA") const;
  std::string LanComInfo(int com = 2, const std::string& password = kLanPassword) const;

  // Sends one request and waits for its answer.
  bridge_test::Answer Query(const std::string& request);
  // Sends a request without waiting; returns its query id.
  int64_t Send(const std::string& request, const std::shared_ptr<bridge_test::RecordingCallback>& cb);
  Sorrel::cef::BsmsgRouter& Router() { return *router_; }
  const Sorrel::cef::BrowserPtr& Browser() const { return browser_; }

  // Request frames the simulator received from a unit, parsed.
  std::vector<com::vantor::TBody> Received(uint32_t serial, const std::string& name = "") const;

 private:
  std::string busDir_;
  const linkmeter::sim::CommandTable commands_ = linkmeter::sim::CommandTable::WithEveryCommand();
  std::unique_ptr<linkmeter::sim::Simulator> sim_;
  Sorrel::Com::ComServices devices_;  // the rig's own units
  Sorrel::cef::Manager manager_;
  Sorrel::cef::QueryTaskGroup tasks_{std::chrono::milliseconds(500)};
  std::unique_ptr<Sorrel::cef::BsmsgRouter> router_;
  Sorrel::cef::BrowserPtr browser_ = std::make_shared<bridge_test::FakeBrowser>();
  std::atomic<int64_t> nextId_{1};
};

// A fault for the next `times` answers to `command`.
linkmeter::sim::FaultRule Fault(const std::string& command, linkmeter::sim::FaultKind kind, int times = 1);

// The answer's text parsed as an object.
lm::json::Object Obj(const bridge_test::Answer& a);

}  // namespace comsim
