#pragma once
// The tables of parts, each hanging off a record of another table: what an
// export copies and an import merges after the records themselves. Derived
// from the record kinds (RecordKinds.h): a part's table is its kind's store
// table, its key the column linking it to its record.

#include <string>
#include <vector>

namespace lm::records {

struct ChildTable {
  std::string table;
  std::string key;      // the column naming the record
  std::string parent;   // the record's table
  std::string columns;  // after the key, comma separated
  bool sealed;          // the record seals its parts when it ends (else its content id covers them)
};

const std::vector<ChildTable>& ChildTables();

}  // namespace lm::records
