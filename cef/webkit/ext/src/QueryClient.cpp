#include "sorrel/cef/webext/QueryClient.h"

#include "lm/Json.h"
#include "sorrel/cef/webext/Extension.h"
#include "sorrel/cef/webkit/Protocol.h"
#include "sorrel/cef/webkit/QueryWire.h"

namespace Sorrel::cef::webext {

void QueryClient::Bind(const Document& doc, JSCValue* dispatcher) {
  dispatchers_[{doc.pageId, doc.frameId}] = Dispatcher{doc, GRef<JSCValue>::Share(dispatcher)};
}

int64_t QueryClient::Start(const Document& doc, const char* request) {
  WebKitWebPage* page = webkit_web_extension_get_page(extension_, doc.pageId);
  if (!page) return 0;
  const int64_t id = nextId_++;
  pending_[id] = doc;
  GVariant* params = webkit::EncodeQueryRequest(static_cast<int64_t>(doc.frameId), id, request);
  webkit_web_page_send_message_to_view(page, webkit_user_message_new(webkit::kMsgQuery, params), nullptr, OnReply,
                                       reinterpret_cast<gpointer>(static_cast<intptr_t>(id)));
  return id;
}

void QueryClient::OnReply(GObject* page, GAsyncResult* result, gpointer requestId) {
  GError* error = nullptr;
  WebKitUserMessage* reply = webkit_web_page_send_message_to_view_finish(WEBKIT_WEB_PAGE(page), result, &error);
  Extension::Get().Queries().Deliver(static_cast<int64_t>(reinterpret_cast<intptr_t>(requestId)), reply, error);
  if (reply) g_object_unref(reply);
  if (error) g_error_free(error);
}

void QueryClient::Deliver(int64_t requestId, WebKitUserMessage* reply, const GError* error) {
  auto it = pending_.find(requestId);
  if (it == pending_.end()) return;  // cancelled, or its document is gone
  const Document doc = it->second;
  pending_.erase(it);

  auto answer = webkit::DecodeQueryAnswer(reply ? webkit_user_message_get_parameters(reply) : nullptr);
  std::string failure;
  if (!answer) {
    failure = lm::json::ToText(lm::json::ErrorObject(-1, error ? error->message : "no answer"));
    answer = webkit::QueryAnswer{false, -1, failure};
  }
  if (!answer->success && answer->code == webkit::kCancelledCode) return;

  auto d = dispatchers_.find({doc.pageId, doc.frameId});
  if (d == dispatchers_.end() || !(d->second.doc == doc)) return;
  GRef<JSCValue> fn = d->second.fn;  // the callback may end the document
  // The text ends where the payload's NUL (or the failure string's) does.
  JSCValue* result =
      jsc_value_function_call(fn.get(), G_TYPE_DOUBLE, static_cast<double>(requestId), G_TYPE_BOOLEAN,
                              answer->success ? TRUE : FALSE, G_TYPE_INT, answer->code, G_TYPE_STRING,
                              answer->text.data(), G_TYPE_NONE);
  if (result) g_object_unref(result);
  jsc_context_clear_exception(jsc_value_get_context(fn.get()));
}

void QueryClient::Cancel(int64_t requestId) {
  auto it = pending_.find(requestId);
  if (it == pending_.end()) return;
  uint64_t pageId = it->second.pageId;
  pending_.erase(it);
  if (WebKitWebPage* page = webkit_web_extension_get_page(extension_, pageId)) {
    webkit_web_page_send_message_to_view(
        page, webkit_user_message_new(webkit::kMsgQueryCancel, g_variant_new("(x)", static_cast<gint64>(requestId))),
        nullptr, nullptr, nullptr);
  }
}

void QueryClient::DropFrame(uint64_t pageId, uint64_t frameId) {
  dispatchers_.erase({pageId, frameId});
  bool any = false;
  for (auto it = pending_.begin(); it != pending_.end();) {
    if (it->second.pageId == pageId && it->second.frameId == frameId) {
      it = pending_.erase(it);
      any = true;
    } else {
      ++it;
    }
  }
  WebKitWebPage* page = any ? webkit_web_extension_get_page(extension_, pageId) : nullptr;
  if (page) {
    webkit_web_page_send_message_to_view(
        page, webkit_user_message_new(webkit::kMsgFrameCleared, g_variant_new("(x)", static_cast<gint64>(frameId))),
        nullptr, nullptr, nullptr);
  }
}

void QueryClient::DropPage(uint64_t pageId) {
  std::erase_if(pending_, [&](const auto& kv) { return kv.second.pageId == pageId; });
  std::erase_if(dispatchers_, [&](const auto& kv) { return kv.first.first == pageId; });
}

}  // namespace Sorrel::cef::webext
