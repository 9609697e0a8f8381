#pragma once
// A list of texts as the alarms keep it in JSON: an array of strings.

#include <string>
#include <vector>

#include "lm/Json.h"

namespace linkmeter::cli::alarms {

lm::json::Value TextList(const std::vector<std::string>& texts);

}  // namespace linkmeter::cli::alarms
