#pragma once
// Holds a schema as found (table -> its columns) to the declared record
// kinds: every line answered names a table or column declared nowhere, or
// declared and missing.

#include <map>
#include <set>
#include <string>
#include <vector>

#include "lm/records/RecordKinds.h"

namespace lm::records::test {

using FoundSchema = std::map<std::string, std::set<std::string>>;

inline std::vector<std::string> AgainstKinds(const FoundSchema& found, bool server) {
  std::map<std::string, std::set<std::string>> declared;
  for (const auto& kind : RecordKinds()) {
    for (const auto& t : server ? kind.server : kind.local) {
      for (const auto& c : t.columns) declared[t.table].insert(c.name);
    }
  }
  std::set<std::string> outside;
  for (const char* t : server ? ServerOnlyTables() : LocalOnlyTables()) outside.insert(t);
  std::vector<std::string> out;
  for (const auto& [table, columns] : found) {
    if (outside.count(table)) continue;
    const auto d = declared.find(table);
    if (d == declared.end()) {
      out.push_back("table " + table + " is declared nowhere");
      continue;
    }
    for (const auto& c : columns) {
      if (!d->second.count(c)) out.push_back(table + "." + c + " is neither covered nor declared");
    }
    for (const auto& c : d->second) {
      if (!columns.count(c)) out.push_back(table + "." + c + " is declared but missing");
    }
  }
  for (const auto& [table, columns] : declared) {
    if (!found.count(table)) out.push_back("table " + table + " is declared but missing");
  }
  return out;
}

}  // namespace lm::records::test
