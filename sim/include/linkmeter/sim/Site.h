#pragma once
// The description of a simulated site: base units, their groups, repeaters
// and remote units, where they stand and how the radio behaves. Loaded from
// a site file (SiteFile.h) or the built-in demo; immutable once loaded (the
// changing state lives in UnitState).

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "linkmeter/sim/Fault.h"
#include "vantor/com/TFrame.h"

namespace linkmeter::sim {

// Bits 17..23 of a serial number.
inline int ModelCode(std::uint32_t serial) { return static_cast<int>((serial >> 17) & 0x7F); }

struct RemoteUnitSpec {
  std::uint32_t serial = 0;
  int subtype = 0;  // sensor subtype of model 97 (161..165), else 0
  int num = 1;
  int parent = 0;  // repeater number it talks through; 0 = the base unit
  std::string name;
  double distanceM = 100;  // to its parent
  double batteryPct = 90;
  double drainPctPerDay = 0.05;
  int intervalSec = 600;  // recording interval
  std::vector<int> chTypes;  // channel-type codes of its recorded channels
  std::int64_t stoppedAgoSec = 0;  // recording stopped this long before the simulator started; 0 = recording
  bool reachable = true;
};

struct RepeaterSpec {
  std::uint32_t serial = 0;
  int num = 1;
  int parent = 0;
  double distanceM = 300;
  double batteryPct = 95;
  double drainPctPerDay = 0.02;
  bool reachable = true;
};

struct GroupSpec {
  std::array<std::uint8_t, 8> id{};
  int freq = 0;  // radio channel
  int band = 0;
  std::string name;
  std::vector<RepeaterSpec> repeaters;
  std::vector<RemoteUnitSpec> remoteUnits;
};

struct LogEventSpec {
  int category = 0;
  int number = 0;
  std::int64_t ageSec = 0;  // how long before the simulator started
  std::string text;         // UTF-8
};

struct BaseUnitSpec {
  std::uint32_t serial = 0;
  std::string name;
  std::string desc;
  bool usb = false;
  // LAN units: where to listen and the password the login checks.
  std::string lanAddress = "127.0.0.1";
  int lanPort = 0;  // 0 = any free port (see Simulator::LanPort)
  std::string lanPassword;
  std::array<std::uint8_t, 6> mac{};
  std::vector<GroupSpec> groups;
  std::optional<RemoteUnitSpec> optical;  // a logger lying on the optical port
  std::map<int, int> interference;        // channel → extra signal level
  std::map<std::string, com::vantor::FieldMap> settings;  // block name (RNETP …) → fields
  std::vector<LogEventSpec> log;
  std::vector<FaultRule> faults;
  int clockBusyMs = 0;  // after each clock set, RDTIM and WDTIM answer busy this long
};

struct RadioSpec {
  int hopMs = 300;      // air time per hop of a radio operation
  int cancelMs = 0;     // extra air time a cancel takes
  double rangeM = 2500;  // a link longer than this does not carry
  std::uint32_t seed = 1;
};

struct UdpSpec {
  bool enabled = false;
  std::string address = "127.0.0.1";
  int port = 62501;
};

struct SiteSpec {
  std::string name;
  RadioSpec radio;
  UdpSpec udp;
  std::vector<BaseUnitSpec> baseUnits;

  const BaseUnitSpec* FindBaseUnit(std::uint32_t serial) const;
};

}  // namespace linkmeter::sim
