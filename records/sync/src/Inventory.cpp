#include "lm/teamsync/Inventory.h"

#include <algorithm>
#include <cstring>

namespace lm::teamsync {

std::set<std::string> ItemsAhead(const VisitItems& from, const VisitItems& to) {
  std::set<std::string> out;
  for (const auto& [item, count] : from) {
    const auto there = to.find(item);
    if (count > (there == to.end() ? 0 : there->second)) out.insert(item);
  }
  return out;
}

VisitItems Union(const VisitItems& a, const VisitItems& b) {
  VisitItems out = a;
  for (const auto& [item, count] : b) out[item] = std::max(out[item], count);
  std::erase_if(out, [](const auto& entry) { return entry.second == 0; });
  return out;
}

std::string ItemKey(const std::string& item, const char* suffix) {
  const size_t n = std::strlen(suffix);
  return item.substr(0, item.size() - n);
}

}  // namespace lm::teamsync
