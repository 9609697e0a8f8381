#include "linkmeter/shell/Locale.h"

#include <clocale>

namespace linkmeter::shell {

std::vector<std::string> LocaleCandidates(const std::string& name) {
  std::vector<std::string> out;
  if (name == "Japanese") out = {"ja_JP.UTF-8", "ja_JP.utf8"};
  else if (!name.empty()) out = {name};
  out.push_back("C.UTF-8");
  return out;
}

std::string SelectLocale(const std::string& name) {
  std::string chosen = "C";
  for (const auto& candidate : LocaleCandidates(name)) {
    if (std::setlocale(LC_ALL, candidate.c_str())) {
      chosen = candidate;
      break;
    }
  }
  std::setlocale(LC_NUMERIC, "C");
  return chosen;
}

}  // namespace linkmeter::shell
