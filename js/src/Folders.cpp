#include "sorrel/js/Folders.h"

#include "sorrel/js/FileNames.h"

#include <dlfcn.h>
#include <glib.h>
#include <sys/stat.h>

#include <filesystem>
#include <mutex>

namespace Sorrel::Js {

namespace fs = std::filesystem;

std::string ModuleDir() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  Dl_info info{};
  fs::path self = dladdr(reinterpret_cast<void*>(&ModuleDir), &info) && info.dli_fname
                      ? fs::weakly_canonical(info.dli_fname, ec)
                      : exe;
  fs::path dir = self.parent_path();
  // A page-process module lives in bin/<module folder>/ beside the program.
  if (!exe.empty() && fs::weakly_canonical(exe, ec) != self) dir = dir.parent_path();
  std::string text = dir.string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

std::optional<std::string> DocumentsFolder() {
  std::string dir;
  if (const char* special = g_get_user_special_dir(G_USER_DIRECTORY_DOCUMENTS)) dir = special;
  if (dir.empty()) {
    const char* home = g_get_home_dir();
    if (!home || !*home) return std::nullopt;
    dir = std::string(home) + "/Documents";
  }
  if (!IsDirectory(dir) && g_mkdir_with_parents(dir.c_str(), 0700) != 0) return std::nullopt;
  return dir;
}

namespace {

struct FolderState {
  std::mutex mutex;
  FolderTexts texts;
  std::string appDocuments;  // cached; empty until known
};

FolderState& State() {
  static FolderState state;
  return state;
}

}  // namespace

void SetFolderTexts(FolderTexts texts) {
  auto& s = State();
  std::lock_guard lock(s.mutex);
  s.texts = std::move(texts);
  s.appDocuments.clear();
}

FolderTexts FolderTextsFrom(const std::map<uint32_t, std::string>& table) {
  constexpr uint32_t kLocaleName = 1001, kCompanyFolder = 1003, kProductFolder = 1004;
  FolderTexts texts;
  auto take = [&](uint32_t id, std::string& into) {
    if (auto it = table.find(id); it != table.end()) into = it->second;
  };
  take(kCompanyFolder, texts.companyFolder);
  take(kProductFolder, texts.productFolder);
  take(kLocaleName, texts.localeName);
  return texts;
}

FolderTexts CurrentFolderTexts() {
  auto& s = State();
  std::lock_guard lock(s.mutex);
  return s.texts;
}

std::string AppDocumentsFolder() {
  auto& s = State();
  std::lock_guard lock(s.mutex);
  if (s.appDocuments.empty()) {
    // The folder names are text; on disk they take GLib's file-name encoding.
    auto onDisk = [](const std::string& text) { return TextToFileName(text).value_or(text); };
    if (auto docs = DocumentsFolder())
      s.appDocuments = *docs + "/" + onDisk(s.texts.companyFolder) + "/" + onDisk(s.texts.productFolder);
  }
  return s.appDocuments;
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeFolderPath(const std::string& path) {
  if (path.empty()) return false;
  if (IsDirectory(path)) return true;
  if (::mkdir(path.c_str(), 0777) == 0) return true;
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  const size_t slash = trimmed.find_last_of('/');
  if (slash == std::string::npos) return false;  // no parent to make first
  std::string parent = trimmed.substr(0, slash);
  while (parent.size() > 1 && parent.back() == '/') parent.pop_back();
  if (parent.empty() || parent == trimmed || !MakeFolderPath(parent)) return false;
  ::mkdir(trimmed.c_str(), 0777);
  return IsDirectory(trimmed);
}

}  // namespace Sorrel::Js
