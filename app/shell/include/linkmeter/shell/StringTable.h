#pragma once
// The program's user-visible texts by id. The built-in table can be replaced
// by a table beside the executable, named like it with ".strings" (see
// docs/string-table.md): a GKeyFile whose group [Strings] maps ids to texts.
// Ids the replacement leaves out keep their built-in text.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

namespace linkmeter::shell {

namespace strings {
inline constexpr uint32_t kOleFailure = 100;
inline constexpr uint32_t kProgramName = 128;
inline constexpr uint32_t kLanguageTag = 1000;
inline constexpr uint32_t kLocaleName = 1001;
inline constexpr uint32_t kCompanyKey = 1002;
inline constexpr uint32_t kCompanyFolder = 1003;
inline constexpr uint32_t kProductFolder = 1004;
inline constexpr uint32_t kFolderFailure = 2000;
inline constexpr uint32_t kAppTitle = 57344;
}  // namespace strings

class StringTable {
 public:
  // The built-in texts.
  StringTable();

  // Replaces texts from the file. A missing file changes nothing and is not
  // an error; false with `error` set when it exists but cannot be read or
  // parsed (then nothing is replaced).
  bool LoadReplacement(const std::filesystem::path& file, std::string& error);

  // The text of the id; empty for an unknown id.
  const std::string& Get(uint32_t id) const;
  // Every text by id, for the page process, which follows the same table.
  const std::map<uint32_t, std::string>& All() const { return texts_; }

 private:
  std::map<uint32_t, std::string> texts_;
};

// <executable folder>/<executable name>.strings
std::filesystem::path ReplacementTablePath();

// The program version and the version text "1.05.0 (JPN)".
inline constexpr const char* kVersion = "1.05.0";
std::string VersionText(const StringTable& strings);

}  // namespace linkmeter::shell
