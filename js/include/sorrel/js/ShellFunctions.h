#pragma once
// app.explorer, app.getFolderPath, app.makeSpecifyFolder and
// app.setThreadExecutionState: native functions of the page process.

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "sorrel/js/HostNative.h"
#include "sorrel/js/KeepAwake.h"

namespace Sorrel::Js {

// Opens a file with the application the desktop associates with it; false
// when there is none. The chooser shows the desktop's application chooser;
// without one the UI process is asked to show it.
struct FileOpener {
  std::function<bool(const std::string& path)> openDefault;
  std::function<void(const std::string& path)> choose;
};
// Over GIO, without a chooser of its own.
FileOpener DesktopFileOpener();

class Explorer : public HostNative {
 public:
  explicit Explorer(FileOpener opener = DesktopFileOpener())
      : HostNative("app.explorer", "JsExplorer"), opener_(std::move(opener)) {}
  void Run(const Args& args, Call& call) override;
  const HostDoc& Doc() const override;

 private:
  FileOpener opener_;
};

class GetFolderPath : public HostNative {
 public:
  using KnownFolder = std::function<std::optional<std::string>()>;

  // "ModuleDir" and the known folder "Documents" are there from the start.
  GetFolderPath();
  // Adds a named path unless the key is already present.
  void AddPath(const std::string& key, std::function<std::string()> path);
  void AddKnownFolder(const std::string& key, KnownFolder folder);
  void Run(const Args& args, Call& call) override;
  const HostDoc& Doc() const override;

 private:
  std::mutex mutex_;
  std::map<std::string, std::function<std::string()>> paths_;
  std::map<std::string, KnownFolder> known_;
};

class MakeSpecifyFolder : public HostNative {
 public:
  MakeSpecifyFolder() : HostNative("app.makeSpecifyFolder", "JsMakeSpecifyFolder") {}
  void Run(const Args& args, Call& call) override;
  const HostDoc& Doc() const override;
};

class SetThreadExecutionState : public HostNative {
 public:
  // `local` holds the lock when there is no UI process to carry it to.
  explicit SetThreadExecutionState(std::shared_ptr<KeepAwake> local = std::make_shared<LogindKeepAwake>())
      : HostNative("app.setThreadExecutionState", "JsSetThreadExecutionState"), state_(nullptr), local_(std::move(local)) {}
  void Run(const Args& args, Call& call) override;
  const HostDoc& Doc() const override;

 private:
  ExecutionState state_;
  std::shared_ptr<KeepAwake> local_;
};

}  // namespace Sorrel::Js
