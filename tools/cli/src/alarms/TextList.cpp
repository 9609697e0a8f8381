#include "linkmeter/cli/alarms/TextList.h"

namespace linkmeter::cli::alarms {

lm::json::Value TextList(const std::vector<std::string>& texts) {
  lm::json::Array list;
  for (const std::string& t : texts) list.emplace_back(t);
  return lm::json::Value(list);
}

}  // namespace linkmeter::cli::alarms
