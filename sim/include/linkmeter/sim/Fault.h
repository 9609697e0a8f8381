#pragma once
// Faults a simulated base unit can be told to show, per command, from the
// site file or at run time.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "linkmeter/sim/Status.h"

namespace linkmeter::sim {

enum class FaultKind {
  kDelay,        // answer after delayMs
  kNoAnswer,     // read the request, send nothing
  kBadChecksum,  // answer with a checksum one off
  kWrongName,    // answer under another command name
  kTruncated,    // send the first half of the answer only
  kClose,        // close the connection instead of answering
  kStatus,       // answer with `status` and no other field
  kBusy,         // answer with `status` (default 0003-0090) for `times` answers
  kUnreachable,  // radio operations to `unit` find no answer
  kField,        // answer as usual, but with `field` set to `value`
  kCorrupt,      // answer as usual, but with byte `at` of `field` inverted
  kWithhold,     // answer as usual, but with an empty DATA; the bytes go in front of the next DATA
};

std::optional<FaultKind> FaultKindFromName(const std::string& name);
const char* FaultKindName(FaultKind kind);

struct FaultRule {
  std::string command = "*";  // mnemonic, or "*" for every command
  FaultKind kind = FaultKind::kDelay;
  int delayMs = 0;
  Status status{};
  int times = -1;            // answers it applies to; -1 = until cleared
  int after = 0;             // answers let through first
  std::uint32_t unit = 0;    // kUnreachable: the far unit's serial (0 = every one)
  std::string field{};       // kField: the answer field to replace
  std::string value{};       // kField: its bytes
  int at = 0;                // kCorrupt: the byte of `field` to invert
};

// What to do with one answer, gathered from every matching rule.
struct FaultEffect {
  int delayMs = 0;
  bool noAnswer = false;
  bool badChecksum = false;
  bool wrongName = false;
  bool truncated = false;
  bool close = false;
  std::optional<Status> status;
  std::map<std::string, std::string> fields;  // answer fields replaced
  std::vector<std::pair<std::string, int>> corrupt;  // (field, byte) inverted
  bool withhold = false;
};

// The rules of one base unit; thread-safe (connections and a control
// thread use it at once).
class FaultPlan {
 public:
  void Add(FaultRule rule);
  void Clear();
  // The effect on the answer to `command`; uses up one of each counted rule.
  FaultEffect Take(const std::string& command);
  // Whether radio operations to the far unit `serial` are blocked.
  bool Unreachable(std::uint32_t serial) const;

 private:
  mutable std::mutex mutex_;
  std::vector<FaultRule> rules_;
};

}  // namespace linkmeter::sim
