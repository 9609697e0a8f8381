#include "linkmeter/shell/Profile.h"

#include <vector>

namespace linkmeter::shell {
namespace {

constexpr const char* kVersionGroup = "Version";
constexpr const char* kLayoutGroup = "Workspace";

std::string TakeError(GError* error) {
  std::string text = error ? error->message : "unknown error";
  if (error) g_error_free(error);
  return text;
}

}  // namespace

Profile::Profile(std::filesystem::path file) : file_(std::move(file)), keys_(g_key_file_new()) {}

Profile::~Profile() { g_key_file_free(keys_); }

std::filesystem::path Profile::DefaultPath(const std::string& company, const std::string& title) {
  return std::filesystem::path(g_get_user_config_dir()) / company / title / "profile.ini";
}

bool Profile::Load(std::string& error) {
  GError* gerror = nullptr;
  if (g_key_file_load_from_file(keys_, file_.c_str(), G_KEY_FILE_KEEP_COMMENTS, &gerror)) return true;
  const bool missing = g_error_matches(gerror, G_FILE_ERROR, G_FILE_ERROR_NOENT);
  error = TakeError(gerror);
  g_key_file_free(keys_);
  keys_ = g_key_file_new();
  if (missing) error.clear();
  return missing;
}

bool Profile::Save(std::string& error) const {
  std::error_code ec;
  std::filesystem::create_directories(file_.parent_path(), ec);
  GError* gerror = nullptr;
  if (g_key_file_save_to_file(keys_, file_.c_str(), &gerror)) return true;
  error = TakeError(gerror);
  return false;
}

std::string Profile::GetString(const std::string& group, const std::string& key, const std::string& fallback) const {
  gchar* value = g_key_file_get_string(keys_, group.c_str(), key.c_str(), nullptr);
  if (!value) return fallback;
  std::string out = value;
  g_free(value);
  return out;
}

void Profile::SetString(const std::string& group, const std::string& key, const std::string& value) {
  g_key_file_set_string(keys_, group.c_str(), key.c_str(), value.c_str());
}

std::optional<int> Profile::GetInt(const std::string& group, const std::string& key) const {
  GError* gerror = nullptr;
  int value = g_key_file_get_integer(keys_, group.c_str(), key.c_str(), &gerror);
  if (gerror) {
    g_error_free(gerror);
    return std::nullopt;
  }
  return value;
}

void Profile::SetInt(const std::string& group, const std::string& key, int value) {
  g_key_file_set_integer(keys_, group.c_str(), key.c_str(), value);
}

void Profile::RemoveGroupTree(const std::string& group) {
  if (group.empty()) return;
  std::vector<std::string> doomed;
  gchar** groups = g_key_file_get_groups(keys_, nullptr);
  for (gchar** g = groups; g && *g; ++g) {
    std::string name = *g;
    if (name == group || name.rfind(group + "/", 0) == 0) doomed.push_back(name);
  }
  g_strfreev(groups);
  for (const auto& name : doomed) g_key_file_remove_group(keys_, name.c_str(), nullptr);
}

bool Profile::HasGroup(const std::string& group) const { return g_key_file_has_group(keys_, group.c_str()); }

std::string LanguageTag(const std::string& versionText) {
  size_t open = versionText.find('(');
  if (open == std::string::npos || open == 0) return {};
  std::string tag = versionText.substr(open);
  if (!tag.empty() && tag.front() == '(') tag.erase(0, 1);
  if (!tag.empty() && tag.back() == ')') tag.pop_back();
  return tag;
}

bool ApplyVersionCheck(Profile& profile, const std::string& currentVersionText) {
  const std::string stored = profile.GetString(kVersionGroup, kVersionGroup);
  const bool differs = LanguageTag(stored) != LanguageTag(currentVersionText);
  if (differs) profile.RemoveGroupTree(kLayoutGroup);
  profile.SetString(kVersionGroup, kVersionGroup, currentVersionText);
  return differs;
}

}  // namespace linkmeter::shell
