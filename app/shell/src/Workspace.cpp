#include "linkmeter/shell/Workspace.h"

#include <glib.h>

#include <cstdlib>

namespace linkmeter::shell {

std::filesystem::path DocumentsFolder() {
  if (const char* docs = g_get_user_special_dir(G_USER_DIRECTORY_DOCUMENTS)) return docs;
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home && *home ? home : g_get_home_dir()) / "Documents";
}

std::filesystem::path WorkspaceFolder(const std::filesystem::path& documents, const StringTable& strings) {
  return documents / strings.Get(strings::kCompanyFolder) / strings.Get(strings::kProductFolder);
}

bool CreateFolderLevels(const std::filesystem::path& folder) {
  std::filesystem::path level;
  for (const auto& part : folder.lexically_normal()) {
    level /= part;
    if (part.empty() || level == level.root_path()) continue;
    std::error_code ec;
    if (std::filesystem::is_directory(level, ec)) continue;
    if (!std::filesystem::create_directory(level, ec) && !std::filesystem::is_directory(level)) return false;
  }
  return std::filesystem::is_directory(folder);
}

}  // namespace linkmeter::shell
