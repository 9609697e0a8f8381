#pragma once
// The program's profile: a GKeyFile in
// $XDG_CONFIG_HOME/<company key>/<application title>/profile.ini holding the
// version, the saved window layout (group "Workspace" and groups below it,
// "Workspace/...") and the documentation window's place ("ApiDocDlg").
// Main thread only.

#include <glib.h>

#include <filesystem>
#include <optional>
#include <string>

namespace linkmeter::shell {

class Profile {
 public:
  explicit Profile(std::filesystem::path file);
  ~Profile();
  Profile(const Profile&) = delete;
  Profile& operator=(const Profile&) = delete;

  // $XDG_CONFIG_HOME/<company>/<title>/profile.ini
  static std::filesystem::path DefaultPath(const std::string& company, const std::string& title);

  // A missing file is an empty profile. False with `error` set when the file
  // exists but cannot be read; the profile then starts empty.
  bool Load(std::string& error);
  // Writes the file atomically, creating its folders.
  bool Save(std::string& error) const;

  std::string GetString(const std::string& group, const std::string& key, const std::string& fallback = {}) const;
  void SetString(const std::string& group, const std::string& key, const std::string& value);
  std::optional<int> GetInt(const std::string& group, const std::string& key) const;
  void SetInt(const std::string& group, const std::string& key, int value);
  // Removes the group and every group below it ("group/..."); an empty name
  // removes nothing.
  void RemoveGroupTree(const std::string& group);
  bool HasGroup(const std::string& group) const;

  const std::filesystem::path& File() const { return file_; }

 private:
  std::filesystem::path file_;
  GKeyFile* keys_;
};

// The part of a version text from its first "(" (unless that is the first
// character) with the brackets stripped: "1.05.0 (JPN)" gives "JPN".
std::string LanguageTag(const std::string& versionText);

// The version check at start-up: when the stored version's language tag
// differs from the current one the saved layout is removed; then the current
// version text is stored. True when the layout was removed.
bool ApplyVersionCheck(Profile& profile, const std::string& currentVersionText);

}  // namespace linkmeter::shell
