#include "linkmeter/sim/CommandTable.h"

#include <cstdlib>

#include "linkmeter/sim/RecordedData.h"
#include "lm/Text.h"
#include "vantor/com/CommandCatalogue.h"

namespace linkmeter::sim {

CommandTable CommandTable::WithEveryCommand() {
  CommandTable table;
  AddSettingsCommands(table);
  AddRegistrationCommands(table);
  AddRadioCommands(table);
  AddOpticalCommands(table);
  AddRecordCommands(table);
  AddBaseCommands(table);
  return table;
}

void CommandTable::Add(const std::string& name, Handler handler) { handlers_[name] = std::move(handler); }

std::vector<std::string> CommandTable::Unanswered() const {
  std::vector<std::string> names;
  for (const auto& row : com::vantor::catalogue::kCatalogue) {
    if (!Find(std::string(row.name))) names.emplace_back(row.name);
  }
  return names;
}

const Handler* CommandTable::Find(const std::string& name) const {
  auto it = handlers_.find(name);
  return it == handlers_.end() ? nullptr : &it->second;
}

std::vector<std::string> CommandTable::Names() const {
  std::vector<std::string> names;
  for (const auto& [name, handler] : handlers_) names.push_back(name);
  return names;
}

std::string Exchange::Text(const std::string& key) const {
  auto value = request.Find(key);
  return value ? std::string(*value) : std::string();
}

long long Exchange::Number(const std::string& key, long long fallback) const {
  auto value = request.Find(key);
  if (!value) return fallback;
  return std::atoll(std::string(*value).c_str());
}

Answer WithStatus(Status status) { return {{"STATUS", status.Text()}}; }

std::string DefaultSettingsRecord(const RemoteUnitSpec& unit) {
  std::string r(64, '\0');
  PutLe(r, 0, 64, 2);
  r[2] = static_cast<char>(0xFE);
  r[3] = static_cast<char>(unit.num);
  r[4] = static_cast<char>(unit.parent);
  r[5] = 0x07;
  PutLe(r, 6, unit.serial, 4);
  r[10] = 1;
  r[16] = 1;
  r[18] = static_cast<char>(unit.intervalSec >= 60 ? (unit.intervalSec / 60) & 0x7F : 0x80 | unit.intervalSec);
  r[19] = 10;
  r[30] = 0;
  r[31] = static_cast<char>(0xFF);
  r[62] = static_cast<char>(unit.subtype);
  return r;
}

std::string ReceiveRecord(const RemoteUnitSpec& unit, const std::string& settings) {
  std::string r = settings.size() == 64 ? settings : DefaultSettingsRecord(unit);
  PutLe(r, 36, unit.serial, 4);
  r[62] = static_cast<char>(unit.subtype);
  return r;
}

}  // namespace linkmeter::sim
