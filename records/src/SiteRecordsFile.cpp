#include "lm/records/SiteRecordsFile.h"

#include <array>
#include <cstring>
#include <fstream>
#include <string>

#include "lm/records/Database.h"
#include "lm/records/SqlError.h"

namespace lm::records {
namespace {

namespace fs = std::filesystem;

bool HasSqliteHeader(const fs::path& file) {
  static constexpr char kHeader[] = "SQLite format 3";  // with its NUL: 16 bytes
  std::array<char, sizeof kHeader> head{};
  std::ifstream in(file, std::ios::binary);
  return in.read(head.data(), head.size()) && std::memcmp(head.data(), kHeader, sizeof kHeader) == 0;
}

// A file: URI of the path read as immutable: no lock taken, no -wal or -shm
// looked at or made, whoever has the file open.
std::string ImmutableUri(const fs::path& file) {
  std::string uri = "file:";
  for (unsigned char c : fs::absolute(file).string()) {
    if (c == '?' || c == '#' || c == '%' || c < 0x20) {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", c);
      uri += escaped;
    } else {
      uri += static_cast<char>(c);
    }
  }
  return uri + "?mode=ro&immutable=1";
}

bool WalBeside(const fs::path& file) {
  std::error_code ec;
  const auto size = fs::file_size(fs::path(file) += "-wal", ec);
  return !ec && size > 0;
}

}  // namespace

bool HoldsSiteRecords(const fs::path& file) {
  std::error_code ec;
  if (!fs::is_regular_file(file, ec) || !HasSqliteHeader(file)) return false;
  try {
    Database db(ImmutableUri(file), Database::Mode::kReadOnly);
    const auto tables = db.QueryInt(
        "SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name IN ('sites', 'visits')");
    if (tables == 2) return true;
    return tables == 0 && WalBeside(file);
  } catch (const SqlError&) {
    return true;
  }
}

}  // namespace lm::records
