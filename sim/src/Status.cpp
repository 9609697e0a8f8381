#include "linkmeter/sim/Status.h"

#include <cstdlib>

#include "lm/Text.h"

namespace linkmeter::sim {

std::string Status::Text() const { return lm::text::Format("%04d-%04d", group, detail); }

Status Status::FromText(const std::string& text) {
  if (text.size() != 9 || text[4] != '-') return {};
  return {std::atoi(text.substr(0, 4).c_str()), std::atoi(text.substr(5).c_str())};
}

}  // namespace linkmeter::sim
