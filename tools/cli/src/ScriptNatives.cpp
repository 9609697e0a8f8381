// The functions the command line's script gets before it loads: lmHost for
// the page's flows (device/cliruntime.js builds the page's timers, abort
// signals and app.jsQuery of it) and linkmeter.chtype, the page's own
// channel-type natives, as the page process gives them.
#include <chrono>
#include <memory>
#include <utility>

#include "ScriptState.h"
#include "sorrel/cef/JsFunctionHandler.h"
#include "sorrel/js/ChannelTypeFunctions.h"

namespace linkmeter::cli {
namespace {

using jsc::Arg;
using jsc::GRef;
using jsc::GText;
using jsc::NumberArg;
using jsc::TakeException;
using jsc::TextArg;
using State = ScriptContext::State;

constexpr const char* kNoHost = "the page's flows have no host: they run only under PageFlows";

// A JavaScript value held for a later call, with the state it belongs to
// held weakly and the host generation it was made under.
struct Later {
  std::weak_ptr<State> state;
  std::shared_ptr<GRef<JSCValue>> fn;
  uint64_t generation;

  Later(State& s, JSCValue* f)
      : state(s.weak_from_this()), fn(std::make_shared<GRef<JSCValue>>(JSC_VALUE(g_object_ref(f)))),
        generation(s.generation) {}
  // The state while it lives and still serves the host this was made for.
  std::shared_ptr<State> Current() const {
    auto s = state.lock();
    return s && s->generation == generation && s->host ? s : nullptr;
  }
};

void DefineQueries(State& s, JSCValue* lmHost) {
  s.Define(lmHost, "query", [&s](GPtrArray* args) {
    if (!s.host || !Arg(args, 1)) return s.Throw(kNoHost);
    Later later(s, Arg(args, 1));
    const int64_t id = s.host->Query(TextArg(args, 0), [later](bool ok, const std::string& text) {
      auto state = later.Current();
      if (!state) return;
      GRef<JSCValue> r(jsc_value_function_call(later.fn->get(), G_TYPE_BOOLEAN, ok, G_TYPE_STRING, text.c_str(),
                                               G_TYPE_NONE));
      TakeException(state->context.get());
    });
    return jsc_value_new_number(s.context.get(), static_cast<double>(id));
  });
  s.Define(lmHost, "cancel", [&s](GPtrArray* args) {
    if (s.host) s.host->Cancel(static_cast<int64_t>(NumberArg(args, 0)));
    return s.Undefined();
  });
}

void DefineTimers(State& s, JSCValue* lmHost) {
  s.Define(lmHost, "setTimer", [&s](GPtrArray* args) {
    if (!s.host || !Arg(args, 1)) return s.Throw(kNoHost);
    Later later(s, Arg(args, 1));
    const auto delay = std::chrono::milliseconds(static_cast<int64_t>(NumberArg(args, 0)));
    const uint64_t id = s.host->SetTimer(delay, [later] {
      auto state = later.Current();
      if (!state) return;
      GRef<JSCValue> r(jsc_value_function_call(later.fn->get(), G_TYPE_NONE));
      TakeException(state->context.get());
    });
    return jsc_value_new_number(s.context.get(), static_cast<double>(id));
  });
  s.Define(lmHost, "clearTimer", [&s](GPtrArray* args) {
    if (s.host) s.host->ClearTimer(static_cast<uint64_t>(NumberArg(args, 0)));
    return s.Undefined();
  });
}

void DefineProgressAndPending(State& s, JSCValue* lmHost) {
  s.Define(lmHost, "progress", [&s](GPtrArray* args) {
    if (s.host) s.host->ShowProgress(NumberArg(args, 0), NumberArg(args, 1), TextArg(args, 2));
    return s.Undefined();
  });
  s.Define(lmHost, "loadPending", [&s](GPtrArray*) {
    return jsc_value_new_string(s.context.get(), s.host ? s.host->LoadPending().c_str() : "");
  });
  s.Define(lmHost, "savePending", [&s](GPtrArray* args) {
    if (!s.host) return s.Throw(kNoHost);
    return jsc_value_new_string(s.context.get(), s.host->SavePending(TextArg(args, 0)).c_str());
  });
}

// One native of the page's: arguments as JSON in, its value or its failure
// text (thrown, as the page process throws it) out.
JSCValue* CallNative(State& s, const Sorrel::cef::JsFunctionHandler& natives, const std::string& name,
                     GPtrArray* args) {
  Sorrel::cef::JsNativeHandler::Call call{name, {}, lm::json::Value(), {}, nullptr};
  for (guint i = 0; args && i < args->len; ++i) {
    GText json(jsc_value_to_json(Arg(args, i), 0));
    TakeException(s.context.get());
    auto value = json ? lm::json::Parse(json.get()) : std::nullopt;
    call.arguments.push_back(value ? std::move(*value) : lm::json::Value());
  }
  if (!natives.Execute(call)) return s.Throw("unknown native function " + name);
  if (!call.exception.empty()) return s.Throw(call.exception);
  if (call.returnUndefined) return s.Undefined();
  return jsc_value_new_from_json(s.context.get(), lm::json::ToText(call.returnValue).c_str());
}

}  // namespace

void DefineFlowHost(State& s) {
  GRef<JSCValue> lmHost(jsc_value_new_object(s.context.get(), nullptr, nullptr));
  DefineQueries(s, lmHost.get());
  DefineTimers(s, lmHost.get());
  DefineProgressAndPending(s, lmHost.get());
  jsc_context_set_value(s.context.get(), "lmHost", lmHost.get());
}

void DefineChannelTypes(State& s) {
  auto natives = std::make_shared<Sorrel::cef::JsFunctionHandler>();
  GRef<JSCValue> chtype(jsc_value_new_object(s.context.get(), nullptr, nullptr));
  const std::shared_ptr<Sorrel::cef::JsNativeHandler> handlers[] = {
      std::make_shared<Sorrel::Js::ChTypeDescribe>(), std::make_shared<Sorrel::Js::ChTypeToReal>(),
      std::make_shared<Sorrel::Js::ChTypeFromReal>(), std::make_shared<Sorrel::Js::ChTypeFormat>()};
  for (const auto& handler : handlers) {
    natives->Add(handler);
    const std::string script = handler->ScriptName();  // linkmeter.chtype.<member>
    const std::string member = script.substr(script.rfind('.') + 1);
    s.Define(chtype.get(), member.c_str(), [&s, natives, name = handler->NativeName()](GPtrArray* args) {
      return CallNative(s, *natives, name, args);
    });
  }
  GRef<JSCValue> linkmeter(jsc_value_new_object(s.context.get(), nullptr, nullptr));
  jsc_value_object_set_property(linkmeter.get(), "chtype", chtype.get());
  jsc_context_set_value(s.context.get(), "linkmeter", linkmeter.get());
}

}  // namespace linkmeter::cli
