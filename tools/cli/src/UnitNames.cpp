#include "linkmeter/cli/UnitNames.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>

namespace linkmeter::cli {
namespace {

// Lists longer than this end with a count of the rest.
constexpr size_t kListedAtMost = 12;

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// The indices of the units `matches` accepts.
template <typename Match>
std::set<size_t> Matching(const std::vector<NamedUnit>& units, Match matches) {
  std::set<size_t> found;
  for (size_t i = 0; i < units.size(); ++i) {
    if (matches(units[i])) found.insert(i);
  }
  return found;
}

bool HasName(const NamedUnit& unit, const std::string& wanted, bool ignoreCase) {
  return std::any_of(unit.names.begin(), unit.names.end(), [&](const std::string& name) {
    return !name.empty() && (ignoreCase ? Lower(name) == Lower(wanted) : name == wanted);
  });
}

std::string Listed(const std::vector<NamedUnit>& units, const std::set<size_t>& which) {
  std::string list;
  size_t shown = 0;
  for (size_t i : which) {
    if (shown++ == kListedAtMost) return list + ", and " + std::to_string(which.size() - kListedAtMost) + " more";
    list += (list.empty() ? "" : ", ") + DescribeUnit(units[i]);
  }
  return list.empty() ? "none" : list;
}

}  // namespace

std::optional<int64_t> SerialNumber(const std::string& text) {
  if (text.empty() || text.size() > 8 || !std::all_of(text.begin(), text.end(), ::isxdigit)) return std::nullopt;
  return static_cast<int64_t>(std::stoull(text, nullptr, 16));
}

std::string SerialText(int64_t serial) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%08llX", static_cast<unsigned long long>(serial));
  return buf;
}

std::string DescribeUnit(const NamedUnit& unit) {
  const std::string name = unit.names.empty() ? std::string() : unit.names.front();
  const std::string inner = unit.serial + (unit.where.empty() ? "" : ", " + unit.where);
  return name.empty() ? inner : name + " (" + inner + ")";
}

UnitPick PickUnit(const std::vector<NamedUnit>& units, const std::string& wanted, std::string_view what,
                  bool takeUnknownSerial) {
  UnitPick pick;
  const auto serial = SerialNumber(wanted);
  std::set<size_t> found = Matching(units, [&](const NamedUnit& u) {
    return (serial && SerialNumber(u.serial) == serial) || HasName(u, wanted, false);
  });
  if (found.empty()) found = Matching(units, [&](const NamedUnit& u) { return HasName(u, wanted, true); });
  if (found.size() == 1) {
    pick.index = *found.begin();
    pick.serial = units[*pick.index].serial;
  } else if (found.size() > 1) {
    pick.ambiguous = true;
    pick.error = "'" + wanted + "' names " + std::to_string(found.size()) + " of them: " + Listed(units, found) +
                 "; give one of their serials";
  } else if (serial && takeUnknownSerial) {
    pick.serial = SerialText(*serial);
  } else {
    std::set<size_t> all;
    for (size_t i = 0; i < units.size(); ++i) all.insert(i);
    pick.error = "no " + std::string(what) + " named '" + wanted + "' (known: " + Listed(units, all) + ")";
  }
  return pick;
}

}  // namespace linkmeter::cli
