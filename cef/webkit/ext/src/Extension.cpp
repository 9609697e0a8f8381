#include "sorrel/cef/webext/Extension.h"

#include <cstdio>
#include <cstring>

#include "QueryGlueText.h"
#include "sorrel/cef/Exception.h"
#include "sorrel/cef/PageScript.h"
#include "sorrel/cef/webext/BridgeNatives.h"
#include "sorrel/cef/webext/ConsoleForwarder.h"
#include "sorrel/cef/webext/JscConvert.h"
#include "sorrel/cef/webkit/GVariantMsg.h"
#include "sorrel/cef/webkit/Protocol.h"

namespace Sorrel::cef::webext {
namespace {

Extension* g_extension = nullptr;

constexpr const char* kNativesName = "__lmNatives";
constexpr const char* kBareSendName = "__lmSend";

// What a function defined in a document knows about itself.
struct Bound {
  Document doc;
  std::string name;
};

JSCValue* Throw(JSCContext* ctx, const std::string& text) {
  jsc_context_throw(ctx, text.c_str());
  return jsc_value_new_undefined(ctx);
}

std::string ScriptNameOf(const std::string& nativeName) {
  auto handler = Extension::Get().Functions().Find(nativeName);
  return handler ? handler->ScriptName() : nativeName;
}

// Why a call's arguments could not be taken; made into the exception's text
// only when it happens, since every native call passes through here.
struct UnpackFailure {
  int32_t code = 0;
  std::string message;
};

// The page passes its `arguments` object as the one argument. Each argument
// is converted within one budget for the whole call.
bool Unpack(GPtrArray* args, NativeCallContext& nc, JsNativeHandler::Call& call, UnpackFailure& failure) {
  failure.code = -1;
  if (args->len != 1) return false;
  auto* object = static_cast<JSCValue*>(g_ptr_array_index(args, 0));
  failure.code = -2;
  if (!jsc_value_is_object(object)) return false;
  failure.code = -3;
  JSCValue* length = jsc_value_object_get_property(object, "length");
  bool ok = jsc_value_is_number(length);
  double n = ok ? jsc_value_to_double(length) : 0;
  g_object_unref(length);
  if (!ok || !(n >= 0) || n > static_cast<double>(JsConverter::kMaxValues)) return false;
  JsConverter converter;
  for (guint i = 0; i < static_cast<guint>(n); ++i) {
    JSCValue* item = jsc_value_object_get_property_at_index(object, i);
    nc.arguments.push_back(item);
    auto json = converter.ToJson(item);
    if (!json) {
      failure = {-4, converter.Refusal("arguments[" + std::to_string(i) + "]")};
      return false;
    }
    call.arguments.push_back(std::move(*json));
  }
  return true;
}

JSCValue* CallNative(GPtrArray* args, gpointer data) {
  auto* bound = static_cast<Bound*>(data);
  JSCContext* ctx = jsc_context_get_current();
  NativeCallContext nc{ctx, bound->doc, {}};
  JsNativeHandler::Call call{bound->name, {}, lm::json::Value(), {}, &nc};
  UnpackFailure failure;
  bool unpacked = Unpack(args, nc, call, failure);
  JSCValue* result = nullptr;
  if (!unpacked) {
    const JsArgumentException error(failure.code, failure.message);
    result = Throw(ctx, NativeExceptionText(error.Text(), ScriptNameOf(bound->name)));
  } else if (!Extension::Get().Functions().Execute(call)) {
    result = Throw(ctx, "unknown native function " + bound->name);
  } else if (!call.exception.empty()) {
    result = Throw(ctx, call.exception);
  } else if (call.returnUndefined) {
    result = jsc_value_new_undefined(ctx);
  } else {
    result = JsFromJson(ctx, call.returnValue);
  }
  for (JSCValue* v : nc.arguments) g_object_unref(v);
  return result;
}

// The natives of the query glue, with plain parameters so that no value
// wrapper is made per query.
double SendQuery(const char* request, gpointer data) {
  return static_cast<double>(Extension::Get().Queries().Start(static_cast<Bound*>(data)->doc, request));
}

// Ids are counted from 1; anything else names no query (and NaN has no integer).
void CancelQuery(double id, gpointer) {
  if (id >= 1 && id <= 9007199254740992.0) Extension::Get().Queries().Cancel(static_cast<int64_t>(id));
}

void BindQueries(JSCValue* dispatcher, gpointer data) {
  if (jsc_value_is_function(dispatcher)) Extension::Get().Queries().Bind(static_cast<Bound*>(data)->doc, dispatcher);
}

bool HasAppObject(JSCContext* ctx) {
  auto app = GRef<JSCValue>::Adopt(jsc_context_get_value(ctx, "app"));
  return app && jsc_value_is_object(app.get());
}

// "cefmsg.eval.b2r": [script] evaluated in the page's main frame.
class RsmsgEval : public RsmsgRouter::MsgHandler {
 public:
  RsmsgEval() : MsgHandler(kMsgEvalName) {}
  void Handle(WebKitWebPage*& page, const ProcessMessage& message) override {
    if (message.args.empty() || message.args[0].GetType() != MsgValue::Type::String)
      throw Exception(-1, "eval needs a script");
    // A document without the page functions (another origin, about:blank, or
    // a page that dropped its app object) still answers the host's questions:
    // the script runs in a world of its own where app has only
    // sendProcessMessage, so absent page callbacks answer as such pages do.
    JSCContext* ctx = Extension::Get().MainContext(webkit_web_page_get_id(page));
    GRef<JSCContext> bare;
    if (!ctx || !HasAppObject(ctx)) {
      bare = Extension::Get().BareContext(page);
      ctx = bare.get();
    }
    if (!ctx) throw JsExecuteException(-1, "no page context");
    const std::string& script = message.args[0].GetString();
    JSCValue* result = jsc_context_evaluate(ctx, script.c_str(), static_cast<gssize>(script.size()));
    if (result) g_object_unref(result);
    jsc_context_clear_exception(ctx);
  }
  static constexpr const char* kMsgEvalName = "cefmsg.eval.b2r";
};

// "cefmsg.eventlistener.b2r": [name, args...] calls the page's listener.
class RsmsgEventListener : public RsmsgRouter::MsgHandler {
 public:
  RsmsgEventListener() : MsgHandler("cefmsg.eventlistener.b2r") {}
  void Handle(WebKitWebPage*& page, const ProcessMessage& message) override {
    if (message.args.empty() || message.args[0].GetType() != MsgValue::Type::String)
      throw Exception(-1, "event needs a listener name");
    const auto* entry = Extension::Get().Listeners().Find(message.args[0].GetString(), webkit_web_page_get_id(page));
    if (!entry || !jsc_value_is_function(entry->listener.get())) return;
    GRef<JSCValue> fn = entry->listener;  // the listener may remove itself
    JSCContext* ctx = jsc_value_get_context(fn.get());
    std::vector<JSCValue*> args;
    for (size_t i = 1; i < message.args.size(); ++i) args.push_back(JsFromMsg(ctx, message.args[i]));
    JSCValue* result = jsc_value_function_callv(fn.get(), static_cast<guint>(args.size()), args.data());
    if (result) g_object_unref(result);
    jsc_context_clear_exception(ctx);
    for (auto* a : args) g_object_unref(a);
  }
};

}  // namespace

std::string PrepareNativeScript(const std::string& pageScript, const Manager& manager) {
  std::string script = pageScript;
  for (const auto& [nativeName, handler] : manager.NativeHandlersByName()) {
    const std::string declaration = "native function " + nativeName + "();";
    for (size_t at = script.find(declaration); at != std::string::npos; at = script.find(declaration, at))
      script.erase(at, declaration.size());
  }
  return std::string("with(") + kNativesName + "){" + script + "\n}";
}

void Extension::Start(WebKitWebExtension* extension, GVariant* initData, const Registration& registration) {
  if (g_extension) return;
  gboolean console = FALSE;
  if (initData && g_variant_is_of_type(initData, G_VARIANT_TYPE_VARDICT))
    g_variant_lookup(initData, "console", "b", &console);
  auto manager = std::make_unique<Manager>();
  RegisterBridgeNatives(*manager);
  if (registration) registration(*manager);
  // Lives as long as the page process, with its manager; never torn down,
  // so nothing is released after WebKit itself has shut down.
  g_extension = new Extension(extension, console, std::move(manager));
}

Extension& Extension::Get() { return *g_extension; }

Extension::Extension(WebKitWebExtension* extension, bool console, std::unique_ptr<Manager> manager)
    : extension_(extension),
      console_(console),
      manager_(std::move(manager)),
      pageScript_(PrepareNativeScript(BuildPageScript(*manager_), *manager_)),
      functions_(*manager_),
      queries_(extension) {
  router_.Add(std::make_shared<RsmsgEval>());
  router_.Add(std::make_shared<RsmsgEventListener>());
  g_signal_connect(extension, "page-created", G_CALLBACK(OnPageCreated), nullptr);
  g_signal_connect(webkit_script_world_get_default(), "window-object-cleared", G_CALLBACK(OnWindowObjectCleared),
                   nullptr);
}

void Extension::OnPageCreated(WebKitWebExtension*, WebKitWebPage* page, gpointer) {
  g_signal_connect(page, "user-message-received", G_CALLBACK(OnUserMessage), nullptr);
  g_object_weak_ref(G_OBJECT(page), OnPageGone, GSIZE_TO_POINTER(webkit_web_page_get_id(page)));
}

void Extension::OnPageGone(gpointer pageId, GObject*) {
  Extension& self = Get();
  const uint64_t id = GPOINTER_TO_SIZE(pageId);
  self.listeners_.RemoveContextIf([id](const Document& d) { return d.pageId == id; });
  self.queries_.DropPage(id);
  self.mainContexts_.erase(id);
  for (auto it = self.frames_.begin(); it != self.frames_.end();) {
    if (it->first.first == id) it = self.frames_.erase(it);
    else ++it;
  }
}

void Extension::OnWindowObjectCleared(WebKitScriptWorld* world, WebKitWebPage* page, WebKitFrame* frame, gpointer) {
  Get().NewDocument(page, frame, world);
}

gboolean Extension::OnUserMessage(WebKitWebPage* page, WebKitUserMessage* message, gpointer) {
  ProcessMessage msg{webkit_user_message_get_name(message),
                     webkit::ListFromVariant(webkit_user_message_get_parameters(message))};
  return Get().router_.Route(page, msg);
}

void Extension::NewDocument(WebKitWebPage* page, WebKitFrame* frame, WebKitScriptWorld* world) {
  const uint64_t pageId = webkit_web_page_get_id(page);
  const uint64_t frameId = webkit_frame_get_id(frame);
  const bool main = webkit_frame_is_main_frame(frame);
  const auto key = std::make_pair(pageId, frameId);
  // The frame's previous document takes its listeners and queries with it.
  if (auto old = frames_.find(key); old != frames_.end()) {
    listeners_.RemoveContext(old->second);
    frames_.erase(old);
  }
  queries_.DropFrame(pageId, frameId);
  if (main) mainContexts_.erase(pageId);

  auto context = GRef<JSCContext>::Adopt(webkit_frame_get_js_context_for_script_world(frame, world));
  // Every document's console, ours or not, when asked to copy it.
  if (console_) ForwardConsole(context.get());

  // Page functions reach files and devices: only our own documents get them.
  const char* uri = webkit_frame_get_uri(frame);
  if (!uri || std::strncmp(uri, webkit::kAppOrigin, std::strlen(webkit::kAppOrigin)) != 0) return;

  Document doc{pageId, frameId, nextGeneration_++};
  frames_[key] = doc;
  if (main) mainContexts_[pageId] = context;
  Bind(context.get(), doc);
}

void Extension::DefineFunction(JSCContext* context, JSCValue* target, const std::string& name, const Document& doc,
                               JSCValue* (*call)(GPtrArray*, gpointer), const std::string& tag) {
  JSCValue* fn = jsc_value_new_function_variadic(
      context, name.c_str(), G_CALLBACK(call), new Bound{doc, tag}, [](gpointer p) { delete static_cast<Bound*>(p); },
      JSC_TYPE_VALUE);
  jsc_value_object_set_property(target, name.c_str(), fn);
  g_object_unref(fn);
}

// window.cefQuery and window.cefQueryCancel, from the query glue.
void Extension::DefineQueryFunctions(JSCContext* context, const Document& doc) {
  auto bound = [&] { return new Bound{doc, "cefQuery"}; };
  auto destroy = [](gpointer p) { delete static_cast<Bound*>(p); };
  auto send = GRef<JSCValue>::Adopt(jsc_value_new_function(context, "send", G_CALLBACK(SendQuery), bound(), destroy,
                                                           G_TYPE_DOUBLE, 1, G_TYPE_STRING));
  auto cancel = GRef<JSCValue>::Adopt(
      jsc_value_new_function(context, "cancel", G_CALLBACK(CancelQuery), nullptr, nullptr, G_TYPE_NONE, 1, G_TYPE_DOUBLE));
  auto bind = GRef<JSCValue>::Adopt(jsc_value_new_function(context, "bind", G_CALLBACK(BindQueries), bound(), destroy,
                                                           G_TYPE_NONE, 1, JSC_TYPE_VALUE));
  auto glue = GRef<JSCValue>::Adopt(jsc_context_evaluate(context, kQueryGlueText, -1));
  auto made = GRef<JSCValue>::Adopt(jsc_value_function_call(glue.get(), JSC_TYPE_VALUE, send.get(), JSC_TYPE_VALUE,
                                                            cancel.get(), JSC_TYPE_VALUE, bind.get(), G_TYPE_NONE));
  jsc_context_clear_exception(context);
}

void Extension::Bind(JSCContext* context, const Document& doc) {
  auto global = GRef<JSCValue>::Adopt(jsc_context_get_global_object(context));
  DefineQueryFunctions(context, doc);

  auto natives = GRef<JSCValue>::Adopt(jsc_context_evaluate(context, "Object.create(null)", -1));
  for (const auto& handler : manager_->NativeHandlers())
    DefineFunction(context, natives.get(), handler->NativeName(), doc, CallNative, handler->NativeName());
  jsc_value_object_set_property(global.get(), kNativesName, natives.get());
  auto result = GRef<JSCValue>::Adopt(jsc_context_evaluate(context, pageScript_.c_str(), -1));
  if (JSCException* e = jsc_context_get_exception(context)) {
    gchar* report = jsc_exception_report(e);
    std::fprintf(stderr, "page script failed: %s\n", report);
    g_free(report);
    jsc_context_clear_exception(context);
  }
  jsc_value_object_delete_property(global.get(), kNativesName);
}

bool Extension::SendToView(uint64_t pageId, const ProcessMessage& message) {
  WebKitWebPage* page = webkit_web_extension_get_page(extension_, pageId);
  if (!page) return false;
  webkit_web_page_send_message_to_view(
      page, webkit_user_message_new(message.name.c_str(), webkit::ToVariant(message.args)), nullptr, nullptr, nullptr);
  return true;
}

GRef<JSCContext> Extension::BareContext(WebKitWebPage* page) {
  // Deprecated for the frames of a page script, still the way to the main
  // frame of a page whose documents were never bound.
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  WebKitFrame* frame = webkit_web_page_get_main_frame(page);
  G_GNUC_END_IGNORE_DEPRECATIONS
  if (!frame) return {};
  if (!bareWorld_) bareWorld_ = webkit_script_world_new_with_name("lm-bare");
  auto context = GRef<JSCContext>::Adopt(webkit_frame_get_js_context_for_script_world(frame, bareWorld_));
  if (!context || HasAppObject(context.get())) return context;
  // Each document starts the world afresh: its app object is made on first use.
  const Document doc{webkit_web_page_get_id(page), webkit_frame_get_id(frame), 0};
  auto global = GRef<JSCValue>::Adopt(jsc_context_get_global_object(context.get()));
  DefineFunction(context.get(), global.get(), kBareSendName, doc, CallNative, "JsSendProcessMessage");
  const std::string script =
      std::string("var app = {sendProcessMessage: function(){ return ") + kBareSendName + "(arguments); }};";
  auto result = GRef<JSCValue>::Adopt(jsc_context_evaluate(context.get(), script.c_str(), -1));
  jsc_context_clear_exception(context.get());
  return context;
}

JSCContext* Extension::MainContext(uint64_t pageId) const {
  auto it = mainContexts_.find(pageId);
  return it == mainContexts_.end() ? nullptr : it->second.get();
}

}  // namespace Sorrel::cef::webext
