#include "sorrel/cef/webext/BridgeNatives.h"

#include "sorrel/cef/Exception.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/cef/webext/Extension.h"
#include "sorrel/cef/webext/JscConvert.h"

namespace Sorrel::cef::webext {
namespace {

NativeCallContext& Engine(JsNativeHandler::Call& call) { return *static_cast<NativeCallContext*>(call.engine); }

JSCValue* Arg(NativeCallContext& nc, size_t i) { return i < nc.arguments.size() ? nc.arguments[i] : nullptr; }

std::string StringArg(NativeCallContext& nc, size_t i, int32_t code, const char* name) {
  JSCValue* v = Arg(nc, i);
  Ensure(v && jsc_value_is_string(v), code, MsgMustBeString(name));
  gchar* s = jsc_value_to_string(v);
  std::string out = s ? s : "";
  g_free(s);
  return out;
}

// Arguments from `first` on as a message list; undefined stays empty. A
// value too large to carry, or one containing itself, is refused.
MsgList ListFrom(NativeCallContext& nc, size_t first, int32_t code) {
  MsgList list;
  JsConverter converter;
  for (size_t i = first; i < nc.arguments.size(); ++i) {
    auto value = converter.ToMsg(nc.arguments[i]);
    Ensure(value.has_value(), code, converter.Refusal("arguments[" + std::to_string(i) + "]"));
    list.push_back(std::move(*value));
  }
  return list;
}

// Writes the overwrite warning to the console of the listener's own context.
void WarnOverwrite(JSCValue* oldListener, const std::string& name) {
  JSCContext* ctx = jsc_value_get_context(oldListener);
  auto global = GRef<JSCValue>::Adopt(jsc_context_get_global_object(ctx));
  auto console = GRef<JSCValue>::Adopt(jsc_value_object_get_property(global.get(), "console"));
  if (!jsc_value_is_object(console.get())) return;
  // The name travels as a value, never as script text.
  const std::string text = "Overwrite '" + name + "' eventlistener.";
  JSCValue* result = jsc_value_object_invoke_method(console.get(), "warn", G_TYPE_STRING, text.c_str(), G_TYPE_NONE);
  if (result) g_object_unref(result);
  jsc_context_clear_exception(ctx);
}

class JsAddEventListener : public JsNativeHandler {
 public:
  JsAddEventListener() : JsNativeHandler("app.addEventListener", "JsAddEventListener") {}
  bool Execute(Call& call) override {
    NativeCallContext& nc = Engine(call);
    std::string name = StringArg(nc, 0, -1, "name");
    JSCValue* listener = Arg(nc, 1);
    Ensure(listener && jsc_value_is_function(listener), -2, MsgMustBeFunction("listener"));
    auto old = Extension::Get().Listeners().Add(name, static_cast<int32_t>(nc.document.pageId), nc.document,
                                                GRef<JSCValue>::Share(listener));
    if (old) WarnOverwrite(old->listener.get(), name);
    return true;
  }
};

class JsRemoveEventListener : public JsNativeHandler {
 public:
  JsRemoveEventListener() : JsNativeHandler("app.removeEventListener", "JsRemoveEventListener") {}
  bool Execute(Call& call) override {
    NativeCallContext& nc = Engine(call);
    Extension::Get().Listeners().Remove(StringArg(nc, 0, -1, "name"), static_cast<int32_t>(nc.document.pageId));
    return true;
  }
};

class JsExecEventListener : public JsNativeHandler {
 public:
  JsExecEventListener() : JsNativeHandler("app.execEventListener", "JsExecEventListener") {}
  bool Execute(Call& call) override {
    NativeCallContext& nc = Engine(call);
    bool sent = Extension::Get().SendToView(nc.document.pageId, {"cefmsg.eventlistener.r2b", ListFrom(nc, 0, -2)});
    EnsureExecuted(sent, -1, "the page has no browser");
    return true;
  }
};

class JsSendProcessMessage : public JsNativeHandler {
 public:
  JsSendProcessMessage() : JsNativeHandler("app.sendProcessMessage", "JsSendProcessMessage") {}
  bool Execute(Call& call) override {
    NativeCallContext& nc = Engine(call);
    std::string name = StringArg(nc, 0, -1, "msg_name");
    EnsureExecuted(!name.empty(), -2, "the message needs a name");
    bool sent = Extension::Get().SendToView(nc.document.pageId, {name, ListFrom(nc, 1, -4)});
    EnsureExecuted(sent, -3, "the page has no browser");
    return true;
  }
};

}  // namespace

void RegisterBridgeNatives(Manager& manager) {
  manager.AddNative(std::make_shared<JsAddEventListener>());
  manager.AddNative(std::make_shared<JsRemoveEventListener>());
  manager.AddNative(std::make_shared<JsExecEventListener>());
  manager.AddNative(std::make_shared<JsSendProcessMessage>());
}

}  // namespace Sorrel::cef::webext
