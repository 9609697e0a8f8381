#pragma once
// app.fileDialog, app.browseForFolder, app.showContextMenu and app.msgbox:
// the argument is read on the query worker, the user interface runs on the
// UI thread and the answer is the user's choice.

#include <cstdint>
#include <vector>

#include "sorrel/cef/JsQueryHandler.h"
#include "sorrel/js/HostDoc.h"
#include "sorrel/js/HostUi.h"

namespace Sorrel::Js {

// The readers behind the functions, for the functions and their tests.
FileDialogRequest ParseFileDialog(const lm::json::Value& arg);
// Filter elements joined with "|" and paired as description and patterns.
std::vector<std::pair<std::string, std::string>> BuildFilter(const lm::json::Array& elements);
std::vector<MenuItem> ParseMenu(const lm::json::Array& items);
// pos, rc and the alignments, in page pixels scaled by `scale`.
MenuPlacement ParsePlacement(const lm::json::Value& arg, double scale);
MessageBoxRequest ParseMessageBox(const lm::json::Value& arg);
// Page pixels to device pixels at `scale` device pixels per page pixel,
// rounded half away from zero.
int32_t DevicePixels(double pagePixels, double scale);

class FileDialog : public cef::JsQueryHandler, public Described {
 public:
  FileDialog() : JsQueryHandler("JsFileDialog", "app.fileDialog", 0) {}
  void Execute(const cef::BrowserPtr& browser, const lm::json::Value& args,
               const std::shared_ptr<cef::BsmsgRouterCallback>& reply) override;
  const HostDoc& Doc() const override;
};

class BrowseForFolder : public cef::JsQueryHandler, public Described {
 public:
  BrowseForFolder() : JsQueryHandler("JsBrowseForFolder", "app.browseForFolder", 0) {}
  void Execute(const cef::BrowserPtr& browser, const lm::json::Value& args,
               const std::shared_ptr<cef::BsmsgRouterCallback>& reply) override;
  const HostDoc& Doc() const override;
};

class ShowContextMenu : public cef::JsQueryHandler, public Described {
 public:
  ShowContextMenu() : JsQueryHandler("JsShowContextMenu", "app.showContextMenu", 0) {}
  void Execute(const cef::BrowserPtr& browser, const lm::json::Value& args,
               const std::shared_ptr<cef::BsmsgRouterCallback>& reply) override;
  const HostDoc& Doc() const override;
};

class Msgbox : public cef::JsQueryHandler, public Described {
 public:
  Msgbox() : JsQueryHandler("JsMsgbox", "app.msgbox", 0) {}
  void Execute(const cef::BrowserPtr& browser, const lm::json::Value& args,
               const std::shared_ptr<cef::BsmsgRouterCallback>& reply) override;
  const HostDoc& Doc() const override;
};

}  // namespace Sorrel::Js
