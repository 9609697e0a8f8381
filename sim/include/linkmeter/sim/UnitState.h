#pragma once
// Everything about one base unit that commands change: settings blocks, the
// registration image, its clock, event log, the logger on its optical port
// and the memory blocks of its far units. Shared by every connection to the
// unit; hold Mutex() while touching the data members.

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "linkmeter/sim/Fault.h"
#include "linkmeter/sim/Site.h"

namespace linkmeter::sim {

struct LogEvent {
  int category = 0;
  int number = 0;
  std::int64_t utc = 0;
  std::string text;  // system ANSI code page
};

// A written settings record of a VL-RD with a thermocouple or platinum
// sensor (subtype 161, 162) takes a while to apply its byte 16: until then
// a read-back still shows the old byte, so a verify loop must ask again.
struct SettlingRecord {
  std::string previous;  // the record as it read back before the write
  std::chrono::steady_clock::time_point settlesAt{};

  // The record to report at `now`.
  std::string Shown(const std::string& record, int subtype, std::chrono::steady_clock::time_point now) const;
};

struct OpticalLogger {
  RemoteUnitSpec design;
  std::string settings;  // the 64-byte settings record last written (EISET)
  SettlingRecord settling;
  std::string scale;     // the 64-byte block EISCL writes and reads
  std::string handshake; // what EISOH last carried
  std::string registration;  // what EIREG last registered (ID, NAME, NUM, CH, BAND)
  bool recording = true;
  std::int64_t recordingSince = 0;
  std::int64_t stoppedAt = 0;  // unit time recording stopped (while not recording)
};

struct FarUnitMemory {
  std::map<std::string, std::string> blocks;  // "ST", "OL0", "PL0" … → bytes
  std::int64_t clockOffsetSec = 0;            // set by EWPTM
  SettlingRecord settling;                    // of the "ST" block
};

struct UnitState {
  UnitState(const BaseUnitSpec& design, std::int64_t startUnix);

  const BaseUnitSpec& design;
  const std::int64_t startUnix;
  FaultPlan faults;  // has its own lock

  std::mutex mutex;
  std::map<std::string, com::vantor::FieldMap> blocks;  // by read mnemonic: "RNETP" …
  std::string registration;       // what RSETF reads and WSETF writes
  std::string savedRegistration;  // what a SAVE stored
  int registrationVersion = 1;
  std::int64_t clockOffsetSec = 0;  // unit clock − PC clock
  int clockBusyMs = 0;  // how long the clock answers busy after a set (site option clockBusyMs)
  std::chrono::steady_clock::time_point clockBusyUntil{};
  int settleMs = 2500;              // how long a written byte 16 takes to apply (SettlingRecord)
  std::vector<LogEvent> log;
  std::optional<OpticalLogger> optical;
  std::map<std::uint32_t, FarUnitMemory> farUnits;
  std::map<std::uint32_t, std::int64_t> lastRead;  // unit serial → newest record time handed out
  std::map<int, std::uint64_t> channelReadings;    // channel → levels measured so far

  // Appends an event (UTF-8 text) numbered after the last one.
  void AddLog(int category, const std::string& textUtf8, std::int64_t utc);
  // A remote unit or repeater of this base unit's groups, by serial.
  const RemoteUnitSpec* FindRemoteUnit(std::uint32_t serial) const;
};

}  // namespace linkmeter::sim
