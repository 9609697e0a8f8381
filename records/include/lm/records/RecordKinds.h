#pragma once
// Every kind of team record, declared once: its tables in the site-records
// store and on the team server, and what vouches for each column. A column
// is covered by its record's content id, is a part (or an end) covered by
// its record's seal, links to the record it belongs to, or is declared as
// something no id covers (a label whose first copy stays, this computer's
// own bookkeeping, what the server stamps). Tests hold the store's schema,
// the server's schema and the sync layouts to this table, so a column added
// anywhere without being declared here fails them.

#include <span>
#include <vector>

namespace lm::records {

enum class Vouch {
  kContentId,  // the record's content id itself
  kId,         // covered by the record's content id
  kSeal,       // covered by the seal of the record it is part of, or is that record's end
  kTheSeal,    // the seal
  kLink,       // names the record it belongs to, whose id covers it
  kLabel,      // covered by no id: the first copy kept stays (a site's name, a visit's first fields)
  kLocal,      // this computer's own: row ids, open and sync state; never sent
  kServer,     // stamped by the server (who sent it, when); never taken from a client
};

struct KindColumn {
  const char* name;
  Vouch vouch;
};

struct KindTable {
  const char* table;
  std::vector<KindColumn> columns;
};

struct RecordKind {
  const char* name;               // for messages and docs
  std::vector<KindTable> local;   // in the site-records store
  std::vector<KindTable> server;  // on the team server, schema linkmeter
  const char* sealedBy;           // a part: the kind whose seal covers it; null for a record
};

std::span<const RecordKind> RecordKinds();
// The store's tables that hold no team record (the alarm ledger, sync marks).
std::span<const char* const> LocalOnlyTables();
// The server's tables that hold no record (its schema version).
std::span<const char* const> ServerOnlyTables();

}  // namespace lm::records
