#pragma once
// Well-known folders of the host and creating folder paths.

#include <optional>
#include <string>

namespace Sorrel::Js {

// The program's folder without a trailing "/". Code loaded into a page
// process from a module folder below the program folder still names the
// program folder.
std::string ModuleDir();
// The user's Documents folder, created when missing; nullopt when there is
// none to be had.
std::optional<std::string> DocumentsFolder();
// Documents + "/Vantor Corp/Fieldgauge(VELA)"; empty when Documents fails,
// computed again on the next call then.
std::string AppDocumentsFolder();

bool IsDirectory(const std::string& path);
// Creates the folder and any missing parents; true when it exists afterwards.
bool MakeFolderPath(const std::string& path);

}  // namespace Sorrel::Js
