#pragma once
// The settings of the alarm rules (docs/alarms.md gives the reasons for the
// defaults), and the class boundaries they judge by, which are the page's.

namespace lm::monitor {

struct AlarmRules {
  int raiseRounds = 2;       // N: bad in N ...
  int windowRounds = 3;      // ... of the last M rounds raises
  int clearRounds = 3;       // K rounds in a row past the boundary clear
  int levelHysteresis = 5;   // levels above the weak boundary a hop must reach to clear
  int batteryHysteresis = 10;  // percent above the ok boundary a battery must reach to clear
  int flapChanges = 6;       // more changes than this in the flap window: flapping
  int flapWindow = 21;       // rounds the flap count looks back over
  // The page's boundaries (thresholds.js); the monitor reads them from the
  // shared site logic at start.
  int levelWeak = 80;
  int batteryOk = 30;
};

// Why a set of rules cannot be used, or "".
const char* RulesProblem(const AlarmRules& rules);

}  // namespace lm::monitor
