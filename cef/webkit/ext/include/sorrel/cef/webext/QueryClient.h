#pragma once
// The page side of window.cefQuery / window.cefQueryCancel: each query goes
// to the view as a user message whose reply is the answer, handed to the
// dispatcher its document bound (the callbacks stay in the page). Queries of
// a document that went away are dropped here and given up in the browser.
// Main thread of the page process only.

#include <webkit2/webkit-web-extension.h>

#include <cstdint>
#include <map>
#include <utility>

#include "sorrel/cef/webext/Document.h"
#include "sorrel/cef/webext/GRef.h"

namespace Sorrel::cef::webext {

class QueryClient {
 public:
  explicit QueryClient(WebKitWebExtension* extension) : extension_(extension) {}

  // The document's answer function: dispatcher(id, ok, code, text).
  void Bind(const Document& doc, JSCValue* dispatcher);
  // Returns the request id, or 0 when the query could not be sent.
  int64_t Start(const Document& doc, const char* request);
  void Cancel(int64_t requestId);
  // The frame's document went away: its queries are dropped on both sides.
  void DropFrame(uint64_t pageId, uint64_t frameId);
  void DropPage(uint64_t pageId);

  size_t PendingCount() const { return pending_.size(); }

 private:
  using FrameKey = std::pair<uint64_t, uint64_t>;  // {page, frame}
  struct Dispatcher {
    Document doc;
    GRef<JSCValue> fn;
  };
  static void OnReply(GObject* page, GAsyncResult* result, gpointer requestId);
  void Deliver(int64_t requestId, WebKitUserMessage* reply, const GError* error);

  WebKitWebExtension* extension_;
  int64_t nextId_ = 1;
  std::map<int64_t, Document> pending_;
  std::map<FrameKey, Dispatcher> dispatchers_;  // the current document's
};

}  // namespace Sorrel::cef::webext
