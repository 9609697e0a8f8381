#include "sorrel/cef/webext/QueryClient.h"

#include <vector>

#include "lm/Json.h"
#include "sorrel/cef/webext/Extension.h"
#include "sorrel/cef/webkit/Protocol.h"

namespace Sorrel::cef::webext {
namespace {

void CallQuietly(JSCValue* fn, std::vector<JSCValue*> args) {
  if (!fn || !jsc_value_is_function(fn)) return;
  JSCValue* result = jsc_value_function_callv(fn, static_cast<guint>(args.size()), args.data());
  if (result) g_object_unref(result);
  jsc_context_clear_exception(jsc_value_get_context(fn));
}

}  // namespace

int64_t QueryClient::Start(const Document& doc, const std::string& request, JSCValue* onSuccess,
                           JSCValue* onFailure) {
  WebKitWebPage* page = webkit_web_extension_get_page(extension_, doc.pageId);
  if (!page) return 0;
  const int64_t id = nextId_++;
  pending_[id] = Pending{doc, GRef<JSCValue>::Share(onSuccess), GRef<JSCValue>::Share(onFailure)};
  GVariant* params = g_variant_new("(xxs)", static_cast<gint64>(doc.frameId), static_cast<gint64>(id), request.c_str());
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
  Pending p = std::move(it->second);
  pending_.erase(it);

  gboolean success = FALSE;
  gint32 code = -1;
  std::string text;
  GVariant* params = reply ? webkit_user_message_get_parameters(reply) : nullptr;
  if (params && g_variant_is_of_type(params, G_VARIANT_TYPE("(bis)"))) {
    const char* t = nullptr;
    g_variant_get(params, "(bi&s)", &success, &code, &t);
    text = t;
  } else {
    text = lm::json::ToText(lm::json::ErrorObject(-1, error ? error->message : "no answer"));
  }
  if (!success && code == webkit::kCancelledCode) return;

  JSCValue* fn = success ? p.onSuccess.get() : p.onFailure.get();
  if (!fn) return;
  JSCContext* ctx = jsc_value_get_context(fn);
  std::vector<JSCValue*> args;
  if (!success) args.push_back(jsc_value_new_number(ctx, code));
  args.push_back(jsc_value_new_string(ctx, text.c_str()));
  CallQuietly(fn, args);
  for (auto* a : args) g_object_unref(a);
}

void QueryClient::Cancel(int64_t requestId) {
  auto it = pending_.find(requestId);
  if (it == pending_.end()) return;
  uint64_t pageId = it->second.doc.pageId;
  pending_.erase(it);
  if (WebKitWebPage* page = webkit_web_extension_get_page(extension_, pageId)) {
    webkit_web_page_send_message_to_view(
        page, webkit_user_message_new(webkit::kMsgQueryCancel, g_variant_new("(x)", static_cast<gint64>(requestId))),
        nullptr, nullptr, nullptr);
  }
}

void QueryClient::DropFrame(uint64_t pageId, uint64_t frameId) {
  bool any = false;
  for (auto it = pending_.begin(); it != pending_.end();) {
    if (it->second.doc.pageId == pageId && it->second.doc.frameId == frameId) {
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
  for (auto it = pending_.begin(); it != pending_.end();) {
    if (it->second.doc.pageId == pageId) it = pending_.erase(it);
    else ++it;
  }
}

}  // namespace Sorrel::cef::webext
