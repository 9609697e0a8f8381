// The page-process extension module of the GUI tests and the benchmark: the
// program's page functions, the self-test functions, and a bare user-message
// ping for comparing the bridge against.
#include <webkit2/webkit-web-extension.h>

#include "PageStrings.h"
#include "PageUiRequests.h"
#include "SelfTestFunctions.h"
#include "linkmeter/Registration.h"
#include "sorrel/cef/CallbackTable.h"
#include "sorrel/cef/Exception.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/cef/webext/Document.h"
#include "sorrel/cef/webext/Extension.h"
#include "sorrel/cef/webext/GRef.h"
#include "sorrel/com/ComServices.h"

namespace {

using Sorrel::cef::webext::GRef;
using Sorrel::cef::webext::NativeCallContext;


void OnPong(GObject* page, GAsyncResult* result, gpointer data) {
  auto* callback = static_cast<JSCValue*>(data);
  WebKitUserMessage* reply = webkit_web_page_send_message_to_view_finish(WEBKIT_WEB_PAGE(page), result, nullptr);
  if (reply) g_object_unref(reply);
  JSCValue* r = jsc_value_function_call(callback, G_TYPE_NONE);
  if (r) g_object_unref(r);
  jsc_context_clear_exception(jsc_value_get_context(callback));
  g_object_unref(callback);
}

// app.selftest.rawPing(callback): one user message to the view and its
// reply, with nothing of the bridge in between. app.selftest.handOffPing
// likewise, answered by the view after two thread hand-offs.
class RawPing : public Sorrel::cef::JsNativeHandler {
 public:
  RawPing(const char* scriptName, const char* nativeName, const char* message)
      : JsNativeHandler(scriptName, nativeName), message_(message) {}
  bool Execute(Call& call) override {
    auto& nc = *static_cast<NativeCallContext*>(call.engine);
    JSCValue* callback = nc.arguments.empty() ? nullptr : nc.arguments[0];
    Sorrel::cef::Ensure(callback && jsc_value_is_function(callback), -1, Sorrel::cef::MsgMustBeFunction("callback"));
    WebKitWebPage* page = webkit_web_extension_get_page(extension, nc.document.pageId);
    Sorrel::cef::EnsureExecuted(page != nullptr, -2, "no page");
    webkit_web_page_send_message_to_view(page, webkit_user_message_new(message_, nullptr), nullptr, OnPong,
                                         g_object_ref(callback));
    return true;
  }
  static inline WebKitWebExtension* extension = nullptr;

 private:
  const char* message_;
};

}  // namespace

extern "C" G_MODULE_EXPORT void webkit_web_extension_initialize_with_user_data(WebKitWebExtension* extension,
                                                                                 const GVariant* data) {
  RawPing::extension = extension;
  Sorrel::Js::webext::ApplyProgramStrings(const_cast<GVariant*>(data));
  Sorrel::cef::webext::Extension::Start(extension, const_cast<GVariant*>(data), [](Sorrel::cef::Manager& m) {
    static auto* devices = new Sorrel::Com::ComServices();  // listed only, never asked
    static auto* callbacks = new Sorrel::cef::CallbackTable();   // likewise
    linkmeter::RegisterPageFunctions(m, *devices);
    linkmeter::selftest::RegisterSelfTestFunctions(m, *callbacks);
    m.AddNative(std::make_shared<RawPing>("app.selftest.rawPing", "SelfTestRawPing", "lm.selftest.ping"));
    m.AddNative(std::make_shared<RawPing>("app.selftest.handOffPing", "SelfTestHandOffPing", "lm.selftest.handoff"));
  });
  Sorrel::Js::webext::InstallPageUiRequests();
}
