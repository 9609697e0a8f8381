#pragma once
// What one side holds, visit by visit: each item (a record's content id, an
// end time, a count of a record's parts) with its count. Two sides hold the
// same visit when their items and counts are equal.

#include <cstdint>
#include <map>
#include <set>
#include <string>

namespace lm::teamsync {

using VisitItems = std::map<std::string, int64_t>;
using Inventory = std::map<std::string, VisitItems>;  // by visit content id

// The items `from` holds more of than `to`.
std::set<std::string> ItemsAhead(const VisitItems& from, const VisitItems& to);
// Each item at the larger count of the two sides: what both hold after a sync.
VisitItems Union(const VisitItems& a, const VisitItems& b);
// The key an item names in its table, its suffix cut off.
std::string ItemKey(const std::string& item, const char* suffix);

}  // namespace lm::teamsync
