#pragma once
// A list of texts as the alarms keep it in JSON: an array of strings.

#include <string>
#include <vector>

#include "lm/Json.h"

namespace lm::monitor {

lm::json::Value TextList(const std::vector<std::string>& texts);

}  // namespace lm::monitor
