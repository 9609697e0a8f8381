#pragma once
// The inside of a ScriptContext, shared by its loader (ScriptContext.cpp)
// and the functions it gives the script (ScriptNatives.cpp). Answers and
// timers that arrive later hold it weakly, so they outlive nothing.

#include <jsc/jsc.h>

#include <functional>
#include <memory>
#include <set>
#include <string>

#include "JscSupport.h"
#include "linkmeter/cli/ScriptContext.h"

namespace linkmeter::cli {

struct ScriptContext::State : std::enable_shared_from_this<State> {
  jsc::GRef<JSCContext> context{jsc_context_new()};
  jsc::GRef<JSCValue> site;   // LinkmeterCli.site
  jsc::GRef<JSCValue> flows;  // LinkmeterCli.flows
  std::set<std::string, std::less<>> siteFunctions;
  Host* host = nullptr;
  // Bumped by every Attach: what a host started is dropped once it is gone.
  uint64_t generation = 0;

  using Native = std::function<JSCValue*(GPtrArray*)>;
  // A JavaScript function that runs `f` on the context's thread.
  JSCValue* Function(const char* name, Native f);
  void Define(JSCValue* object, const char* name, Native f);
  JSCValue* Undefined() { return jsc_value_new_undefined(context.get()); }
  // Throws `text` as an Error in the script; the value to hand back.
  JSCValue* Throw(const std::string& text);
};

// lmHost: the flows' queries, timers, progress and pending writes, each
// reaching the attached host.
void DefineFlowHost(ScriptContext::State& state);
// linkmeter.chtype: the program's channel types, the page's own natives.
void DefineChannelTypes(ScriptContext::State& state);

}  // namespace linkmeter::cli
