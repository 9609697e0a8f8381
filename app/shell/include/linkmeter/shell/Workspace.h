#pragma once
// The user's folders the program works in.

#include <filesystem>
#include <string>

#include "linkmeter/shell/StringTable.h"

namespace linkmeter::shell {

// The XDG documents folder when the user dirs name one, else $HOME/Documents.
std::filesystem::path DocumentsFolder();
// Documents/<company folder>/<product folder>.
std::filesystem::path WorkspaceFolder(const std::filesystem::path& documents, const StringTable& strings);
// Where the engine keeps its cache and site data.
inline std::filesystem::path EngineCacheFolder(const std::filesystem::path& workspace) { return workspace / "cache"; }

// Creates the folder and every missing parent, one level at a time; a level
// that exists as a folder is accepted. False when a level cannot be made.
bool CreateFolderLevels(const std::filesystem::path& folder);

}  // namespace linkmeter::shell
