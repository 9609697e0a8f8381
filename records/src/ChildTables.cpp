#include "ChildTables.h"

#include <algorithm>
#include <stdexcept>

#include "lm/records/RecordKinds.h"

namespace lm::records {
namespace {

const RecordKind& KindNamed(const std::string& name) {
  const auto kinds = RecordKinds();
  const auto found = std::find_if(kinds.begin(), kinds.end(), [&](const RecordKind& k) { return k.name == name; });
  if (found == kinds.end()) throw std::logic_error("no record kind " + name);
  return *found;
}

std::vector<ChildTable> Derive() {
  std::vector<ChildTable> out;
  for (const auto& kind : RecordKinds()) {
    if (!kind.sealedBy) continue;
    const KindTable& head = KindNamed(kind.sealedBy).local.front();
    for (const auto& t : kind.local) {
      ChildTable c{t.table, "", head.table, "", false};
      for (const auto& col : t.columns) {
        if (col.vouch == Vouch::kLink) c.key = col.name;
        else c.columns += (c.columns.empty() ? "" : ", ") + std::string(col.name);
      }
      c.sealed = std::any_of(head.columns.begin(), head.columns.end(),
                             [](const KindColumn& col) { return col.vouch == Vouch::kTheSeal; });
      out.push_back(std::move(c));
    }
  }
  return out;
}

}  // namespace

const std::vector<ChildTable>& ChildTables() {
  static const std::vector<ChildTable> tables = Derive();
  return tables;
}

}  // namespace lm::records
