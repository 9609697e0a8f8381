#include "sorrel/js/ShellFunctions.h"

#include <gio/gio.h>

#include <cstdio>

#include "sorrel/cef/Exception.h"
#include "sorrel/js/FileNames.h"
#include "sorrel/js/Folders.h"
#include "sorrel/js/UiRequests.h"

namespace Sorrel::Js {

using cef::Ensure;
using cef::EnsureExecuted;

FileOpener DesktopFileOpener() {
  FileOpener opener;
  opener.openDefault = [](const std::string& path) {
    GFile* file = g_file_new_for_path(path.c_str());
    gchar* uri = g_file_get_uri(file);
    g_object_unref(file);
    GError* error = nullptr;
    const bool ok = g_app_info_launch_default_for_uri(uri, nullptr, &error);
    const bool unassociated = !ok && error && error->domain == G_IO_ERROR && error->code == G_IO_ERROR_NOT_SUPPORTED;
    g_clear_error(&error);
    g_free(uri);
    return ok || !unassociated;  // other failures are not reported
  };
  return opener;
}

namespace {

// The file-system name of a path the page gave; a text the file-name
// encoding cannot carry is refused rather than turned into another name.
std::string FileNameOf(const std::string& text, int32_t code) {
  auto name = TextToFileName(text);
  EnsureExecuted(name.has_value(), code, "the path cannot be a file name here: " + text);
  return *name;
}

// A path handed back to the page as text; a name that is no text in the
// file-name encoding is refused rather than passed on as raw bytes.
lm::json::Value TextOfFileName(const std::string& name, int32_t code) {
  auto text = FileNameToText(name);
  EnsureExecuted(text.has_value(), code, "the folder's name cannot be represented as text: " + FileNameForDisplay(name));
  return lm::json::String(*text);
}

}  // namespace

void Explorer::Run(const Args& args, Call& call) {
  const std::string path = TextAt0(args, "filepath");
  const std::string name = FileNameOf(path, -1);
  if (!opener_.openDefault || opener_.openDefault(name)) {
    ReturnUndefined(call);
    return;
  }
  // The chooser is a window: the UI process shows it (the request carries
  // the text; the UI process converts it again).
  if (opener_.choose) opener_.choose(name);
  else if (!SendUiRequest(call, "JsOpenWith", lm::json::MakeObject({{"path", lm::json::String(path)}})))
    std::fprintf(stderr, "no application is associated with %s\n", path.c_str());
  ReturnUndefined(call);
}

GetFolderPath::GetFolderPath() : HostNative("app.getFolderPath", "JsGetFolderPath") {
  const std::string module = ModuleDir();
  paths_["ModuleDir"] = [module] { return module; };
  known_["Documents"] = DocumentsFolder;
}

void GetFolderPath::AddPath(const std::string& key, std::function<std::string()> path) {
  std::lock_guard lock(mutex_);
  paths_.emplace(key, std::move(path));
}

void GetFolderPath::AddKnownFolder(const std::string& key, KnownFolder folder) {
  std::lock_guard lock(mutex_);
  known_.emplace(key, std::move(folder));
}

void GetFolderPath::Run(const Args& args, Call& call) {
  const std::string key = TextAt0(args, "key");
  std::function<std::string()> path;
  KnownFolder known;
  {
    std::lock_guard lock(mutex_);
    if (auto it = paths_.find(key); it != paths_.end()) path = it->second;
    if (auto it = known_.find(key); it != known_.end()) known = it->second;
  }
  if (path) {
    call.returnValue = TextOfFileName(path(), -2);
    return;
  }
  Ensure(static_cast<bool>(known), -1, "key");
  auto folder = known();
  EnsureExecuted(folder.has_value(), -2, "");
  call.returnValue = TextOfFileName(*folder, -2);
}

void MakeSpecifyFolder::Run(const Args& args, Call& call) {
  Ensure(!args.empty(), -1, "");
  Ensure(args[0].is<std::string>(), -2, "");
  const std::string& path = args[0].get<std::string>();
  Ensure(!path.empty(), -3, "");
  call.returnValue = lm::json::Bool(MakeFolderPath(FileNameOf(path, -4)));
}

void SetThreadExecutionState::Run(const Args& args, Call& call) {
  Ensure(args.size() < 2, -1, "");
  uint32_t flags = 0;
  if (args.size() == 1) {
    Ensure(args[0].is<lm::json::Object>(), -2, "");
    const auto& o = args[0].get<lm::json::Object>();
    struct Member {
      const char* name;
      uint32_t bit;
      int32_t code;
    };
    for (const Member& m : {Member{"systemRequired", kEsSystemRequired, -3},
                            Member{"displayRequired", kEsDisplayRequired, -4}, Member{"continuous", kEsContinuous, -5}}) {
      auto it = o.find(m.name);
      if (it == o.end()) continue;
      Ensure(it->second.is<bool>(), m.code, "");
      if (it->second.get<bool>()) flags |= m.bit;
    }
  }
  const uint32_t previous = state_.Set(flags);
  if (flags & kEsContinuous) {
    const bool system = flags & kEsSystemRequired, display = flags & kEsDisplayRequired;
    // The lock is held in the UI process; on its own the page process holds it.
    const auto request = lm::json::MakeObject({{"displayRequired", lm::json::Bool(display)},
                                               {"systemRequired", lm::json::Bool(system)}});
    if (!SendUiRequest(call, "JsKeepAwake", request) && local_) local_->Hold(system, display);
  }
  if (previous == 0) return;  // null
  call.returnValue = lm::json::MakeObject({{"continuous", lm::json::Bool(previous & kEsContinuous)},
                                           {"displayRequired", lm::json::Bool(previous & kEsDisplayRequired)},
                                           {"systemRequired", lm::json::Bool(previous & kEsSystemRequired)}});
}

// ---- descriptions ---------------------------------------------------------

namespace {
constexpr const char* kShell = "Windows and shell";
}  // namespace

const HostDoc& Explorer::Doc() const {
  static const HostDoc doc{
      kShell, "(filepath)", "Opens a file with its default application, or offers a chooser.",
      {{"filepath", "string", "required", "a file path"}}, "undefined.",
      {{"0", "\"Invalid arguments : 'filepath' is not found.\" or \"… must have type string.\""},
       {"-1", "the path has characters the file-name encoding (G_FILENAME_ENCODING, else UTF-8) cannot carry"}},
      "app.explorer(app.getFolderPath('AppDoc') + '/survey.csv');", {__FILE__, "HostNative.cpp"}};
  return doc;
}

const HostDoc& GetFolderPath::Doc() const {
  static const HostDoc doc{
      kShell, "(key)", "A well-known folder.",
      {{"key", "string", "required",
        "\"ModuleDir\" (the program's folder), \"AppDoc\" (the workspace: Documents, strings 1003 and 1004 of the "
        "program's string table), \"Documents\"; case-sensitive"}},
      "The folder's path as a string.",
      {{"0", "key missing or not a string"}, {"-1", "an unknown key: \"Invalid arguments : key\""},
       {"-2", "the folder cannot be found, or its name is no text in the file-name encoding"}},
      "const docs = app.getFolderPath('Documents');", {__FILE__, "HostNative.cpp"}};
  return doc;
}

const HostDoc& MakeSpecifyFolder::Doc() const {
  static const HostDoc doc{kShell, "(path)", "Creates a folder and every missing folder above it.",
                           {{"path", "string", "required", "not empty"}},
                           "true when the folder exists afterwards, else false.",
                           {{"-1", "no argument"}, {"-2", "not a string"}, {"-3", "an empty string"},
                            {"-4", "the path has characters the file-name encoding cannot carry"}},
                           "app.makeSpecifyFolder(app.getFolderPath('AppDoc') + '/exports');", {__FILE__}};
  return doc;
}

const HostDoc& SetThreadExecutionState::Doc() const {
  static const HostDoc doc{
      kShell, "([flags])", "Keeps the computer (and the display) awake while the page asks for it.",
      {{"flags", "object {systemRequired, displayRequired, continuous}", "optional",
        "booleans; continuous keeps the state until changed"}},
      "The previous flags as {continuous, displayRequired, systemRequired}, or null.",
      {{"-1", "more than one argument"}, {"-2", "flags is not an object"},
       {"-3 … -5", "systemRequired, displayRequired or continuous not a boolean"}},
      "app.setThreadExecutionState({continuous: true, systemRequired: true});\n// afterwards\n"
      "app.setThreadExecutionState({continuous: true});",
      {__FILE__}};
  return doc;
}

}  // namespace Sorrel::Js
