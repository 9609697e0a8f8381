#include "linkmeter/cli/PageFlows.h"

#include "CliFlowsBundle.h"
#include "JscSupport.h"
#include "linkmeter/cli/CliHost.h"
#include "linkmeter/cli/CliLoop.h"
#include "linkmeter/cli/PendingWritesFile.h"
#include "linkmeter/cli/Progress.h"

#include <chrono>
#include <functional>
#include <utility>

namespace linkmeter::cli {
namespace {

using jsc::GRef;
using jsc::GText;
using jsc::TakeException;

// The global the bundle sets (build.mjs globalName).
constexpr const char* kGlobal = "LinkmeterFlows";
constexpr const char* kSourceUri = "linkmeter:cliflows.js";
constexpr auto kStopPoll = std::chrono::milliseconds(100);

JSCValue* Arg(GPtrArray* args, guint i) {
  return args && i < args->len ? static_cast<JSCValue*>(g_ptr_array_index(args, i)) : nullptr;
}

std::string TextArg(GPtrArray* args, guint i) {
  JSCValue* v = Arg(args, i);
  if (!v || jsc_value_is_undefined(v) || jsc_value_is_null(v)) return {};
  GText text(jsc_value_to_string(v));
  return text ? text.get() : std::string();
}

double NumberArg(GPtrArray* args, guint i) {
  JSCValue* v = Arg(args, i);
  return v && jsc_value_is_number(v) ? jsc_value_to_double(v) : 0;
}

// A flow's end, shared with the `done` function handed to it: the flow may
// outlive the Run that waits for it when the loop stops first.
struct Outcome {
  bool settled = false;
  bool ok = false;
  std::string text;
};

}  // namespace

struct PageFlows::Impl : std::enable_shared_from_this<Impl> {
  CliHost& host;
  CliLoop& loop;
  Progress& progress;
  const PendingWritesFile pending;
  GRef<JSCContext> context;
  GRef<JSCValue> flows;  // the LinkmeterFlows object

  Impl(CliHost& h, CliLoop& l, Progress& p, PendingWritesFile f)
      : host(h), loop(l), progress(p), pending(std::move(f)), context(jsc_context_new()) {}

  using Native = std::function<JSCValue*(GPtrArray*)>;
  // A JavaScript function that runs `f` (on the loop's thread, from JS).
  JSCValue* Function(const char* name, Native f) {
    auto* held = new Native(std::move(f));
    return jsc_value_new_function_variadic(
        context.get(), name,
        G_CALLBACK(+[](GPtrArray* args, gpointer data) -> JSCValue* { return (*static_cast<Native*>(data))(args); }),
        held, [](gpointer data) { delete static_cast<Native*>(data); }, JSC_TYPE_VALUE);
  }

  void Define(JSCValue* object, const char* name, Native f) {
    GRef<JSCValue> fn(Function(name, std::move(f)));
    jsc_value_object_set_property(object, name, fn.get());
  }

  JSCValue* Undefined() { return jsc_value_new_undefined(context.get()); }
  JSCValue* Number(double n) { return jsc_value_new_number(context.get(), n); }
  JSCValue* Text(const std::string& s) { return jsc_value_new_string(context.get(), s.c_str()); }

  // lmHost: the page's queries, timers on the loop, progress and the
  // pending writes' file, as the flows call them.
  void DefineHost();
  void DefineQueries(JSCValue* lmHost);
  void DefineTimers(JSCValue* lmHost);
  void DefineProgressAndPending(JSCValue* lmHost);
};

void PageFlows::Impl::DefineHost() {
  GRef<JSCValue> lmHost(jsc_value_new_object(context.get(), nullptr, nullptr));
  DefineQueries(lmHost.get());
  DefineTimers(lmHost.get());
  DefineProgressAndPending(lmHost.get());
  jsc_context_set_value(context.get(), "lmHost", lmHost.get());
}

void PageFlows::Impl::DefineQueries(JSCValue* lmHost) {
  Define(lmHost, "query", [this](GPtrArray* args) {
    GRef<JSCValue> onAnswer(JSC_VALUE(g_object_ref(Arg(args, 1))));
    auto shared = std::make_shared<GRef<JSCValue>>(std::move(onAnswer));
    std::weak_ptr<Impl> self = weak_from_this();
    const int64_t id = host.Send(TextArg(args, 0), [self, shared](CliHost::Answer answer) {
      auto impl = self.lock();
      if (!impl) return;
      const bool ok = answer.outcome == CliHost::Outcome::kSuccess;
      std::string text = answer.outcome == CliHost::Outcome::kUnhandled
                             ? lm::json::ToText(lm::json::ErrorObject(-1, "unhandled query"))
                             : answer.text;
      GRef<JSCValue> r(jsc_value_function_call(shared->get(), G_TYPE_BOOLEAN, ok, G_TYPE_STRING, text.c_str(),
                                               G_TYPE_NONE));
      TakeException(impl->context.get());
    });
    return Number(static_cast<double>(id));
  });
  Define(lmHost, "cancel", [this](GPtrArray* args) {
    host.Cancel(static_cast<int64_t>(NumberArg(args, 0)));
    return Undefined();
  });
}

void PageFlows::Impl::DefineTimers(JSCValue* lmHost) {
  Define(lmHost, "setTimer", [this](GPtrArray* args) {
    GRef<JSCValue> fn(JSC_VALUE(g_object_ref(Arg(args, 1))));
    auto shared = std::make_shared<GRef<JSCValue>>(std::move(fn));
    std::weak_ptr<Impl> self = weak_from_this();
    const auto delay = std::chrono::milliseconds(static_cast<int64_t>(NumberArg(args, 0)));
    const uint64_t id = loop.PostAfter(delay, [self, shared] {
      auto impl = self.lock();
      if (!impl) return;
      GRef<JSCValue> r(jsc_value_function_call(shared->get(), G_TYPE_NONE));
      TakeException(impl->context.get());
    });
    return Number(static_cast<double>(id));
  });
  Define(lmHost, "clearTimer", [this](GPtrArray* args) {
    loop.CancelTimer(static_cast<uint64_t>(NumberArg(args, 0)));
    return Undefined();
  });
}

void PageFlows::Impl::DefineProgressAndPending(JSCValue* lmHost) {
  Define(lmHost, "progress", [this](GPtrArray* args) {
    progress.Step(NumberArg(args, 0), NumberArg(args, 1), TextArg(args, 2));
    if (NumberArg(args, 0) >= NumberArg(args, 1)) progress.Finish();
    return Undefined();
  });
  Define(lmHost, "loadPending", [this](GPtrArray*) { return Text(pending.Load()); });
  // The file written, or "" when none is left (or it could not be written).
  Define(lmHost, "savePending", [this](GPtrArray* args) {
    const std::string text = TextArg(args, 0);
    return Text(pending.Save(text) && !text.empty() ? pending.Path().string() : std::string());
  });
}

PageFlows::PageFlows(CliHost& host, CliLoop& loop, Progress& progress, PendingWritesFile pending)
    : PageFlows(host, loop, progress, std::move(pending), lm::embedded::CliFlowsBundle()) {}

PageFlows::PageFlows(CliHost& host, CliLoop& loop, Progress& progress, PendingWritesFile pending,
                     std::string_view bundle) {
  auto impl = std::make_shared<Impl>(host, loop, progress, std::move(pending));
  impl->DefineHost();
  GRef<JSCValue> done(jsc_context_evaluate_with_source_uri(impl->context.get(), bundle.data(),
                                                            static_cast<gssize>(bundle.size()), kSourceUri, 1));
  if (std::string thrown = TakeException(impl->context.get()); !thrown.empty()) {
    loadError_ = "the page's flows did not load: " + thrown;
    return;
  }
  impl->flows.reset(jsc_context_get_value(impl->context.get(), kGlobal));
  if (!impl->flows || !jsc_value_is_object(impl->flows.get())) {
    loadError_ = std::string("the page's flows did not load: no ") + kGlobal;
    return;
  }
  impl_ = std::move(impl);
}

PageFlows::~PageFlows() = default;

std::optional<lm::json::Value> PageFlows::Run(std::string_view name, const lm::json::Array& args, std::string* error,
                                              const std::atomic<bool>* stop) {
  auto fail = [&](std::string text) -> std::optional<lm::json::Value> {
    if (error) *error = std::move(text);
    return std::nullopt;
  };
  if (!impl_) return fail(loadError_);
  JSCContext* ctx = impl_->context.get();
  auto outcome = std::make_shared<Outcome>();
  GRef<JSCValue> done(impl_->Function("done", [outcome, impl = impl_.get()](GPtrArray* a) {
    outcome->settled = true;
    outcome->ok = Arg(a, 0) && jsc_value_to_boolean(Arg(a, 0));
    outcome->text = TextArg(a, 1);
    return impl->Undefined();
  }));
  GRef<JSCValue> run(jsc_value_object_get_property(impl_->flows.get(), "run"));
  const std::string flow(name);
  const std::string json = lm::json::ToText(lm::json::Value(args));
  GRef<JSCValue> started(jsc_value_function_call(run.get(), G_TYPE_STRING, flow.c_str(), G_TYPE_STRING, json.c_str(),
                                                 JSC_TYPE_VALUE, done.get(), G_TYPE_NONE));
  if (std::string thrown = TakeException(ctx); !thrown.empty()) return fail(thrown);
  // A stop request is polled: the signal watcher does not wake the loop.
  auto polling = std::make_shared<std::function<void()>>();
  if (stop) {
    std::weak_ptr<std::function<void()>> again = polling;
    *polling = [&loop = impl_->loop, again] {
      loop.PostAfter(kStopPoll, [again] {
        if (auto poll = again.lock()) (*poll)();
      });
    };
    (*polling)();
  }
  bool aborted = false;
  for (;;) {
    impl_->loop.RunUntil([&] { return outcome->settled || (stop && stop->load() && !aborted); });
    if (outcome->settled) break;
    if (!(stop && stop->load() && !aborted)) return fail("the program ended before the flow " + flow);
    aborted = true;
    GRef<JSCValue> abort(jsc_value_object_get_property(impl_->flows.get(), "abort"));
    GRef<JSCValue> r(jsc_value_function_call(abort.get(), G_TYPE_NONE));
    TakeException(ctx);
  }
  polling.reset();
  if (!outcome->ok) return fail(flow + ": " + outcome->text);
  auto parsed = lm::json::Parse(outcome->text);
  if (!parsed) return fail(flow + " gave an answer that is not JSON");
  return parsed;
}

}  // namespace linkmeter::cli
