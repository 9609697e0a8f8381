#pragma once
// The page-process side of the bridge, one per page process. Builds the same
// tables as the browser process from the same registration, injects the page
// script into every new window object of every frame showing a document from
// app://res/ (before page scripts run), and handles the messages from the
// browser process. Main thread of the page process only.

#include <webkit2/webkit-web-extension.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "sorrel/cef/JsEventListenerTable.h"
#include "sorrel/cef/JsFunctionHandler.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/cef/MsgRouter.h"
#include "sorrel/cef/webext/Document.h"
#include "sorrel/cef/webext/GRef.h"
#include "sorrel/cef/webext/QueryClient.h"

namespace Sorrel::cef::webext {

using ListenerTable = JsEventListenerTable<Document, GRef<JSCValue>>;
// Page-side message handlers act on the receiving page.
using RsmsgRouter = MsgRouter<WebKitWebPage*>;

class Extension {
 public:
  using Registration = std::function<void(Manager&)>;

  // Called once from the module's entry point.
  static void Start(WebKitWebExtension* extension, GVariant* initData, const Registration& registration);
  static Extension& Get();

  const JsFunctionHandler& Functions() const { return functions_; }
  ListenerTable& Listeners() { return listeners_; }
  QueryClient& Queries() { return queries_; }

  // Sends a process message from the page to its view; false without a page.
  bool SendToView(uint64_t pageId, const ProcessMessage& message);
  // The main frame's context of an app page, or null.
  JSCContext* MainContext(uint64_t pageId) const;
  // The main frame's context in a script world of the bridge's own, whose
  // app object has only sendProcessMessage: for documents without the page
  // functions. Null without a main frame.
  GRef<JSCContext> BareContext(WebKitWebPage* page);

 private:
  Extension(WebKitWebExtension* extension, bool console, std::unique_ptr<Manager> manager);

  static void OnPageCreated(WebKitWebExtension*, WebKitWebPage* page, gpointer);
  static void OnWindowObjectCleared(WebKitScriptWorld*, WebKitWebPage* page, WebKitFrame* frame, gpointer);
  static gboolean OnUserMessage(WebKitWebPage* page, WebKitUserMessage* message, gpointer);
  static void OnPageGone(gpointer, GObject* page);

  void NewDocument(WebKitWebPage* page, WebKitFrame* frame, WebKitScriptWorld* world);
  void Bind(JSCContext* context, const Document& doc);
  void DefineQueryFunctions(JSCContext* context, const Document& doc);
  void DefineFunction(JSCContext* context, JSCValue* target, const std::string& name, const Document& doc,
                      JSCValue* (*call)(GPtrArray*, gpointer), const std::string& tag);

  WebKitWebExtension* extension_;
  bool console_;  // copy every document's console messages to standard error
  std::unique_ptr<Manager> manager_;  // the page process's functions and queries
  std::string pageScript_;  // evaluated once per app document
  JsFunctionHandler functions_;
  ListenerTable listeners_;
  QueryClient queries_;
  RsmsgRouter router_;
  uint64_t nextGeneration_ = 1;
  std::map<std::pair<uint64_t, uint64_t>, Document> frames_;  // by {page, frame}: current document
  std::map<uint64_t, GRef<JSCContext>> mainContexts_;        // by page
  WebKitScriptWorld* bareWorld_ = nullptr;                   // made on first use, kept
};

// The page script with each "native function X();" declaration taken out,
// evaluated inside `with(<natives>)` so the wrappers find their functions.
std::string PrepareNativeScript(const std::string& pageScript, const Manager& manager);

}  // namespace Sorrel::cef::webext
