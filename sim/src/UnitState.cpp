#include "linkmeter/sim/UnitState.h"

#include "linkmeter/sim/CommandTable.h"
#include "linkmeter/sim/Registration.h"
#include "lm/Text.h"

namespace linkmeter::sim {

UnitState::UnitState(const BaseUnitSpec& unitSpec, std::int64_t start) : design(unitSpec), startUnix(start) {
  blocks = FactorySettings(design);
  for (const auto& [block, fields] : design.settings) {
    for (const auto& [key, value] : fields) blocks[block][key] = value;
  }
  clockBusyMs = design.clockBusyMs;
  registration = BuildRegistrationImage(design);
  savedRegistration = registration;
  for (const auto& event : design.log) {
    log.push_back({event.category, event.number, startUnix - event.ageSec, lm::text::Utf8ToAnsi(event.text)});
  }
  if (design.optical) {
    OpticalLogger logger;
    logger.design = *design.optical;
    logger.recordingSince = startUnix - 86400;
    if (logger.design.stoppedAgoSec > 0) {
      // A logger brought in after a season in the field: a week of records.
      logger.recording = false;
      logger.recordingSince = startUnix - 7 * 86400;
      logger.stoppedAt = startUnix - logger.design.stoppedAgoSec;
    }
    optical = logger;
  }
  for (const auto& rule : design.faults) faults.Add(rule);
}

void UnitState::AddLog(int category, const std::string& textUtf8, std::int64_t utc) {
  int number = log.empty() ? 1 : log.back().number + 1;
  log.push_back({category, number, utc, lm::text::Utf8ToAnsi(textUtf8)});
}

const RemoteUnitSpec* UnitState::FindRemoteUnit(std::uint32_t serial) const {
  for (const auto& group : design.groups) {
    for (const auto& unit : group.remoteUnits) {
      if (unit.serial == serial) return &unit;
    }
  }
  return nullptr;
}

std::string SettlingRecord::Shown(const std::string& record, int subtype,
                                  std::chrono::steady_clock::time_point now) const {
  const bool slow = subtype == 161 || subtype == 162;
  if (!slow || now >= settlesAt || previous.size() != record.size() || record.size() <= 16) return record;
  std::string shown = record;
  shown[16] = previous[16];
  return shown;
}

}  // namespace linkmeter::sim
