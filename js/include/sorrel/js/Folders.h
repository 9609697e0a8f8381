#pragma once
// Well-known folders of the host and creating folder paths.

#include <cstdint>
#include <map>
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
// The program's string-table texts the host functions follow: the
// workspace's company and product folders and the locale name, which picks
// the sibling application's product folder. Every process takes them from
// the one table the program loaded (docs/string-table.md).
struct FolderTexts {
  std::string companyFolder = "Vantor Corp";
  std::string productFolder = "Fieldgauge(VELA)";
  std::string localeName = "Japanese";
};
void SetFolderTexts(FolderTexts texts);
FolderTexts CurrentFolderTexts();
// The folder texts of a string table by id (1001 locale, 1003 company
// folder, 1004 product folder); an id the table leaves out keeps its
// built-in text. The window and the page process both take them this way.
FolderTexts FolderTextsFrom(const std::map<uint32_t, std::string>& table);

// Documents + "/" + company folder + "/" + product folder; empty when
// Documents fails, computed again on the next call then.
std::string AppDocumentsFolder();

bool IsDirectory(const std::string& path);
// Creates the folder and any missing parents; true when it exists afterwards.
bool MakeFolderPath(const std::string& path);

}  // namespace Sorrel::Js
