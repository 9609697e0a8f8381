#include "lm/monitor/rules/TextList.h"

namespace lm::monitor {

lm::json::Value TextList(const std::vector<std::string>& texts) {
  lm::json::Array list;
  for (const std::string& t : texts) list.emplace_back(t);
  return lm::json::Value(list);
}

}  // namespace lm::monitor
