#include "lm/monitor/rules/AlarmRules.h"

namespace lm::monitor {

const char* RulesProblem(const AlarmRules& r) {
  if (r.windowRounds < 1 || r.windowRounds > 21) return "the window of rounds must be 1 to 21";
  if (r.raiseRounds < 1 || r.raiseRounds > r.windowRounds) return "the rounds that raise must be 1 to the window";
  if (r.clearRounds < 1 || r.clearRounds > 21) return "the rounds that clear must be 1 to 21";
  if (r.levelHysteresis < 0 || r.levelHysteresis > 100) return "the level hysteresis must be 0 to 100";
  if (r.batteryHysteresis < 0 || r.batteryHysteresis > 70) return "the battery hysteresis must be 0 to 70";
  if (r.flapChanges < 2 || r.flapChanges > 20) return "the flap changes must be 2 to 20";
  return "";
}

}  // namespace lm::monitor
