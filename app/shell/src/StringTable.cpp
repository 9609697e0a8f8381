#include "linkmeter/shell/StringTable.h"

#include <glib.h>

#include <cstdlib>

#include "sorrel/cef/webkit/WebEngine.h"

namespace linkmeter::shell {

StringTable::StringTable()
    : texts_{
          {strings::kOleFailure,
           "OLE の初期化に失敗しました。OLE ライブラリのバージョンが正しいことを確認してください。"},
          {strings::kProgramName, "Linkmeter"},
          {strings::kLanguageTag, "(JPN)"},
          {strings::kLocaleName, "Japanese"},
          {strings::kCompanyKey, "VANTOR CORPORATION"},
          {strings::kCompanyFolder, "Vantor Corp"},
          {strings::kProductFolder, "Fieldgauge(VELA)"},
          {strings::kFolderFailure, "Failure to create folder."},
          {strings::kAppTitle, "Fieldgauge(VELA)"},
      } {}

bool StringTable::LoadReplacement(const std::filesystem::path& file, std::string& error) {
  std::error_code ec;
  if (std::filesystem::symlink_status(file, ec).type() == std::filesystem::file_type::not_found) return true;
  GKeyFile* keys = g_key_file_new();
  GError* gerror = nullptr;
  bool ok = g_key_file_load_from_file(keys, file.c_str(), G_KEY_FILE_NONE, &gerror);
  std::map<uint32_t, std::string> loaded;
  if (ok && g_key_file_has_group(keys, "Strings")) {
    gchar** names = g_key_file_get_keys(keys, "Strings", nullptr, nullptr);
    for (gchar** n = names; ok && n && *n; ++n) {
      char* end = nullptr;
      unsigned long id = std::strtoul(*n, &end, 10);
      gchar* text = g_key_file_get_string(keys, "Strings", *n, &gerror);
      if (!text || *end != '\0' || end == *n || id > 0xFFFF) {
        ok = false;
        if (!gerror) error = std::string("bad string id '") + *n + "'";
      } else {
        loaded[static_cast<uint32_t>(id)] = text;
      }
      g_free(text);
    }
    g_strfreev(names);
  }
  if (gerror) {
    error = gerror->message;
    g_error_free(gerror);
  }
  g_key_file_free(keys);
  if (!ok) return false;
  for (auto& [id, text] : loaded) texts_[id] = std::move(text);
  return true;
}

const std::string& StringTable::Get(uint32_t id) const {
  static const std::string empty;
  auto it = texts_.find(id);
  return it == texts_.end() ? empty : it->second;
}

std::filesystem::path ReplacementTablePath() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  std::string name = ec ? std::string("linkmeter") : exe.stem().string();
  return Sorrel::cef::webkit::ExecutableDir() / (name + ".strings");
}

std::string VersionText(const StringTable& strings) {
  return std::string(kVersion) + " " + strings.Get(strings::kLanguageTag);
}

}  // namespace linkmeter::shell
