#include "linkmeter/cli/ScriptContext.h"

#include "CliScriptBundle.h"
#include "ScriptState.h"

#include <utility>

namespace linkmeter::cli {

namespace {

using jsc::GRef;
using jsc::GText;
using jsc::TakeException;

// The global the script sets (build.mjs globalName) and its two parts.
constexpr const char* kGlobal = "LinkmeterCli";
constexpr const char* kSourceUri = "linkmeter:cli.js";

void SetError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}

// The member `name` of `object` when it is an object, else null.
GRef<JSCValue> ObjectMember(JSCValue* object, const char* name) {
  GRef<JSCValue> member(jsc_value_object_get_property(object, name));
  if (!member || !jsc_value_is_object(member.get())) return nullptr;
  return member;
}

// The names of the functions among `object`'s properties.
std::set<std::string, std::less<>> FunctionsOf(JSCValue* object) {
  std::set<std::string, std::less<>> out;
  gchar** names = jsc_value_object_enumerate_properties(object);
  for (gchar** n = names; n && *n; ++n) {
    GRef<JSCValue> member(jsc_value_object_get_property(object, *n));
    if (member && jsc_value_is_function(member.get())) out.emplace(*n);
  }
  g_strfreev(names);
  return out;
}

}  // namespace

JSCValue* ScriptContext::State::Function(const char* name, Native f) {
  auto* held = new Native(std::move(f));
  return jsc_value_new_function_variadic(
      context.get(), name,
      G_CALLBACK(+[](GPtrArray* args, gpointer data) -> JSCValue* { return (*static_cast<Native*>(data))(args); }),
      held, [](gpointer data) { delete static_cast<Native*>(data); }, JSC_TYPE_VALUE);
}

void ScriptContext::State::Define(JSCValue* object, const char* name, Native f) {
  GRef<JSCValue> fn(Function(name, std::move(f)));
  jsc_value_object_set_property(object, name, fn.get());
}

JSCValue* ScriptContext::State::Throw(const std::string& text) {
  jsc_context_throw(context.get(), text.c_str());
  return Undefined();
}

ScriptContext::ScriptContext() : ScriptContext(lm::embedded::CliScriptBundle()) {}

ScriptContext::ScriptContext(std::string_view script) : owner_(std::this_thread::get_id()) {
  auto state = std::make_shared<State>();
  DefineFlowHost(*state);
  DefineChannelTypes(*state);
  GRef<JSCValue> done(jsc_context_evaluate_with_source_uri(state->context.get(), script.data(),
                                                            static_cast<gssize>(script.size()), kSourceUri, 1));
  if (std::string thrown = TakeException(state->context.get()); !thrown.empty()) {
    loadError_ = "the page's script did not load: " + thrown;
    return;
  }
  GRef<JSCValue> global(jsc_context_get_value(state->context.get(), kGlobal));
  if (!global || !jsc_value_is_object(global.get())) {
    loadError_ = std::string("the page's script did not load: no ") + kGlobal;
    return;
  }
  state->site = ObjectMember(global.get(), "site");
  state->flows = ObjectMember(global.get(), "flows");
  if (state->site) state->siteFunctions = FunctionsOf(state->site.get());
  state_ = std::move(state);
}

ScriptContext::~ScriptContext() {
  if (state_) state_->host = nullptr;
}

std::vector<std::string> ScriptContext::SiteFunctions() const {
  if (!state_) return {};
  return {state_->siteFunctions.begin(), state_->siteFunctions.end()};
}

std::optional<lm::json::Value> ScriptContext::CallSite(std::string_view function, const lm::json::Array& args,
                                                       std::string* error) {
  if (!OnOwnThread()) {
    SetError(error, "the site logic was called from a thread other than its own");
    return std::nullopt;
  }
  if (!state_) {
    SetError(error, loadError_);
    return std::nullopt;
  }
  if (state_->siteFunctions.find(function) == state_->siteFunctions.end()) {
    SetError(error, "no site-logic function " + std::string(function));
    return std::nullopt;
  }
  JSCContext* ctx = state_->context.get();
  const std::string name(function);
  GRef<JSCValue> fn(jsc_value_object_get_property(state_->site.get(), name.c_str()));
  std::vector<GRef<JSCValue>> held;
  std::vector<JSCValue*> params;
  for (const lm::json::Value& arg : args) {
    held.emplace_back(jsc_value_new_from_json(ctx, lm::json::ToText(arg).c_str()));
    params.push_back(held.back().get());
  }
  GRef<JSCValue> answer(jsc_value_function_callv(fn.get(), static_cast<guint>(params.size()), params.data()));
  if (std::string thrown = TakeException(ctx); !thrown.empty()) {
    SetError(error, thrown);
    return std::nullopt;
  }
  if (!answer || jsc_value_is_undefined(answer.get())) return lm::json::Value();
  GText text(jsc_value_to_json(answer.get(), 0));
  std::string thrown = TakeException(ctx);
  std::optional<lm::json::Value> parsed = text ? lm::json::Parse(text.get()) : std::nullopt;
  if (!parsed) {
    SetError(error, name + " gave an answer that is not JSON" + (thrown.empty() ? "" : ": " + thrown));
    return std::nullopt;
  }
  return parsed;
}

bool ScriptContext::StartFlow(const std::string& name, const lm::json::Array& args,
                              std::function<void(bool, const std::string&)> done, std::string* error) {
  if (!OnOwnThread()) {
    SetError(error, "the page's flows were run from a thread other than their own");
    return false;
  }
  if (!state_ || !state_->flows) {
    SetError(error, state_ ? "the page's script has no flows" : loadError_);
    return false;
  }
  State& state = *state_;
  GRef<JSCValue> settle(state.Function("done", [&state, done = std::move(done)](GPtrArray* a) {
    JSCValue* ok = jsc::Arg(a, 0);
    done(ok && jsc_value_to_boolean(ok), jsc::TextArg(a, 1));
    return state.Undefined();
  }));
  GRef<JSCValue> run(jsc_value_object_get_property(state.flows.get(), "run"));
  const std::string json = lm::json::ToText(lm::json::Value(args));
  GRef<JSCValue> started(jsc_value_function_call(run.get(), G_TYPE_STRING, name.c_str(), G_TYPE_STRING, json.c_str(),
                                                 JSC_TYPE_VALUE, settle.get(), G_TYPE_NONE));
  if (std::string thrown = TakeException(state.context.get()); !thrown.empty()) {
    SetError(error, thrown);
    return false;
  }
  return true;
}

void ScriptContext::AbortFlow() {
  if (!state_ || !state_->flows || !OnOwnThread()) return;
  GRef<JSCValue> abort(jsc_value_object_get_property(state_->flows.get(), "abort"));
  GRef<JSCValue> r(jsc_value_function_call(abort.get(), G_TYPE_NONE));
  TakeException(state_->context.get());
}

void ScriptContext::Attach(Host* host) {
  if (!state_) return;
  state_->host = host;
  ++state_->generation;
}

}  // namespace linkmeter::cli
