#pragma once
// Recomputes every content id of a site-records file from its rows: sites
// from their serial, visits from their site's serial and start, records
// from their visit and content. A file carrying an id that its row does not
// make (another site's id, a visit's id under another site) is refused.

#include <string>

namespace lm::records {

class Database;

// Throws StoreFailure (kDamagedFile) naming the first row that does not match;
// `name` is the file's name for the message.
void CheckContentIds(Database& db, const std::string& name);
// The same for seals: every ended survey, scan and visit is sealed first
// (a file may carry an end without its seal), then each seal is recomputed
// over the parts the file holds.
void CheckSeals(Database& db, const std::string& name);

}  // namespace lm::records
