#pragma once
// The tables of parts, each hanging off a record of another table: what an
// export copies and an import merges after the records themselves.

namespace lm::records {

struct ChildTable {
  const char* table;
  const char* key;      // the column naming the record
  const char* parent;   // the record's table
  const char* columns;  // after the key
  bool sealed;          // the record seals its parts when it ends (else its content id covers them)
};

inline constexpr ChildTable kChildTables[] = {
    {"probes", "survey_id", "surveys", "route, seq, at, answered, raw", true},
    {"hop_stats", "survey_id", "surveys",
     "route, hop, from_unit, unit, sent, answered, level_min, level_avg, level_max, battery", true},
    {"scan_rounds", "scan_id", "channel_scans", "round, at, raw, decoded_json", true},
    {"settings_write_keys", "write_id", "settings_writes", "position, key, old_json, new_json", false},
};

}  // namespace lm::records
