#pragma once
// A visit's technician, customer and notes as versions. An edit never
// overwrites: it adds a version naming the versions it replaces. The current
// fields are the versions nothing replaces; when two edits replaced the same
// version (made on two computers, met through a sync) both stay current as
// competing versions until the technician picks or writes one that replaces
// them both. No clock decides between them.
// Throws SqlError and StoreFailure (RecordStore turns both into results).

#include <string>
#include <string_view>
#include <vector>

#include "lm/records/Records.h"

namespace lm::records {

class Database;

class VisitVersions {
 public:
  explicit VisitVersions(Database& db) : db_(db) {}

  // Adds a version replacing `replaces` (when empty, every current version).
  // Fields equal to the only current version add nothing. A replaced id
  // that is no current version of the visit is refused (kInvalid).
  void Add(RowId visit, const VisitInfo& fields, Millis madeAt, std::vector<std::string> replaces);

  // Sets each row's current fields, version and competing versions.
  void Apply(VisitRow& row);

  // Every version of the visit, the first (the visit's own fields) included.
  std::vector<VisitVersion> All(const VisitRow& row);

 private:
  Database& db_;
};

// The versions of `all` that no other replaces, sorted by content id.
std::vector<VisitVersion> CurrentVersions(const std::vector<VisitVersion>& all);
// A version's replaced ids as text, the one form the laptops and the team
// server (its canonical_ids() and version_id()) share: the ids joined by
// exactly one space. SplitIds is its inverse on any text, splitting at
// every single space as the server does ("" is no id; "a  b" is a, "", b).
std::string JoinIds(const std::vector<std::string>& ids);
std::vector<std::string> SplitIds(const std::string& text);
// Whether `ids` is canonical: at least one id, each 64 lower-case hex
// digits, in strictly ascending byte order (so none twice).
bool CanonicalIds(const std::vector<std::string>& ids);
// Text the team server can store as it is: valid UTF-8 without U+0000.
bool StorableText(std::string_view text);

}  // namespace lm::records
