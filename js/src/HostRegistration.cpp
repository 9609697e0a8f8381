#include "sorrel/js/HostRegistration.h"

#include "sorrel/cef/Manager.h"
#include "sorrel/js/DialogFunctions.h"
#include "sorrel/js/FileFunctions.h"
#include "sorrel/js/Folders.h"
#include "sorrel/js/ShellFunctions.h"
#include "sorrel/js/Sibling.h"
#include "sorrel/js/UiRequests.h"
#include "sorrel/js/WindowFunctions.h"

namespace Sorrel::Js {

void RegisterHostFunctions(cef::Manager& manager) {
  manager.AddQuery(std::make_shared<Exit>());
  manager.AddQuery(std::make_shared<FileDialog>());
  manager.AddQuery(std::make_shared<BrowseForFolder>());
  manager.AddQuery(std::make_shared<ShowContextMenu>());
  manager.AddQuery(std::make_shared<Msgbox>());
  manager.AddNative(std::make_shared<Explorer>());
  auto folders = std::make_shared<GetFolderPath>();
  folders->AddPath("AppDoc", AppDocumentsFolder);
  manager.AddNative(folders);
  manager.AddQuery(std::make_shared<CloseWindow>());
  manager.AddQuery(std::make_shared<SetWindowSize>());
  manager.AddQuery(std::make_shared<SetWindowPos>());
  manager.AddQuery(std::make_shared<SetWindowTextW>());
  manager.AddQuery(std::make_shared<MoveWindow>());
  manager.AddQuery(std::make_shared<CenterWindow>());
  manager.AddNative(std::make_shared<MakeSpecifyFolder>());
  manager.AddNative(std::make_shared<SetThreadExecutionState>());
  auto files = std::make_shared<FileTable>();
  manager.AddNative(std::make_shared<FileOpen>(files));
  manager.AddNative(std::make_shared<FileClose>(files));
  manager.AddNative(std::make_shared<FileWrite>(files));
  manager.AddNative(std::make_shared<FileRead>(files));
  manager.AddNative(std::make_shared<FileGets>(files));
  manager.AddNative(std::make_shared<FilePuts>(files));
  manager.AddNative(std::make_shared<FileSeek>(files));
  manager.AddNative(std::make_shared<IsExistFile>());
  manager.AddNative(std::make_shared<IsExistDir>());
  // What the page process hands to the UI process; no page text.
  auto keepAwake = std::make_shared<KeepAwakeTable>(std::make_shared<LogindKeepAwake>());
  manager.AddQuery(std::make_shared<KeepAwakeRequest>(manager, std::move(keepAwake)));
  manager.AddQuery(std::make_shared<OpenWithRequest>());
}

void RegisterSiblingFunctions(cef::Manager& manager) {
  manager.AddNative(std::make_shared<JsIsRunningVlb1Tool>());
  manager.AddNative(std::make_shared<JsGetSettingsVlb1Tool>());
}

}  // namespace Sorrel::Js
