#include "lm/records/ImportChecker.h"

#include <sqlite3.h>
#include <stdlib.h>

#include <fstream>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "lm/records/ContentIdCheck.h"
#include "lm/records/Database.h"
#include "lm/records/QueryDeadline.h"
#include "lm/records/Schema.h"
#include "lm/records/SqlError.h"
#include "lm/records/StoreResult.h"

namespace lm::records {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void Refuse(const std::string& name, const std::string& why) {
  throw StoreFailure{{StoreErrorCode::kDamagedFile, name + " is not a site-records file this version can take (" +
                                                        why + "); nothing was imported"}};
}

fs::path MakePrivateFolder() {
  std::string pattern = (fs::temp_directory_path() / "lm-import-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) {
    throw fs::filesystem_error("making a private folder", pattern, std::error_code(errno, std::generic_category()));
  }
  return pattern;  // mkdtemp makes it 0700
}

// A copy that stops at `limit` bytes, for a file that grew after it was sized.
void CopyAtMost(const fs::path& from, const fs::path& to, std::uintmax_t limit, const std::string& name) {
  std::ifstream in(from, std::ios::binary);
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  std::vector<char> buffer(1 << 20);
  std::uintmax_t copied = 0;
  while (in && out) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const auto got = static_cast<std::uintmax_t>(in.gcount());
    if (got == 0) break;
    copied += got;
    if (copied > limit) Refuse(name, "larger than 1 GiB");
    out.write(buffer.data(), static_cast<std::streamsize>(got));
  }
  if (in.bad() || !out.flush()) Refuse(name, "it could not be read or copied");
}

// The file and the journal SQLite keeps beside it: a copy of a live store
// holds its latest visits in its -wal, and a -journal undoes a write cut
// short. Each goes with the copy so opening it replays (or rolls back) as
// the source would; the copy's own files are its owner's alone.
void CopyWithJournals(const fs::path& file, const fs::path& copy, const std::string& name) {
  for (const char* suffix : {"", "-wal", "-journal"}) {
    const fs::path from = fs::path(file) += suffix;
    const fs::path to = fs::path(copy) += suffix;
    std::error_code ec;
    if (*suffix && !fs::is_regular_file(from, ec)) continue;
    CopyAtMost(from, to, CheckedImport::kMaxFileBytes, name);
    fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace);
  }
}

using SchemaEntry = std::tuple<std::string, std::string, std::string, std::string>;

std::set<SchemaEntry> SchemaOf(Database& db) {
  auto st = db.Prepare("SELECT type, name, tbl_name, coalesce(sql, '') FROM sqlite_schema");
  std::set<SchemaEntry> out;
  while (st.Step()) out.insert({st.Text(0), st.Text(1), st.Text(2), st.Text(3)});
  return out;
}

// The schema a store has at `version`, made by this build's steps in memory.
std::set<SchemaEntry> ExpectedSchema(int version) {
  std::vector<SchemaStep> steps;
  for (const auto& step : SchemaSteps()) {
    if (step.version <= version) steps.push_back(step);
  }
  Database fresh(":memory:");
  Migrate(fresh, steps);
  return SchemaOf(fresh);
}

void CheckSchema(Database& db, int version, const std::string& name) {
  const auto found = SchemaOf(db);
  const auto expected = ExpectedSchema(version);
  // A view or trigger of the file's own runs code of its choosing: named first.
  for (const auto& entry : found) {
    const std::string& type = std::get<0>(entry);
    if (type != "table" && type != "index" && !expected.contains(entry)) {
      Refuse(name, "unexpected " + type + " " + std::get<1>(entry));
    }
  }
  for (const auto& entry : found) {
    if (!expected.contains(entry)) Refuse(name, "unexpected " + std::get<0>(entry) + " " + std::get<1>(entry));
  }
  for (const auto& entry : expected) {
    if (!found.contains(entry)) Refuse(name, "missing " + std::get<0>(entry) + " " + std::get<1>(entry));
  }
}

std::string Quoted(const std::string& identifier) {
  std::string out = "\"";
  for (char c : identifier) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

// The storage classes a column of this declared type may hold.
std::string AllowedTypes(std::string declared, bool nullable) {
  for (auto& c : declared) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  std::string allowed;
  if (declared.find("INT") != std::string::npos) allowed = "'integer'";
  else if (declared.find("TEXT") != std::string::npos || declared.find("CHAR") != std::string::npos) allowed = "'text'";
  else if (declared.find("BLOB") != std::string::npos || declared.empty()) allowed = "'blob'";
  else allowed = "'real', 'integer'";
  return nullable ? allowed + ", 'null'" : allowed;
}

// One pass over a table: a value of the wrong type, one too large, a JSON
// column that does not parse.
std::string BadRowQuery(Database& db, const std::string& table) {
  auto columns = db.Prepare("SELECT name, type, \"notnull\", pk FROM pragma_table_info(?)");
  columns.BindAll(table);
  std::string where;
  while (columns.Step()) {
    const std::string c = Quoted(columns.Text(0));
    const bool nullable = columns.Int(2) == 0 && columns.Int(3) == 0;
    where += (where.empty() ? "" : " OR ") + std::string("typeof(") + c + ") NOT IN (" +
             AllowedTypes(columns.Text(1), nullable) + ") OR length(" + c + ") > " +
             std::to_string(Database::kMaxValueBytes);
    // Empty is how the store keeps "none" (thresholds not given).
    if (columns.Text(0).ends_with("_json")) where += " OR (" + c + " <> '' AND NOT json_valid(" + c + "))";
  }
  return "SELECT count(*) FROM " + Quoted(table) + " WHERE " + (where.empty() ? "false" : where);
}

void CheckValues(Database& db, const std::string& name) {
  std::vector<std::string> tables;
  auto st = db.Prepare("SELECT name FROM sqlite_schema WHERE type = 'table' AND name NOT LIKE 'sqlite%'");
  while (st.Step()) tables.push_back(st.Text(0));
  for (const auto& table : tables) {
    if (db.QueryInt(BadRowQuery(db, table)) > 0) Refuse(name, "values of the wrong type, or over 64 MiB, in " + table);
  }
  auto orphans = db.Prepare("PRAGMA foreign_key_check");
  if (orphans.Step()) Refuse(name, "a row of " + orphans.Text(0) + " without its " + orphans.Text(2));
}

}  // namespace

CheckedImport::CheckedImport(const fs::path& file, std::chrono::steady_clock::duration timeLimit)
    : name_(file.filename().string()) {
  const auto deadline = std::chrono::steady_clock::now() + timeLimit;
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) {
    throw StoreFailure{{StoreErrorCode::kDamagedFile, name_ + " is missing or is not a file; nothing was imported"}};
  }
  if (fs::file_size(file, ec) > kMaxFileBytes) Refuse(name_, "larger than 1 GiB");
  folder_ = MakePrivateFolder();
  copy_ = folder_ / "import.sqlite";
  try {
    CopyWithJournals(file, copy_, name_);
    Check(deadline);
  } catch (...) {
    fs::remove_all(folder_, ec);
    throw;
  }
}

CheckedImport::~CheckedImport() {
  std::error_code ignored;
  fs::remove_all(folder_, ignored);
}

void CheckedImport::Check(std::chrono::steady_clock::time_point deadline) {
  try {
    Database db(copy_, Database::Mode::kPrivate);
    QueryDeadline limit(db, deadline);
    const int version = db.UserVersion();
    if (version > CurrentSchemaVersion()) {
      throw StoreFailure{{StoreErrorCode::kNewerFile, name_ + " was written by a newer version of Linkmeter"}};
    }
    if (version < 1) Refuse(name_, "no site-records version");
    const std::string check = db.QueryText("PRAGMA quick_check");
    if (check != "ok") Refuse(name_, check);
    CheckSchema(db, version, name_);
    Migrate(db);
    CheckValues(db, name_);
    CheckContentIds(db, name_);
    CheckSeals(db, name_);
    db.Exec("PRAGMA journal_mode=DELETE");  // one file to attach, whatever the copy's journal was
  } catch (const SqlError& e) {
    if (e.Code() == SQLITE_INTERRUPT) {
      Refuse(name_, "reading it took too long");
    }
    if (e.Code() == SQLITE_TOOBIG) Refuse(name_, "a value larger than 64 MiB");
    Refuse(name_, e.what());
  }
}

}  // namespace lm::records
