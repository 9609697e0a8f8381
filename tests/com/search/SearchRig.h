#pragma once
// A simulated site on a private USB bus with the search functions (and open,
// close, isOpen) registered on watchers and a unit table of the rig's own,
// so every test starts from empty watchers.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../../cef/BridgeTestSupport.h"
#include "linkmeter/sim/Simulator.h"
#include "lm/Text.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/cef/QueryTaskGroup.h"
#include "sorrel/com/SearchWatchers.h"

namespace search_test {

// The bus as the watchers see it, with hooks that run after each library
// call (to change the bus in the middle of a rescan) and a check that no
// two rescans overlap.
class HookedBus : public Sorrel::UsbBusProbe {
 public:
  int ConnectNum(Flags& flags, uint16_t deviceType) override;
  int GetSerials(Serials& serials, uint16_t deviceType) override;

  std::function<void()> afterConnectNum, afterSerials;
  std::atomic<int> active{0}, overlaps{0};
  std::atomic<std::thread::id> lastThread{};
};

// A window thread of its own: posts and calls run on it, in order.
class TestWindowThread : public Sorrel::cef::UiThread {
 public:
  TestWindowThread();
  ~TestWindowThread() override;
  bool Call(Task task) override;
  uint16_t Post(Task task) override;
  void ForceClose() override {}
  bool IsUiThread() const override { return std::this_thread::get_id() == thread_.get_id(); }
  std::thread::id Id() const { return thread_.get_id(); }

 private:
  struct State;
  std::shared_ptr<State> state_;
  std::thread thread_;
};

class SearchRig {
 public:
  explicit SearchRig(linkmeter::sim::SiteSpec site);
  ~SearchRig();

  linkmeter::sim::Simulator& Sim() { return *sim_; }
  Sorrel::Com::SearchWatchers& Watchers() { return *watchers_; }
  Sorrel::Com::ComExecutorTable& Table() { return table_; }
  HookedBus& Bus() { return bus_; }
  Sorrel::cef::Manager& GetManager() { return manager_; }

  bridge_test::Answer Query(const std::string& request);
  // Sends without waiting; the query's id (for "jsquery:cancel").
  int64_t Send(const std::string& request, const std::shared_ptr<bridge_test::RecordingCallback>& cb);
  // The table's unit for a USB serial number (made on first use).
  std::shared_ptr<Sorrel::Com::ComExecutor> Unit(uint32_t serial);
  // The serial numbers of an answer's entries, in order.
  std::vector<std::string> Serials(const bridge_test::Answer& answer) const;
  // How many requests named `command` the simulator received from any unit.
  size_t Received(const std::string& command) const;
  // How many requests named `command` the simulator received from one unit.
  size_t Received(uint32_t serial, const std::string& command) const;

 private:
  std::string busDir_;
  const linkmeter::sim::CommandTable commands_ = linkmeter::sim::CommandTable::WithEveryCommand();
  std::unique_ptr<linkmeter::sim::Simulator> sim_;
  HookedBus bus_;
  Sorrel::Com::ComExecutorTable table_;
  std::unique_ptr<Sorrel::Com::SearchWatchers> watchers_;
  Sorrel::cef::Manager manager_;
  Sorrel::cef::QueryTaskGroup tasks_{std::chrono::milliseconds(500)};
  std::unique_ptr<Sorrel::cef::BsmsgRouter> router_;
  Sorrel::cef::BrowserPtr browser_ = std::make_shared<bridge_test::FakeBrowser>();
  std::atomic<int64_t> nextId_{1};
};

// A USB base unit of the test sites.
linkmeter::sim::BaseUnitSpec UsbUnit(uint32_t serial, const std::string& name);
// A logger for a base unit's optical port.
linkmeter::sim::RemoteUnitSpec Logger(uint32_t serial, int subtype = 0);
linkmeter::sim::SiteSpec SiteOf(std::vector<linkmeter::sim::BaseUnitSpec> units);

// The serial number with a model code: 0x00XX0000 | low bits.
constexpr uint32_t SerialOf(uint32_t modelCode, uint32_t low) { return (modelCode << 17) | low; }
inline std::string Hex(uint32_t serial) { return lm::text::Format("%08X", serial); }

}  // namespace search_test
